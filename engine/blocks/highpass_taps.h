// The output high-pass choices: off and three corner frequencies, each three
// biquad sections (b0, b1, b2, a0, a1, a2 per section). The coefficients are
// single-precision numbers widened to double, and serve every sample rate
// the chain accepts (39690 to 48510 Hz).
#pragma once

inline constexpr int kHighpassChoices = 4;
inline constexpr int kHighpassSections = 3;
inline constexpr int kHighpassCornersHz[kHighpassChoices] = {0, 80, 160, 320};

inline constexpr double kHighpassTaps[kHighpassChoices][6 * kHighpassSections] = {
    // off: identity sections
    {1, 0, 0, 1, 0, 0,
     1, 0, 0, 1, 0, 0,
     1, 0, 0, 1, 0, 0},
    // 80 Hz
    {double(0.9782211f), double(-1.9564422f), double(0.9782211f), 1, double(-1.9780924f), double(0.9782209f),
     1, -2, 1, 1, double(-1.983881f), double(0.9840099f),
     1, -2, 1, 1, double(-1.9939879f), double(0.9941174f)},
    // 160 Hz
    {double(0.95691574f), double(-1.9138315f), double(0.95691574f), 1, double(-1.9564053f), double(0.9569137f),
     1, -2, 1, 1, double(-1.9677641f), double(0.96827555f),
     1, -2, 1, 1, double(-1.9877535f), double(0.9882701f)},
    // 320 Hz
    {double(0.91568106f), double(-1.8313621f), double(0.91568106f), 1, double(-1.9136751f), double(0.9156657f),
     1, -2, 1, 1, double(-1.9355441f), double(0.93755746f),
     1, -2, 1, 1, double(-1.9746288f), double(0.9766829f)},
};
