#include "beamformer/design/array_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvelan::design {

namespace {

Vec3 sum(const Vec3& a, const Vec3& b, const Vec3& c) { return {a.x + b.x + c.x, a.y + b.y + c.y, a.z + b.z + c.z}; }

// Elevations of the six rings besides the poles. With a vertex at the north
// pole, the other vertices lie on two rings at atan(2) from the poles; face
// centres lie on four rings.
struct Rings {
    double upperVertex, lowerVertex, upperCap, upperBelt, lowerBelt, lowerCap;
};

const Rings& rings()
{
    static const Rings r = [] {
        const double vertexRing = std::atan(2.0) * 180.0 / std::numbers::pi;
        const Vec3 north = unitVector({0, 0});
        const Vec3 upper0 = unitVector({vertexRing, 0});
        const Vec3 upper1 = unitVector({vertexRing, 72});
        const Vec3 lower0 = unitVector({180.0 - vertexRing, 36});
        const double cap = directionOf(sum(north, upper0, upper1)).theta;
        const double belt = directionOf(sum(upper0, upper1, lower0)).theta;
        return Rings{vertexRing, 180.0 - vertexRing, cap, belt, 180.0 - belt, 180.0 - cap};
    }();
    return r;
}

double determinant(const Vec3& a, const Vec3& b, const Vec3& c)
{
    return a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
}

constexpr double kTieTolerance = 1e-12;

}  // namespace

const std::array<Direction, kCapsuleCount>& capsuleDirections()
{
    static const std::array<Direction, kCapsuleCount> directions = [] {
        const Rings& r = rings();
        return std::array<Direction, kCapsuleCount>{{
            {r.lowerBelt, 0},     {r.upperVertex, 0},   {r.upperBelt, 324},   {r.upperVertex, 72},
            {r.upperCap, 36},     {r.upperVertex, 144}, {r.upperVertex, 216}, {r.upperVertex, 288},
            {r.lowerVertex, 36},  {r.lowerVertex, 108}, {r.lowerVertex, 180}, {r.lowerVertex, 252},
            {0, 0},               {r.lowerVertex, 324}, {r.upperCap, 180},    {180, 0},
            {r.upperCap, 252},    {r.upperCap, 324},    {r.upperBelt, 36},    {r.upperBelt, 108},
            {r.upperBelt, 180},   {r.upperBelt, 252},   {r.lowerBelt, 72},    {r.lowerBelt, 144},
            {r.lowerBelt, 216},   {r.lowerBelt, 288},   {r.lowerCap, 0},      {r.lowerCap, 72},
            {r.upperCap, 108},    {r.lowerCap, 144},    {r.lowerCap, 216},    {r.lowerCap, 288},
        }};
    }();
    return directions;
}

const std::array<Vec3, kCapsuleCount>& capsuleVectors()
{
    static const std::array<Vec3, kCapsuleCount> vectors = [] {
        std::array<Vec3, kCapsuleCount> v{};
        for (int c = 0; c < kCapsuleCount; ++c) v[c] = unitVector(capsuleDirections()[c]);
        return v;
    }();
    return vectors;
}

const std::array<Triangle, kTriangleCount>& capsuleTriangles()
{
    // Numbered from the bottom cap upwards, ring by ring in azimuth order;
    // triangles 3 (holding the north pole) and 16 (holding elevation 90,
    // azimuth 0) keep the numbers the array's documentation gives them.
    static const std::array<Triangle, kTriangleCount> triangles{{
        {15, 27, 26}, {15, 29, 27}, {15, 30, 29}, {4, 28, 12},  {15, 31, 30}, {15, 26, 31},
        {8, 26, 27},  {9, 27, 29},  {10, 29, 30}, {11, 30, 31}, {13, 31, 26}, {0, 26, 8},
        {8, 27, 22},  {9, 22, 27},  {9, 29, 23},  {10, 23, 29}, {0, 1, 2},    {10, 30, 24},
        {11, 24, 30}, {13, 25, 31}, {0, 13, 26},  {11, 31, 25}, {0, 8, 18},   {9, 19, 22},
        {9, 23, 19},  {10, 20, 23}, {11, 21, 24}, {11, 25, 21}, {0, 2, 13},   {8, 22, 18},
        {10, 24, 20}, {2, 25, 13},  {0, 18, 1},   {3, 18, 22},  {3, 22, 19},  {5, 19, 23},
        {5, 23, 20},  {6, 20, 24},  {6, 24, 21},  {7, 21, 25},  {2, 7, 25},   {1, 18, 4},
        {3, 4, 18},   {3, 19, 28},  {5, 28, 19},  {5, 20, 14},  {6, 14, 20},  {6, 21, 16},
        {7, 16, 21},  {2, 17, 7},   {1, 17, 2},   {3, 28, 4},   {5, 14, 28},  {6, 16, 14},
        {7, 17, 16},  {1, 4, 17},   {12, 28, 14}, {12, 14, 16}, {12, 16, 17}, {4, 12, 17},
    }};
    return triangles;
}

