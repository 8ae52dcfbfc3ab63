// The grid store: both layouts, written texts over placeholders, resizing, the text store under
// rewriting, and what the view sees of it as a table model.
#include <gtest/gtest.h>

#include <QObject>
#include <algorithm>
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

TEST(Grid, InMemoryLayouts)
{
    SystemGrid g;
    EXPECT_EQ(g.rows(), 2);
    EXPECT_EQ(rowTexts(g, 0), (Row{"", ""}));
    EXPECT_EQ(rowTexts(g, 1), (Row{"", ""}));
    g.fill_data(0);
    EXPECT_EQ(g.rows(), 1);
    EXPECT_EQ(rowTexts(g, 0), (Row{"System", "", "", "Solution"}));
    g.fill_data(1);
    EXPECT_EQ(g.rows(), 2);
    EXPECT_EQ(rowTexts(g, 0), (Row{"System", "", "", "", "", "Solution"}));
    EXPECT_EQ(rowTexts(g, 1), (Row{"", "a(1,1)", "*x(1)=", "b(1)", "", "0"}));
    g.fill_data(2);
    EXPECT_EQ(g.rows(), 3);
    EXPECT_EQ(rowTexts(g, 2), (Row{"", "a(2,1)", "*x(1)+", "a(2,2)", "*x(2)=", "b(2)", "", "0"}));
    EXPECT_FALSE(g.fileBackedLayout());
    g.fill_data(10);
    EXPECT_EQ(g.rows(), 11);
    EXPECT_EQ(g.cols(), 24);
    expectCells(g, {{10, 19, "a(10,10)"}, {10, 20, "*x(10)="}, {10, 21, "b(10)"}, {10, 22, ""}, {10, 23, "0"},
                    {0, 23, "Solution"}, {3, 4, "*x(2)+"}, {7, 5, "a(7,3)"}, {0, 21, ""}, {4, 0, ""}});
    g.fill_data(16381);
    EXPECT_EQ(g.rows(), 16382);
    EXPECT_EQ(g.cols(), 32766);
    expectCells(g, {{16381, 32761, "a(16381,16381)"}, {16381, 32762, "*x(16381)="}, {16381, 32763, "b(16381)"},
                    {16381, 32765, "0"}, {0, 32765, "Solution"}, {12345, 1553, "a(12345,777)"}});
    EXPECT_THROW(g.fill_data(16382), OverflowError);
    EXPECT_THROW(g.fill_data(32767), OverflowError);
}

TEST(Grid, NewLayoutLeavesNoTraceOfTheOldSystem)
{
    SystemGrid g, fresh;
    g.fill_data(8);
    for (auto [r, c] : {std::pair{2, 3}, {5, 13}, {8, 19}, {1, 0}})
        g.setText(r, c, "old");
    g.fill_data(5);
    fresh.fill_data(5);
    ASSERT_EQ(g.rows(), 6);
    ASSERT_EQ(g.cols(), 14);
    for (int r = 0; r < 6; ++r)
        EXPECT_EQ(rowTexts(g, r), rowTexts(fresh, r)) << "row " << r;
}

TEST(Grid, WrittenTextsAndCellsOutsideTheGrid)
{
    SystemGrid g;
    g.fill_data(3);
    const std::string withZero("a\0b", 3), huge(700000, 'y');
    g.setText(1, 1, " 2.5E3 ");
    g.setText(3, 9, "");  // written empty, not the placeholder
    g.setText(0, 0, "Ü λ");
    g.setText(1, 3, withZero);
    g.setText(2, 5, huge);
    g.setText(2, 5, "short");
    g.setText(1, 5, huge);
    expectCells(g, {{1, 1, " 2.5E3 "}, {3, 9, ""}, {2, 5, "short"}, {2, 1, "a(2,1)"}});
    EXPECT_EQ(g.cornerText(), "Ü λ");
    EXPECT_EQ(g.text(1, 3), withZero);
    EXPECT_EQ(g.text(1, 5), huge);
    for (auto [r, c] : {std::pair{-1, 0}, {0, -1}, {4, 0}, {0, 10}, {32767, 1}}) {
        EXPECT_THROW(g.text(r, c), SubscriptError) << r << "," << c;
        EXPECT_THROW(g.setText(r, c, "1"), SubscriptError) << r << "," << c;
    }
}

