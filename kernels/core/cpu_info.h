// Processor description, single-feature probes and the leaf 2 descriptor
// lookup, carried with start-up. Nothing in the system calls them; they are
// kept for diagnostics.
#pragma once

#include "dsp.h"

struct DspCpuDescription {
    int family, stepping, model, type, extModel, extFamily;
    Dsp32u featuresEdx;
    int hasSse3, hasSsse3, hasSse41, hasSse42, hasMovbe, hasMmx, hasSse, hasSse2;
    int multipleLogical;
    int is64BitCapable;
    int coresPerPackage;
    Dsp32u leaf2Eax, leaf2Edx;
};
void cpuDescribe(DspCpuDescription* desc);

int cpuHasTsc();
int cpuHasMmx();
int cpuHasSse();
int cpuHasSse2();
int cpuHasSse3();
int cpuHasSsse3();
int cpuHasSse41();
int cpuHasSse42();
int cpuHasMovbe();
int cpuHasMultipleLogical();
Dsp32u cpuMaxBasicLeaf();
int cpuCoresPerPackage();
int cpuIs64BitCapable();

Dsp64u cpuReadTimeStamp();
int cpuDazSupported();

// The value of the first entry (key 0 ends the table) whose key is among the
// leaf 2 descriptor bytes, or -1.
struct DspCacheDescriptorEntry { Dsp32u key; Dsp32s value; };
Dsp32s cpuCacheDescriptorLookup(const DspCacheDescriptorEntry* table);
