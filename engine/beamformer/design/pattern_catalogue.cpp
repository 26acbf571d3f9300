#include "beamformer/design/pattern_catalogue.h"

namespace orvelan::design {

const std::array<PatternDesign, kPatternCount>& patternCatalogue()
{
    using F = PatternFamily;
    const std::vector<int> wng{-12, -6, 0, 6, 12};
    static const std::array<PatternDesign, kPatternCount> catalogue{{
        {"omni", 10, F::Omni, 0, "", {0}, {360}, 1, 55, 1},
        {"super3", 43, F::Supercardioid, 3, "WNG", wng, {66, 66, 66, 67, 70}, kModalLength, 41, 2},
        {"super2", 42, F::Supercardioid, 2, "WNG", wng, {80, 80, 80, 80, 81}, kModalLength, 41, 2},
        {"super1", 41, F::Supercardioid, 1, "", {0}, {115}, kModalLength, 37, 2},
        {"hyper3", 33, F::Hypercardioid, 3, "WNG", wng, {48, 48, 50, 53, 61}, kModalLength, 41, 2},
        {"hyper2", 32, F::Hypercardioid, 2, "WNG", wng, {65, 65, 65, 65, 69}, kModalLength, 41, 2},
        {"hyper1", 31, F::Hypercardioid, 1, "", {0}, {105}, kModalLength, 37, 2},
        {"card3", 23, F::Cardioid, 3, "WNG", wng, {78, 78, 78, 78, 79}, kModalLength, 41, 2},
        {"card2", 22, F::Cardioid, 2, "WNG", wng, {94, 94, 94, 94, 95}, kModalLength, 41, 2},
        {"card1", 21, F::Cardioid, 1, "", {0}, {131}, kModalLength, 37, 1},
        {"dipole1", 51, F::Dipole, 1, "", {0}, {90}, kModalLength, 41, 1},
        {"torus", 60, F::Torus, 2, "", {0}, {360}, kModalLength, 41, 1},
    }};
    return catalogue;
}

}  // namespace orvelan::design