TEST(Grid, ResizingAndClearing)
{
    SystemGrid g;
    for (int bad : {0, SystemGrid::MaxRows + 1}) {
        EXPECT_THROW(g.setRows(bad), SubscriptError);
        EXPECT_THROW(g.setCols(bad), SubscriptError);
    }
    g.setRows(SystemGrid::MaxRows);
    g.setCols(SystemGrid::MaxCols);
    EXPECT_EQ(g.text(SystemGrid::MaxRows - 1, SystemGrid::MaxCols - 1), "");
    g.fill_data(4);
    g.setText(1, 1, "1");
    g.setText(4, 9, "9");
    g.setText(1, 9, "9");
    g.setRows(3);
    g.setCols(6);
    g.setRows(5);
    g.setCols(12);
    // Surviving cells keep their text; cells that come back are empty, neither old text nor placeholder.
    expectCells(g, {{1, 1, "1"}, {2, 3, "a(2,2)"}, {4, 9, ""}, {1, 9, ""}, {4, 1, ""}, {0, 11, ""}});
    g.clear();
    EXPECT_EQ(g.rows(), 5);
    EXPECT_EQ(g.cols(), 12);
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(rowTexts(g, r), Row(12, ""));
}

TEST(Grid, FileBackedLayout)
{
    SystemGrid g;
    g.fill_data(2);
    g.setText(1, 1, "8");
    EXPECT_THROW(g.fill_x(3, std::vector<float>(3, 1.0f)), SubscriptError);  // X too short: untouched
    EXPECT_FALSE(g.fileBackedLayout());
    EXPECT_EQ(g.rows(), 3);
    EXPECT_EQ(rowTexts(g, 1), (Row{"", "8", "*x(1)+", "a(1,2)", "*x(2)=", "b(1)", "", "0"}));

    g.setText(1, 0, "stale");
    g.fill_x(3, {99.0f, 1.0f / 3.0f, -2.0f, 12345678.0f});
    EXPECT_TRUE(g.fileBackedLayout());
    EXPECT_EQ(g.rows(), 4);
    EXPECT_EQ(rowTexts(g, 0), (Row{"Solution", ""}));
    EXPECT_EQ(rowTexts(g, 1), (Row{"X(1)=", "0.3333333"}));
    EXPECT_EQ(rowTexts(g, 2), (Row{"X(2)=", "-2"}));
    EXPECT_EQ(rowTexts(g, 3), (Row{"X(3)=", "1.234568E+07"}));
    std::vector<float> x(13, 0.0f);
    x[12] = 0.00001f;
    g.fill_x(12, x);
    expectCells(g, {{12, 0, "X(12)="}, {12, 1, "1E-05"}, {7, 1, "0"}});
    g.fill_x(0, x);
    EXPECT_EQ(g.rows(), 1);
    EXPECT_EQ(rowTexts(g, 0), (Row{"Solution", ""}));
    g.fill_data(2);
    EXPECT_FALSE(g.fileBackedLayout());
    EXPECT_EQ(rowTexts(g, 1), (Row{"", "a(1,1)", "*x(1)+", "a(1,2)", "*x(2)=", "b(1)", "", "0"}));
}

TEST(Grid, EveryCellReadsBackAndRewritingKeepsTheStoreBounded)
{
    const int n = 200;
    SystemGrid g;
    g.fill_data(n);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> value(-1e6f, 1e6f);
    std::vector<std::string> texts, solution(n + 1);
    for (int i = 1; i <= n; ++i)
        for (int k = 1; k <= n + 1; ++k)
            g.setText(i, 2 * k - 1, texts.emplace_back(FormatSingle(value(rng))));
    // The solution column is rewritten after every step: texts of changing length, many times.
    std::size_t boundAfterWarmUp = 0;
    for (int sweep = 0; sweep < 3000; ++sweep) {
        for (int i = 1; i <= n; ++i) {
            solution[i] = (sweep + i) % 7 ? FormatSingle(value(rng)) : std::string(1 + (sweep + i) % 300, 'z');
            g.setText(i, 2 * n + 3, solution[i]);
        }
        if (sweep == 100)
            boundAfterWarmUp = g.storeBytes();
    }
    // 600 000 writes of up to 300 bytes, about 60 MB in all, held in a few MB.
    EXPECT_LE(g.storeBytes(), boundAfterWarmUp + (4u << 20));
    for (int i = 1, t = 0; i <= n; ++i) {
        for (int k = 1; k <= n + 1; ++k)
            ASSERT_EQ(g.text(i, 2 * k - 1), texts[t++]);
        ASSERT_EQ(g.text(i, 2 * n + 3), solution[i]);
    }
}

