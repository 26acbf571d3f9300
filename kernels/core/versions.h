// The library's version records and the variant bodies that report them.
#pragma once

#include "dsp.h"
#include "dsp_dispatch.h"

// The version records: n4, n4 with SSE4.2, n3, n2, n1, n0.
extern const DspLibraryVersion dspLibraryVersions[6];

// No entry point: nothing in the system asks for the version.
#define DSP_VERSION_SLOTS(ENTRY, INTERNAL) \
    INTERNAL(const DspLibraryVersion*, dspsGetLibVersion, (0, 1, 2, 3, 4), (void))

DSP_DECLARE_FAMILY(DSP_VERSION_SLOTS)
