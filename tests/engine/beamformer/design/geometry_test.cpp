// Array geometry and HF grids: capsule layout, hull triangles, telling
// entries and every grid cell against its definition.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <utility>

#include "beamformer/design/array_geometry.h"
#include "beamformer/tables/beamformer_tables.h"

namespace {

using namespace orvelan::design;
namespace tables = orvelan::beamformer::tables;

double angleDegrees(const Vec3& a, const Vec3& b) { return std::acos(std::clamp(dot(a, b), -1.0, 1.0)) * 180.0 / std::numbers::pi; }

int gridAt(const std::int32_t* grid, int theta, int phi) { return grid[theta * tables::kGridColumns + phi]; }

TEST(ArrayGeometry, CapsulesAreIcosahedronVerticesAndFaceCentres)
{
    // Vertex capsules have 5 vertex neighbours at 63.43 deg; face centres 3
    // face-centre neighbours at 41.81 deg; every vertex has 5 face centres
    // at 37.38 deg. Count the capsules by their nearest-neighbour pattern.
    const auto& v = capsuleVectors();
    int vertices = 0, faceCentres = 0;
    for (int c = 0; c < kCapsuleCount; ++c) {
        EXPECT_NEAR(dot(v[c], v[c]), 1.0, 1e-12);
        int at37 = 0, at41 = 0, at63 = 0;
        for (int o = 0; o < kCapsuleCount; ++o) {
            if (o == c) continue;
            const double a = angleDegrees(v[c], v[o]);
            at37 += std::abs(a - 37.377) < 0.01;
            at41 += std::abs(a - 41.810) < 0.01;
            at63 += std::abs(a - 63.435) < 0.01;
        }
        if (at37 == 5 && at63 == 5) ++vertices;
        if (at37 == 3 && at41 == 3) ++faceCentres;
    }
    EXPECT_EQ(vertices, 12);
    EXPECT_EQ(faceCentres, 20);
}

TEST(ArrayGeometry, TrianglesAreTheConvexHullCounterClockwise)
{
    const auto& v = capsuleVectors();
    std::map<std::pair<int, int>, int> edgeUse;
    for (int t = 0; t < kTriangleCount; ++t) {
        const Triangle& tri = capsuleTriangles()[t];
        const Vec3 &a = v[tri[0]], &b = v[tri[1]], &c = v[tri[2]];
        const Vec3 e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
        const Vec3 normal{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
        EXPECT_GT(dot(normal, a), 0.0) << "triangle " << t << " not counter-clockwise from outside";
        for (int o = 0; o < kCapsuleCount; ++o)
            EXPECT_LE(dot(normal, v[o]) - dot(normal, a), 1e-12) << "capsule " << o << " outside triangle " << t;
        for (int e = 0; e < 3; ++e) ++edgeUse[{tri[e], tri[(e + 1) % 3]}];
    }
    EXPECT_EQ(edgeUse.size(), 180u);  // 90 edges, each used once per direction
    for (const auto& [edge, uses] : edgeUse) {
        EXPECT_EQ(uses, 1);
        EXPECT_EQ(edgeUse.count({edge.second, edge.first}), 1u);
    }
}

TEST(HfGrids, TellingEntries)
{
    for (int phi = 0; phi < tables::kGridColumns; ++phi) {
        EXPECT_EQ(gridAt(tables::kNearestCapsuleGrid, 0, phi), 12);
        EXPECT_EQ(gridAt(tables::kNearestCapsuleGrid, 180, phi), 15);
        EXPECT_EQ(gridAt(tables::kTriangleGrid, 0, phi), 3);
    }
    EXPECT_EQ(gridAt(tables::kNearestCapsuleGrid, 90, 0), 0);
    EXPECT_EQ(gridAt(tables::kTriangleGrid, 90, 0), 16);
    auto member = [](int c, int x) { return tables::kTriangleTable[c * tables::kTriangleCount + x]; };
    EXPECT_EQ((std::array{member(0, 16), member(1, 16), member(2, 16)}), (std::array{0, 1, 2}));
    EXPECT_EQ((std::array{member(0, 3), member(1, 3), member(2, 3)}), (std::array{4, 28, 12}));
}

TEST(HfGrids, EdgeDirectionsGoToTheLowerNumberedCell)
{
    // Elevation 90, azimuth 0 lies on the edge between capsules 0 and 1,
    // shared by triangles 16 and 32; the north pole is capsule 12, a vertex
    // of triangles 3 and 56..59.
    const Vec3 onEdge = unitVector({90, 0});
    for (int t : {16, 32}) {
        const auto w = triangleCoordinates(t, onEdge);
        EXPECT_GE(std::min({w[0], w[1], w[2]}), -1e-12);
    }
    EXPECT_EQ(containingTriangle(onEdge), 16);
    EXPECT_EQ(containingTriangle(unitVector({0, 0})), 3);
}

TEST(HfGrids, EveryCellAgreesWithItsDefinition)
{
    const auto& v = capsuleVectors();
    for (int theta = 0; theta < tables::kGridRows; ++theta)
        for (int phi = 0; phi < tables::kGridColumns; ++phi) {
            const Vec3 d = unitVector({double(theta), double(phi)});
            const int capsule = gridAt(tables::kNearestCapsuleGrid, theta, phi);
            for (int c = 0; c < kCapsuleCount; ++c)
                ASSERT_GE(dot(d, v[capsule]), dot(d, v[c]) - 1e-12) << theta << ", " << phi;
            const int triangle = gridAt(tables::kTriangleGrid, theta, phi);
            Vec3 corners[3];
            for (int m = 0; m < 3; ++m) corners[m] = v[tables::kTriangleTable[m * tables::kTriangleCount + triangle]];
            // Inside the cone: d is on the inner side of each edge plane.
            for (int m = 0; m < 3; ++m) {
                const Vec3 &a = corners[m], &b = corners[(m + 1) % 3];
                const Vec3 edgeNormal{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
                ASSERT_GE(dot(edgeNormal, d), -1e-12) << theta << ", " << phi << " not in triangle " << triangle;
            }
        }
}

TEST(HfGrids, LastColumnRepeatsTheFirst)
{
    for (int theta = 0; theta < tables::kGridRows; ++theta) {
        EXPECT_EQ(gridAt(tables::kNearestCapsuleGrid, theta, 360), gridAt(tables::kNearestCapsuleGrid, theta, 0));
        EXPECT_EQ(gridAt(tables::kTriangleGrid, theta, 360), gridAt(tables::kTriangleGrid, theta, 0));
    }
}

}  // namespace
