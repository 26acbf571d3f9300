// Conversions between the floats of the signal path (full scale 1.0) and the
// sample types of the driver buffer halves, for drivers that generate or
// inspect samples themselves. Integers are scaled by 2^(bits-1); float to
// integer rounds to nearest and saturates. A type without a layout
// (sampleTypeBytes == 0) is not converted in either direction.
#pragma once

#include "audio/audio_driver.h"

namespace orvelan::audio {

void floatsToSamples(const float* in, void* out, SampleType type, int frames);
void samplesToFloats(const void* in, SampleType type, float* out, int frames);

}  // namespace orvelan::audio
