#include "common/Errors.h"
#include "model/MMesh.h"
#include "model/Messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace sundrel;

namespace {

// Two triangles sharing the diagonal of the unit square, clockwise.
struct Square {
    MMesh m;
    PointId a, b, c, d; // (0,1) (1,1) (1,0) (0,0)
    LineId ab, bc, cd, da, ac;
    TriId t1, t2;
    Square()
    {
        a = m.NewPoint(0, 1);
        b = m.NewPoint(1, 1);
        c = m.NewPoint(1, 0);
        d = m.NewPoint(0, 0);
        ab = m.NewLine(a, b);
        bc = m.NewLine(b, c);
        cd = m.NewLine(c, d);
        da = m.NewLine(d, a);
        ac = m.NewLine(a, c);
        t1 = m.NewTriangle(a, b, c, bc, ac, ab);
        t2 = m.NewTriangle(a, c, d, cd, da, ac);
    }
};

TEST(MMesh, UsersAndNeighboursFollowTriangles)
{
    Square s;
    EXPECT_EQ(s.m.OppositeUser(s.ac, s.t1), s.t2);
    EXPECT_EQ(s.m.OppositeUser(s.ac, s.t2), s.t1);
    EXPECT_EQ(s.m.OppositeUser(s.ab, s.t1), kNone);
    EXPECT_EQ(s.m.tri(s.t1).neighbours[1], s.t2);
    EXPECT_THROW(s.m.OppositeUser(s.ab, s.t2), Error);

    // A third user is refused; removing user1 moves user2 up.
    EXPECT_THROW(s.m.AddUser(s.ac, 99), Error);
    s.m.RemoveUser(s.ac, s.t1);
    EXPECT_EQ(s.m.line(s.ac).user1, s.t2);
    EXPECT_EQ(s.m.line(s.ac).user2, kNone);
    try {
        s.m.RemoveUser(s.ac, s.t1);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), msg::UnknownUser);
    }
}

TEST(MMesh, DestroyingATriangleKeepsMarkedAndSharedLines)
{
    Square s;
    s.m.line(s.ab).mark = 1;
    s.m.DestroyTriangle(s.t1);
    EXPECT_TRUE(s.m.LineAlive(s.ab));  // marked
    EXPECT_FALSE(s.m.LineAlive(s.bc)); // no user left
    EXPECT_TRUE(s.m.LineAlive(s.ac));  // still used by t2
    EXPECT_EQ(s.m.tri(s.t2).neighbours[2], kNone);
    EXPECT_EQ(s.m.LineCount(), 4u);
    EXPECT_EQ(s.m.TriangleCount(), 1u);
}

TEST(MMesh, CollinearCornersAreRefusedBeforeTouchingTheLines)
{
    MMesh m;
    const PointId p = m.NewPoint(0, 0), q = m.NewPoint(1, 1), r = m.NewPoint(2, 2);
    const LineId l0 = m.NewLine(q, r), l1 = m.NewLine(p, r), l2 = m.NewLine(p, q);
    try {
        m.NewTriangle(p, q, r, l0, l1, l2);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), msg::NotAValidTriangle);
    }
    EXPECT_EQ(m.line(l0).user1, kNone);
    EXPECT_EQ(m.TriangleCount(), 0u);
}

TEST(MMesh, CircumcircleIsStrict)
{
    Square s;
    // (0,0) lies on the circle through (0,1), (1,1), (1,0): not inside.
    EXPECT_FALSE(s.m.InCircumcircle(s.t1, {0, 0}));
    EXPECT_TRUE(s.m.InCircumcircle(s.t1, {0.5, 0.5}));
    EXPECT_DOUBLE_EQ(s.m.tri(s.t1).cx, 0.5);
    EXPECT_DOUBLE_EQ(s.m.tri(s.t1).squaredRadius, 0.5);
}

TEST(MMesh, StepTowardsPointsOnTheBoundaryStay)
{
    const MXY a{0, 1}, b{1, 1}, c{1, 0};
    EXPECT_EQ(StepTowards(a, b, c, {0.5, 1}), -1); // on an edge
    EXPECT_EQ(StepTowards(a, b, c, {1, 0}), -1);   // at a corner
    EXPECT_EQ(StepTowards(a, b, c, {0.6, 0.8}), -1);
    // Beyond edge ac (opposite corner b): crosses line 1.
    EXPECT_EQ(StepTowards(a, b, c, {0, 0}), 1);
    // Beyond two edges: the more negative coordinate, the first on ties.
    EXPECT_EQ(StepTowards(a, b, c, {2, 2}), 0);
    EXPECT_EQ(StepTowards({0, 0}, {0, 2}, {2, 0}, {-1, -1}), 1);
}

// The division-free step must take the very same decision as the step with
// divisions, including near edges, corners and for extreme scales.
TEST(MMesh, FastStepDecidesLikeTheWrittenStep)
{
    std::mt19937_64 rng(41);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::uniform_int_distribution<int> scale(-60, 60);
    long checked = 0;
    for (int i = 0; i < 400000; ++i) {
        const double s = std::ldexp(1.0, scale(rng));
        const double off = (i % 5 == 0) ? std::ldexp(1.0, scale(rng)) * 1000 : 0.0;
        MXY a{off + s * u(rng), off + s * u(rng)}, b{off + s * u(rng), off + s * u(rng)},
            c{off + s * u(rng), off + s * u(rng)};
        MXY q;
        switch (i % 6) {
        case 0: q = {off + s * u(rng), off + s * u(rng)}; break;
        case 1: q = a; break;
        case 2: { // on an edge, up to rounding
            const double t = (u(rng) + 1) / 2;
            q = {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
            break;
        }
        case 3: q = {off + s * 1e6 * u(rng), off + s * 1e6 * u(rng)}; break;
        case 4: q = {(a.x + b.x) / 2, (a.y + b.y) / 2}; break;
        default: q = {c.x + (b.x - a.x), c.y + (b.y - a.y)}; break;
        }
        if (i % 97 == 0)
            c = {(a.x + b.x) / 2, (a.y + b.y) / 2}; // degenerate triangle
        ASSERT_EQ(StepTowardsFast(a, b, c, q), StepTowards(a, b, c, q)) << "case " << i;
        ++checked;
    }
    EXPECT_EQ(checked, 400000);
}

} // namespace

// A walk whose very first step leaves the mesh has no previous triangle
// either: it must fail as a walk off the map, not compare with triangle "none".
TEST(MMesh, AWalkLeavingTheMeshAtOnceFails)
{
    Square s;
    for (const MXY q : {MXY{0.5, 2}, MXY{2, 0.5}, MXY{-1, -1}})
        for (const TriId hint : {s.t1, s.t2})
            EXPECT_THROW(s.m.Locate(q, hint), LocateError) << q.x << "," << q.y;
    EXPECT_EQ(s.m.Locate({0.25, 0.1}, s.t1), s.t2);
}