TEST(Grid, AWrittenColumnCostsItsCellsNotFullRows)
{
    const int n = 16381;
    SystemGrid g;
    g.fill_data(n);
    for (int i = 1; i <= n; ++i)
        g.setText(i, 2 * n + 3, FormatSingle(static_cast<float>(i)));
    // A row array as wide as the layout would take 64 KB per row, 1 GB in all.
    EXPECT_LT(g.storeBytes(), (1u << 20) + 200u * n);
    expectCells(g, {{1, 2 * n + 3, "1"}, {n, 2 * n + 3, "16381"}, {n, 2 * n + 1, "b(16381)"}, {n, 1, "a(16381,1)"}});
}

TEST(Grid, TextsSurviveARowFillingUpInAnyOrder)
{
    SystemGrid g, fresh;
    g.fill_data(40);
    fresh.fill_data(40);
    std::vector<int> order(84);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    std::map<int, std::string> written;
    // One cell at a time, two in three rewritten shorter (in place) or longer (moved); the whole
    // row is read back after each write.
    for (int c : order) {
        g.setText(5, c, written[c] = "t" + std::to_string(c));
        if (c % 3 != 2)
            g.setText(5, c, written[c] = c % 3 ? std::string(300, 'w') : "u");
        for (int k = 0; k < 84; ++k)
            ASSERT_EQ(g.text(5, k), written.count(k) ? written[k] : fresh.text(5, k)) << c << "," << k;
    }
}

// How the view sees the cells (row 0 and column 0 as headers) is checked through the window's
// own view; here, that the view is told of every change and can edit nothing.
TEST(GridModel, TheViewIsToldOfEveryChangeAndCanEditNothing)
{
    SystemGrid g;
    int resets = 0;
    std::vector<QModelIndex> changed;
    std::vector<std::pair<Qt::Orientation, int>> headers;
    QObject::connect(&g, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&g, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& a, const QModelIndex& b) { changed.push_back(a == b ? a : QModelIndex()); });
    QObject::connect(&g, &QAbstractItemModel::headerDataChanged,
                     [&](Qt::Orientation o, int first, int last) { headers.emplace_back(o, first == last ? first : -1); });
    g.fill_data(2);
    g.setText(2, 3, "1.5");
    g.setText(0, 3, "head");
    g.setText(1, 0, "eq. 1");
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(changed, std::vector<QModelIndex>{g.index(1, 2)});
    EXPECT_EQ(headers, (std::vector<std::pair<Qt::Orientation, int>>{{Qt::Horizontal, 2}, {Qt::Vertical, 0}}));
    EXPECT_EQ(g.data(g.index(1, 2)).toString(), QStringLiteral("1.5"));
    EXPECT_FALSE(g.flags(g.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(g.setData(g.index(0, 0), QStringLiteral("9")));
    EXPECT_FALSE(g.data(g.index(0, 0), Qt::EditRole).isValid());
    EXPECT_EQ(g.text(1, 1), "a(1,1)");
    g.fill_x(3, std::vector<float>(4, 0.5f));
    g.setRows(4);
    g.setCols(3);
    g.clear();
    EXPECT_EQ(resets, 5);
    // A failed layout still closes its reset, so the view is never left half-way.
    EXPECT_THROW(g.fill_data(16382), OverflowError);
    EXPECT_EQ(resets, 6);
    EXPECT_EQ(g.rowCount(), 16382);
}

} // namespace
} // namespace quenta
