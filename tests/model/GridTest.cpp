#include "model/Grid.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace ostrander {
namespace {

// A 3 x 4 grid whose element (i, j) holds 10 i + j.
Grid<double> Numbered() {
    Grid<double> g(3, 4);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            g[i][j] = 10 * i + j;
    return g;
}

TEST(Grid, RowsFollowEachOtherInOneBlock) {
    const Grid<double> g = Numbered();
    EXPECT_EQ(g.Rows(), 3);
    EXPECT_EQ(g.Cols(), 4);
    ASSERT_EQ(g.size(), 12u);
    // Row i starts Cols() elements after row i - 1, so a row can be walked
    // (and copied) as a plain array.
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(g.data()[k], 10 * (k / 4) + k % 4) << k;
    EXPECT_EQ(g[1], g.data() + 4);
    const std::vector<const double*> rows = g.RowPointers();
    ASSERT_EQ(rows.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rows[i], g[i]);
}

TEST(Grid, AtChecksBothIndices) {
    Grid<double> g = Numbered();
    EXPECT_EQ(g.at(2, 3), 23.0);
    g.at(0, 1) = -1.0;
    EXPECT_EQ(g[0][1], -1.0);
    const struct {
        int r, c;
    } outside[] = {{-1, 0}, {0, -1}, {3, 0}, {0, 4}, {3, 4}, {1, 12}};
    for (const auto& p : outside) {
        SCOPED_TRACE(std::to_string(p.r) + ", " + std::to_string(p.c));
        EXPECT_FALSE(g.Contains(p.r, p.c));
        EXPECT_THROW(g.at(p.r, p.c), std::out_of_range);
        EXPECT_THROW(std::as_const(g).at(p.r, p.c), std::out_of_range);
    }
    EXPECT_THROW(Grid<double>().at(0, 0), std::out_of_range);
}

TEST(Grid, SizesBelowOneGiveAnEmptyGrid) {
    const struct {
        int rows, cols;
    } cases[] = {{0, 0}, {0, 5}, {5, 0}, {-3, 4}, {4, -3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + " x " + std::to_string(c.cols));
        Grid<double> g(c.rows, c.cols);
        EXPECT_TRUE(g.empty());
        EXPECT_EQ(g.Rows(), 0);
        EXPECT_EQ(g.Cols(), 0);
        EXPECT_TRUE(g.RowPointers().empty());
    }
}

TEST(Grid, AssignReshapesAndFillsClearEmpties) {
    Grid<double> g = Numbered();
    g.Assign(2, 5, 1.5);
    EXPECT_EQ(g.Rows(), 2);
    EXPECT_EQ(g.Cols(), 5);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 5; ++j)
            EXPECT_EQ(g[i][j], 1.5);
    g.Fill(0.0);
    EXPECT_EQ(g.at(1, 4), 0.0);
    g.clear();
    EXPECT_TRUE(g.empty());
    EXPECT_EQ(g.Rows(), 0);
    EXPECT_EQ(g.Cols(), 0);
}

TEST(Grid, CopiesAreIndependentAndMovesHandTheBlockOver) {
    Grid<double> a = Numbered();
    Grid<double> copy = a;
    copy[1][1] = 99.0;
    EXPECT_EQ(a[1][1], 11.0);

    const double* block = a.data();
    Grid<double> moved = std::move(a);
    EXPECT_EQ(moved.data(), block);
    EXPECT_EQ(moved.at(2, 3), 23.0);
    // The source is left empty with no size, not with a stale shape.
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.Rows(), 0);
    EXPECT_EQ(a.Cols(), 0);
    EXPECT_FALSE(a.Contains(0, 0));

    Grid<double> target(1, 1);
    target = std::move(moved);
    EXPECT_EQ(target.data(), block);
    EXPECT_EQ(target.Rows(), 3);
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(moved.Rows(), 0);

    // Reusable after the move.
    a.Assign(2, 2, 3.0);
    EXPECT_EQ(a.at(1, 1), 3.0);
}

} // namespace
} // namespace ostrander
