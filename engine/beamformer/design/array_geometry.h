// Geometry of the 32-capsule array: the capsules sit on a rigid sphere at the
// 12 vertices of an icosahedron and its 20 face centres; their convex hull has
// 60 triangles, each made of one vertex capsule and two face-centre capsules.
// Capsule numbers are the array's input channels.
#pragma once

#include <array>
#include <cstdint>
#include <numbers>
#include <vector>

#include "beamformer/design/spherical_harmonics.h"

namespace orvelan::design {

inline constexpr int kCapsuleCount = 32;
inline constexpr int kTriangleCount = 60;

// The sphere, fitted to the mode-0 radial biquads (which fix only the ratio
// radius / speed of sound, 123.2 us; the speed of sound is taken as 343 m/s).
inline constexpr double kSpeedOfSound = 343.0;      // m/s
inline constexpr double kSphereRadius = 0.042250;   // m
inline constexpr double kSphereDelay = kSphereRadius / kSpeedOfSound;  // s

// kr of the sphere at frequency hz.
inline double sphereKr(double hz) { return 2.0 * std::numbers::pi * hz * kSphereDelay; }

// HF grid shape: one row per whole-degree elevation, one column per azimuth
// 0..360 (the last column repeats the first).
inline constexpr int kGridRows = 181;
inline constexpr int kGridColumns = 361;

using Triangle = std::array<int, 3>;

const std::array<Direction, kCapsuleCount>& capsuleDirections();
const std::array<Vec3, kCapsuleCount>& capsuleVectors();
// Counter-clockwise seen from outside.
const std::array<Triangle, kTriangleCount>& capsuleTriangles();

// Largest dot product; a tie goes to the lower capsule number.
int nearestCapsule(const Vec3& direction);
// The hull triangle whose cone holds the direction; a direction on an edge
// or a vertex shared by several triangles goes to the lowest-numbered one.
int containingTriangle(const Vec3& direction);
// Weights w with direction ~ sum w_c * capsule_c (all >= 0 inside).
std::array<double, 3> triangleCoordinates(int triangle, const Vec3& direction);

// The unit vector at gammaDegrees from the unit vector look, turned about it
// by rollDegrees (roll 0 in the plane through look and the z axis, or the x
// axis for a look near the poles).
Vec3 offsetVector(const Vec3& look, double gammaDegrees, double rollDegrees);

// Grids of kGridRows x kGridColumns, entry [theta * kGridColumns + phi].
std::vector<std::int32_t> nearestCapsuleGrid();
std::vector<std::int32_t> triangleGrid();
// The triangle table stored by member: member c of triangle x at c * 60 + x.
std::vector<std::int32_t> triangleTableByMember();

}  // namespace orvelan::design
