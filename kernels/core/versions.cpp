// Version records: one per variant, and n4's second record for processors
// that also have SSE4.2.
#include "core/cpu_features.h"
#include "core/versions.h"

namespace {
constexpr const char kVersionText[] = "6.0 Update 2 build 167.41";
constexpr const char kBuildDate[] = "Feb 23 2009";
}  // namespace

const DspLibraryVersion dspLibraryVersions[6] = {
    {6, 0, 167, 695, {'n', '4', 0, 0}, "Orvelan DSP n4 (SSE4.1)", kVersionText, kBuildDate},
    {6, 0, 167, 695, {'n', '4', 0, 0}, "Orvelan DSP n4 (SSE4.1)+", kVersionText, kBuildDate},
    {6, 0, 167, 695, {'n', '3', 0, 0}, "Orvelan DSP n3 (SSSE3)", kVersionText, kBuildDate},
    {6, 0, 167, 695, {'n', '2', 0, 0}, "Orvelan DSP n2 (SSE3)", kVersionText, kBuildDate},
    {6, 0, 167, 695, {'n', '1', 0, 0}, "Orvelan DSP n1 (SSE2)", kVersionText, kBuildDate},
    {6, 0, 167, 695, {'n', '0', 0, 0}, "Orvelan DSP n0 (generic)", kVersionText, kBuildDate},
};

extern "C" const DspLibraryVersion* n0_dspsGetLibVersion(void) { return &dspLibraryVersions[5]; }
extern "C" const DspLibraryVersion* n1_dspsGetLibVersion(void) { return &dspLibraryVersions[4]; }
extern "C" const DspLibraryVersion* n2_dspsGetLibVersion(void) { return &dspLibraryVersions[3]; }
extern "C" const DspLibraryVersion* n3_dspsGetLibVersion(void) { return &dspLibraryVersions[2]; }
extern "C" const DspLibraryVersion* n4_dspsGetLibVersion(void) {
    return &dspLibraryVersions[cpuHasFeatures(dspCpuFeatureSse42) ? 1 : 0];
}
DSP_DEFINE_FAMILY(DSP_VERSION_SLOTS)
