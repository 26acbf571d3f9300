// Prints the processor variant the kernel library chooses on this machine.
#include <cstdio>

#include "dsp.h"
#include "core/versions.h"
#include "dsp_dispatch.h"

int main() {
    const DspStatus status = dspStaticInit();
    const int index = dspCurrentVariant();
    const DspLibraryVersion* version = dspsGetLibVersion_table[index]();
    Dsp64u features = 0;
    dspGetCpuFeatures(&features, nullptr);
    std::printf("kernel variant: index %d, code %s (%s)\n", index, version->targetCpu, version->Name);
    std::printf("feature mask: 0x%llx, start-up status %d\n", static_cast<unsigned long long>(features),
                static_cast<int>(status));
    return 0;
}
