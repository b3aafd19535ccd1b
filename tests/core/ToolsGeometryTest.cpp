#include "core/Tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
const QRectF kRect(10, 20, 100, 50);  // left 10, right 110, top 20, bottom 70
}

TEST(ToolsGeometry, DirectionOrderAndEdges) {
    struct Row {
        QPointF p;
        int direction;
    };
    const std::vector<Row> rows = {
        {{50, 40}, 0}, {{10, 20}, 0}, {{110, 70}, 0},  // edges belong to the rectangle
        {{9.99, 40}, 1}, {{111, 40}, 2}, {{50, 71}, 4}, {{50, 19}, 8},
        {{0, 0}, 1},    // left wins over above
        {{200, 100}, 2},  // right wins over below
    };
    for (const Row& row : rows) EXPECT_EQ(Tools::getDirection(row.p, kRect), row.direction) << row.p.x() << "," << row.p.y();
}

TEST(ToolsGeometry, IntersectPointOnTheFacingSide) {
    EXPECT_EQ(Tools::getIntersectPoint({50, 40}, {0, 0}, kRect), QPointF(-200, -200));
    EXPECT_EQ(Tools::getIntersectPoint({0, 40}, {20, 60}, kRect), QPointF(10, 50));    // left
    EXPECT_EQ(Tools::getIntersectPoint({120, 40}, {100, 20}, kRect), QPointF(110, 30)); // right
    EXPECT_EQ(Tools::getIntersectPoint({50, 80}, {60, 60}, kRect), QPointF(55, 70));   // bottom (greater y)
    EXPECT_EQ(Tools::getIntersectPoint({50, 0}, {70, 40}, kRect), QPointF(60, 20));    // top
    const QPointF parallel = Tools::getIntersectPoint({0, 40}, {0, 60}, kRect);
    EXPECT_FALSE(std::isfinite(parallel.y()));
}

TEST(ToolsGeometry, SegmentAndRectangle) {
    struct Row {
        QPointF a, b;
        bool meets;
    };
    const std::vector<Row> rows = {
        {{0, 0}, {200, 100}, true},     // crosses
        {{50, 40}, {60, 50}, true},     // inside
        {{0, 20}, {5, 20}, false},      // on the top edge's line but short of it
        {{0, 20}, {10, 20}, true},      // touches the corner
        {{0, 0}, {200, 0}, false},      // above
        {{0, 200}, {200, 190}, false},  // below
        {{0, 100}, {100, 0}, true},     // diagonal through the left part
        {{0, 100}, {20, 80}, false},    // same line, segment stops short
        {{50, 40}, {50, 40}, true},     // a point inside
        {{0, 0}, {0, 0}, false},        // a point outside
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Tools::lineAndRectIntersect(row.a, row.b, kRect), row.meets)
            << row.a.x() << "," << row.a.y() << " " << row.b.x() << "," << row.b.y();
        EXPECT_EQ(Tools::lineAndRectIntersect(row.b, row.a, kRect), row.meets) << "reversed";
    }
}
