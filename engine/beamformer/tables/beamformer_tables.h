// Read-only data of the beamformer: the encoder matrix and the radial filters
// of the decomposition (biquads of radial modes 0 and 1, FIRs of mode 1), the
// steering tables of the modal beamformer, the HF grids and the triangle
// mean's correction, and the twelve pattern records. Generated at build time by
// orvelan_beamformer_tablegen from the design code in ../design.
#pragma once

#include <cstdint>

namespace orvelan::beamformer::tables {

inline constexpr int kComponentCount = 16;
inline constexpr int kCapsuleCount = 32;
inline constexpr int kOrderCount = 4;
inline constexpr int kTriangleCount = 60;
inline constexpr int kGridRows = 181;     // elevation 0..180
inline constexpr int kGridColumns = 361;  // azimuth 0..360
inline constexpr int kPatternCount = 12;
inline constexpr int kTriangleCorrectionLength = 8;

// [component][capsule]
extern const float kEncoderMatrix[kComponentCount][kCapsuleCount];

// Mode-0 radial biquads: per order a section count and six doubles per
// section (b0, b1, b2, a0, a1, a2).
extern const std::int32_t kRadialSectionCounts[kOrderCount];
extern const double* const kRadialSections[kOrderCount];

// Radial mode 1: biquads laid out as above (three sections per order), then
// per order a FIR of kRadialFirLengths taps and an alignment delay, which
// together give every order kRadialFirLatency samples of latency.
extern const std::int32_t kModeOneRadialSectionCounts[kOrderCount];
extern const double* const kModeOneRadialSections[kOrderCount];
extern const std::int32_t kRadialFirLengths[kOrderCount];
extern const float* const kRadialFirTaps[kOrderCount];
extern const std::int32_t kRadialAlignmentDelays[kOrderCount];
extern const std::int32_t kRadialFirLatency;

// Steering: elevation factor per component and whole degree 0..180; azimuth
// rows 2 sin(j p) (rows 0, 2, 4) and 2 cos(j p) (rows 1, 3, 5), j = 1..3.
extern const float kElevationTable[kComponentCount][kGridRows];
extern const float kAzimuthTable[6][360];

// HF grids, entry [theta * kGridColumns + phi]; the triangle table by member
// (member c of triangle x at c * kTriangleCount + x).
extern const std::int32_t kNearestCapsuleGrid[kGridRows * kGridColumns];
extern const std::int32_t kTriangleGrid[kGridRows * kGridColumns];
extern const std::int32_t kTriangleTable[3 * kTriangleCount];
// The triangle mean's correction: a FIR whose output, times the look's weight
// (grid as above; 0 at a triangle's centre, about 1 at its corners), is
// added to the mean.
extern const float kTriangleCorrectionTaps[kTriangleCorrectionLength];
extern const float kTriangleCorrectionWeights[kGridRows * kGridColumns];

struct PatternTable {
    const char* name;
    std::int32_t code;
    const char* description;
    std::int32_t variantCount;
    std::int32_t modalLength;
    std::int32_t eqLength;
    std::int32_t curvePoints;
    std::int32_t crossoverLength;
    std::int32_t hfMode;
    const float* modalTaps;         // [variant][order][modalLength]
    const std::int32_t* tapCounts;  // [variant][order]
    const std::int32_t* variantValues;
    const std::int32_t* beamWidths;
    const float* curves;  // [variant][curvePoints]
    const float* eqTaps;  // [variant][eqLength]
    const std::int32_t* eqLengths;
    const float* crossoverLowPass;
    const float* crossoverHighPass;
};

extern const PatternTable kPatterns[kPatternCount];

}  // namespace orvelan::beamformer::tables
