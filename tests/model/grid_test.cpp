// The grid store: both layouts, written texts over placeholders, resizing, the text store under
// rewriting, and what the view sees of it as a table model.
#include <gtest/gtest.h>

#include <QObject>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "model/errors.h"
#include "model/grid.h"
#include "model/numbers.h"

namespace quenta {
namespace {

using Row = std::vector<std::string>;

Row rowTexts(const SystemGrid& g, int row)
{
    Row out;
    for (int c = 0; c < g.cols(); ++c)
        out.push_back(g.text(row, c));
    return out;
}

void expectCells(const SystemGrid& g, std::initializer_list<std::tuple<int, int, const char*>> cells)
{
    for (auto [r, c, text] : cells)
        EXPECT_EQ(g.text(r, c), text) << r << "," << c;
}

// The layouts of small systems are read through the window's view and in the files' tests;
// here, the largest system (the order past it is refused below, with the view told).
TEST(Grid, InMemoryLayoutOfTheLargestSystem)
{
    SystemGrid g;
    EXPECT_EQ(rowTexts(g, 1), (Row{"", ""}));
    g.fill_data(16381);
    EXPECT_EQ(std::pair(g.rows(), g.cols()), std::pair(16382, 32766));
    expectCells(g, {{16381, 32761, "a(16381,16381)"}, {16381, 32762, "*x(16381)="}, {16381, 32763, "b(16381)"},
                    {16381, 32765, "0"}, {0, 32765, "Solution"}, {12345, 1553, "a(12345,777)"}, {3, 4, "*x(2)+"}});
    EXPECT_FALSE(g.fileBackedLayout());
}

TEST(Grid, ResizingAndClearing)
{
    SystemGrid g;
    g.setRows(SystemGrid::MaxRows);
    g.setCols(SystemGrid::MaxCols);
    EXPECT_EQ(g.text(SystemGrid::MaxRows - 1, SystemGrid::MaxCols - 1), "");
    g.fill_data(4);
    g.setText(1, 1, "1", ".");
    g.setText(4, 9, "9", ".");
    g.setText(1, 9, "9", ".");
    g.setRows(3);
    g.setCols(6);
    g.setRows(5);
    g.setCols(12);
    // Surviving cells keep their text; cells that come back are empty, neither old text nor placeholder.
    expectCells(g, {{1, 1, "1"}, {2, 3, "a(2,2)"}, {4, 9, ""}, {1, 9, ""}, {3, 1, ""}, {4, 1, ""}, {0, 11, ""}});
    g.clear();
    EXPECT_EQ(std::pair(g.rows(), g.cols()), std::pair(5, 12));
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(rowTexts(g, r), Row(12, ""));
}

// The file-backed layout of orders 0 and 2 and its way back to the in-memory one are read in
// Connect's and Paste's tests; here, the stale header it replaces and an X too short.
TEST(Grid, FileBackedLayout)
{
    SystemGrid g;
    g.fill_data(2);
    g.setText(1, 1, "8", ".");
    EXPECT_THROW(g.fill_x(3, std::vector<float>(3, 1.0f), "."), SubscriptError);  // X too short: untouched
    EXPECT_FALSE(g.fileBackedLayout());
    EXPECT_EQ(g.rows(), 3);
    EXPECT_EQ(rowTexts(g, 1), (Row{"", "8", "*x(1)+", "a(1,2)", "*x(2)=", "b(1)", "", "0"}));

    g.setText(1, 0, "stale", ".");
    g.fill_x(3, {99.0f, 1.0f / 3.0f, -2.0f, 12345678.0f}, ".");
    EXPECT_EQ(rowTexts(g, 0), (Row{"Solution", ""}));
    EXPECT_EQ(rowTexts(g, 1), (Row{"X(1)=", "0.3333333"}));
}

// Texts of every kind written over placeholders and read back: blanks kept, written empty (not
// the placeholder), a NUL inside, a huge one, one rewritten short in place; then every cell of a
// row written in a random order, each write read back with the whole row; then every cell
// rewritten many times with texts of changing length, shorter (in place) or longer (moved), and
// the whole grid read back. Cells outside the grid are subscript errors.
TEST(Grid, WrittenTextsReadBackThroughRewritesInAnyOrder)
{
    const int n = 40;
    SystemGrid g, fresh;
    g.fill_data(n);
    fresh.fill_data(n);
    std::mt19937 rng(7);
    std::map<std::pair<int, int>, std::string> written;
    const auto expected = [&](int r, int c) { return written.count({r, c}) ? written[{r, c}] : fresh.text(r, c); };
    const auto expectAll = [&] {
        for (int r = 0; r <= n; ++r)
            for (int c = 0; c < 2 * n + 4; ++c)
                ASSERT_EQ(g.text(r, c), expected(r, c)) << r << "," << c;
    };
    const std::string huge(700000, 'y');
    for (const auto& [r, c, t] : {std::tuple{1, 1, std::string(" 2.5E3 ")}, {3, 9, ""}, {0, 0, "Ü λ"}, {1, 3, std::string("a\0b", 3)},
                                  {2, 5, huge}, {2, 5, "short"}, {1, 5, huge}})
        g.setText(r, c, written[{r, c}] = t, ".");
    EXPECT_EQ(g.cornerText(), "Ü λ");
    expectAll();
    for (auto [r, c] : {std::pair{-1, 0}, {0, -1}, {n + 1, 0}, {0, 2 * n + 4}, {32767, 1}}) {
        EXPECT_THROW(g.text(r, c), SubscriptError) << r << "," << c;
        EXPECT_THROW(g.setText(r, c, "1", "."), SubscriptError) << r << "," << c;
    }

    const auto write = [&](int r, int c) {
        const std::string t = rng() % 3 ? FormatSingle(float(rng()), ".") : std::string(1 + rng() % 300, 'w');
        g.setText(r, c, written[{r, c}] = t, ".");
    };
    std::vector<int> order(2 * n + 4);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng);
    for (int c : order) {
        write(5, c);
        for (int k = 0; k < 2 * n + 4; ++k)
            ASSERT_EQ(g.text(5, k), expected(5, k)) << c << "," << k;
    }
    for (int round = 0; round < 30; ++round)
        for (int r = 1; r <= n; ++r)
            for (int c = round % 2; c < 2 * n + 4; c += 1 + int(rng() % 3))
                write(r, c);
    expectAll();
}

// How the view sees the cells (row 0 and column 0 as headers) is checked through the window's
// own view; here, that the view is told of every change.
TEST(GridModel, TheViewIsToldOfEveryChange)
{
    SystemGrid g;
    int resets = 0, opened = 0;
    std::vector<QModelIndex> changed;
    std::vector<std::tuple<Qt::Orientation, int, int>> headers;
    QObject::connect(&g, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&g, &QAbstractItemModel::modelAboutToBeReset, [&] { ++opened; });
    QObject::connect(&g, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& a, const QModelIndex& b) { changed.push_back(a == b ? a : QModelIndex()); });
    QObject::connect(&g, &QAbstractItemModel::headerDataChanged,
                     [&](Qt::Orientation o, int first, int last) { headers.emplace_back(o, first, last); });
    g.fill_data(2);
    g.setText(2, 3, "1.5", ".");
    g.setText(0, 7, "head", ".");
    g.setText(1, 0, "eq. 1", ".");
    EXPECT_EQ(headers, (std::vector<std::tuple<Qt::Orientation, int, int>>{{Qt::Horizontal, 6, 6}, {Qt::Vertical, 0, 0}}));
    EXPECT_EQ(g.headerData(6, Qt::Horizontal).toString() + g.headerData(0, Qt::Vertical).toString(), "headeq. 1");
    EXPECT_FALSE(g.headerData(7, Qt::Horizontal).isValid() || g.headerData(2, Qt::Vertical).isValid());  // past the last
    g.beginBulk();  // one announcement for the cells written meanwhile
    g.setText(0, 3, "h3", ".");
    g.endBulk();
    EXPECT_EQ(headers.back(), std::tuple(Qt::Horizontal, 2, 2));
    EXPECT_EQ(changed, std::vector<QModelIndex>{g.index(1, 2)});  // the bulk wrote no cell
    g.fill_x(3, std::vector<float>(4, 0.5f), ".");
    g.setRows(4);
    g.setCols(1);
    g.clear();
    EXPECT_EQ(resets, 5);
    // A failed layout still closes its reset, and a refused resize opens none, so the view is
    // never left half-way.
    EXPECT_THROW(g.fill_data(16382), OverflowError);
    for (int bad : {0, SystemGrid::MaxCols + 1}) {
        EXPECT_THROW(g.setRows(bad), SubscriptError);
        EXPECT_THROW(g.setCols(bad), SubscriptError);
    }
    EXPECT_EQ(resets, 6);
    EXPECT_EQ(opened, 6);
    EXPECT_EQ(g.rowCount(), 16382);
}

} // namespace
} // namespace quenta