int nearestCapsule(const Vec3& direction)
{
    const auto& capsules = capsuleVectors();
    int best = 0;
    double bestDot = dot(direction, capsules[0]);
    for (int c = 1; c < kCapsuleCount; ++c) {
        const double d = dot(direction, capsules[c]);
        if (d > bestDot + kTieTolerance) {
            best = c;
            bestDot = d;
        }
    }
    return best;
}

std::array<double, 3> triangleCoordinates(int triangle, const Vec3& direction)
{
    const auto& capsules = capsuleVectors();
    const Triangle& t = capsuleTriangles()[triangle];
    const Vec3 &a = capsules[t[0]], &b = capsules[t[1]], &c = capsules[t[2]];
    const double d = determinant(a, b, c);
    return {determinant(direction, b, c) / d, determinant(a, direction, c) / d, determinant(a, b, direction) / d};
}

int containingTriangle(const Vec3& direction)
{
    int best = 0;
    double bestInside = -1e300;
    for (int t = 0; t < kTriangleCount; ++t) {
        const auto w = triangleCoordinates(t, direction);
        const double inside = std::min({w[0], w[1], w[2]});
        if (inside >= -kTieTolerance) return t;
        if (inside > bestInside) {  // never needed for a closed hull; keeps the result defined
            bestInside = inside;
            best = t;
        }
    }
    return best;
}

namespace {
template <typename CellOf>
std::vector<std::int32_t> buildGrid(CellOf cellOf)
{
    std::vector<std::int32_t> grid(kGridRows * kGridColumns);
    for (int theta = 0; theta < kGridRows; ++theta)
        for (int phi = 0; phi < kGridColumns; ++phi)
            grid[theta * kGridColumns + phi] = cellOf(unitVector({double(theta), double(phi)}));
    return grid;
}
}  // namespace

std::vector<std::int32_t> nearestCapsuleGrid() { return buildGrid(nearestCapsule); }
std::vector<std::int32_t> triangleGrid() { return buildGrid(containingTriangle); }

std::vector<std::int32_t> triangleTableByMember()
{
    std::vector<std::int32_t> table(3 * kTriangleCount);
    for (int x = 0; x < kTriangleCount; ++x)
        for (int c = 0; c < 3; ++c) table[c * kTriangleCount + x] = capsuleTriangles()[x][c];
    return table;
}

Vec3 offsetVector(const Vec3& look, double gammaDegrees, double rollDegrees)
{
    // An orthonormal frame around the look.
    const Vec3& a = look;
    Vec3 helper = std::abs(a.z) < 0.9 ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
    Vec3 b{a.y * helper.z - a.z * helper.y, a.z * helper.x - a.x * helper.z, a.x * helper.y - a.y * helper.x};
    const double nb = std::sqrt(dot(b, b));
    b = {b.x / nb, b.y / nb, b.z / nb};
    const Vec3 c{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    const double g = gammaDegrees * std::numbers::pi / 180.0, r = rollDegrees * std::numbers::pi / 180.0;
    const double cb = std::sin(g) * std::cos(r), cc = std::sin(g) * std::sin(r), ca = std::cos(g);
    return {ca * a.x + cb * b.x + cc * c.x, ca * a.y + cb * b.y + cc * c.y, ca * a.z + cb * b.z + cc * c.z};
}

}  // namespace orvelan::design
