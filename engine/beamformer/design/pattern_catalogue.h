// The twelve beam patterns the beamformer offers, with what their records fix
// before any filter is designed: name, code, family and order, variant values
// (white-noise-gain limits in dB), beam widths, filter lengths and HF mode.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "beamformer/design/beam_patterns.h"

namespace orvelan::design {

// What the design code needs to know of one pattern: its family and order,
// its variants and the filter lengths and high-frequency path it is built with.
struct PatternDesign {
    std::string name;
    int code;  // family x 10 + order
    PatternFamily family;
    int order;
    std::string description;         // "WNG" for the five-variant patterns
    std::vector<int> variantValues;  // white-noise-gain limit of each variant, dB
    std::vector<int> beamWidths;     // degrees, per variant
    int modalLength;
    int crossoverLength;
    int hfMode;  // 1 nearest capsule, 2 capsule triangle
};

inline constexpr int kPatternCount = 12;
inline constexpr int kModalLength = 251;
inline constexpr int kModalLatency = (kModalLength - 1) / 2;
inline constexpr int kEqLength = 31;

const std::array<PatternDesign, kPatternCount>& patternCatalogue();

}  // namespace orvelan::design
