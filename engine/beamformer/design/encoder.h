// The encoder matrix of the decomposition: 16 components from 32 capsules.
//
// It is the (lightly regularised) pseudo-inverse of the capsules' steering
// harmonics, scaled so that every capsule weighs 1 / (32 sqrt(4 pi)) in
// component 0. For a plane wave from u it delivers component k of order n as
//   (2n+1) / sqrt(4 pi) * b_n(kr) * harmonic_k(u)
// (see rigid_sphere.h), which the mode-0 radial biquads then equalise.
#pragma once

#include "beamformer/design/array_geometry.h"
#include "beamformer/design/small_linalg.h"

namespace orvelan::design {

// 32 x 16: row c holds the steering harmonics of capsule c.
Matrix<double> capsuleSteeringMatrix();

// 16 x 32, row = component, column = capsule.
Matrix<double> designEncoderMatrix();

// The scale of the encoded components: 1 / sqrt(4 pi).
double encoderScale();

}  // namespace orvelan::design
