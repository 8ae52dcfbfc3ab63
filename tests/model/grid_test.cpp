// The grid store: both layouts, written texts over placeholders, resizing, the text store under
// rewriting, and what the view sees of it as a table model.
#include <gtest/gtest.h>

#include <QObject>
#include <random>
#include <string>
#include <vector>

#include "model/errors.h"
#include "model/grid.h"
#include "model/numbers.h"

namespace quenta {
namespace {

std::vector<std::string> rowTexts(const SystemGrid& g, int row)
{
    std::vector<std::string> out;
    for (int c = 0; c < g.cols(); ++c)
        out.push_back(g.text(row, c));
    return out;
}

using Row = std::vector<std::string>;

TEST(Grid, StartsAsTwoByTwoEmpty)
{
    SystemGrid g;
    EXPECT_EQ(g.rows(), 2);
    EXPECT_EQ(g.cols(), 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(g.text(r, c), "");
    EXPECT_FALSE(g.fileBackedLayout());
    EXPECT_EQ(g.cornerText(), "");
}

TEST(Grid, InMemoryLayoutOfOrderOne)
{
    SystemGrid g;
    g.fill_data(1);
    EXPECT_EQ(g.rows(), 2);
    EXPECT_EQ(g.cols(), 6);
    EXPECT_EQ(rowTexts(g, 0), (Row{"System", "", "", "", "", "Solution"}));
    EXPECT_EQ(rowTexts(g, 1), (Row{"", "a(1,1)", "*x(1)=", "b(1)", "", "0"}));
    EXPECT_EQ(g.cornerText(), "System");
    EXPECT_FALSE(g.fileBackedLayout());
}

TEST(Grid, InMemoryLayoutOfOrderTwo)
{
    SystemGrid g;
    g.fill_data(2);
    EXPECT_EQ(g.rows(), 3);
    EXPECT_EQ(g.cols(), 8);
    EXPECT_EQ(rowTexts(g, 0), (Row{"System", "", "", "", "", "", "", "Solution"}));
    EXPECT_EQ(rowTexts(g, 1), (Row{"", "a(1,1)", "*x(1)+", "a(1,2)", "*x(2)=", "b(1)", "", "0"}));
    EXPECT_EQ(rowTexts(g, 2), (Row{"", "a(2,1)", "*x(1)+", "a(2,2)", "*x(2)=", "b(2)", "", "0"}));
}

TEST(Grid, InMemoryLayoutOfOrderTen)
{
    SystemGrid g;
    g.fill_data(10);
    EXPECT_EQ(g.rows(), 11);
    EXPECT_EQ(g.cols(), 24);
    EXPECT_EQ(g.text(10, 19), "a(10,10)");
    EXPECT_EQ(g.text(10, 20), "*x(10)=");
    EXPECT_EQ(g.text(10, 21), "b(10)");
    EXPECT_EQ(g.text(10, 22), "");
    EXPECT_EQ(g.text(10, 23), "0");
    EXPECT_EQ(g.text(0, 23), "Solution");
    EXPECT_EQ(g.text(3, 4), "*x(2)+");
    EXPECT_EQ(g.text(7, 5), "a(7,3)");
    EXPECT_EQ(g.text(0, 21), "");
    EXPECT_EQ(g.text(4, 0), "");
}

TEST(Grid, OrderZeroIsTheHeaderRowAlone)
{
    SystemGrid g;
    g.fill_data(0);
    EXPECT_EQ(g.rows(), 1);
    EXPECT_EQ(g.cols(), 4);
    EXPECT_EQ(rowTexts(g, 0), (Row{"System", "", "", "Solution"}));
}

TEST(Grid, LargestOrderIsLaidOutAndTheNextOverflows)
{
    SystemGrid g;
    g.fill_data(16381);
    EXPECT_EQ(g.rows(), 16382);
    EXPECT_EQ(g.cols(), 32766);
    EXPECT_EQ(g.text(16381, 32761), "a(16381,16381)");
    EXPECT_EQ(g.text(16381, 32762), "*x(16381)=");
    EXPECT_EQ(g.text(16381, 32763), "b(16381)");
    EXPECT_EQ(g.text(16381, 32765), "0");
    EXPECT_EQ(g.text(0, 32765), "Solution");
    EXPECT_EQ(g.text(12345, 2 * 777 - 1), "a(12345,777)");

    EXPECT_THROW(g.fill_data(16382), OverflowError);
    EXPECT_THROW(g.fill_data(32767), OverflowError);
}

TEST(Grid, NewLayoutLeavesNoTraceOfTheOldSystem)
{
    SystemGrid g;
    g.fill_data(8);
    g.setText(2, 3, "4.5");
    g.setText(5, 13, "1E-05");
    g.setText(8, 19, "0.25");
    g.setText(1, 0, "left over");
    g.fill_data(5);

    SystemGrid fresh;
    fresh.fill_data(5);
    ASSERT_EQ(g.rows(), 6);
    ASSERT_EQ(g.cols(), 14);
    for (int r = 0; r < g.rows(); ++r)
        EXPECT_EQ(rowTexts(g, r), rowTexts(fresh, r)) << "row " << r;
    EXPECT_EQ(g.text(2, 3), "a(2,2)");
    EXPECT_EQ(g.text(5, 13), "0");
}

TEST(Grid, WrittenTextsReplacePlaceholdersExactly)
{
    SystemGrid g;
    g.fill_data(3);
    g.setText(1, 1, " 2.5E3 ");
    g.setText(2, 7, "-7");
    g.setText(3, 9, "");
    g.setText(0, 0, "Ü λ");
    EXPECT_EQ(g.text(1, 1), " 2.5E3 ");
    EXPECT_EQ(g.text(2, 7), "-7");
    EXPECT_EQ(g.text(3, 9), "");  // written empty, not the placeholder
    EXPECT_EQ(g.cornerText(), "Ü λ");
    EXPECT_EQ(g.text(1, 3), "a(1,2)");
    EXPECT_EQ(g.text(2, 1), "a(2,1)");

    // Long texts, texts across the store's internal limits, and zero bytes survive.
    const std::string withZero("a\0b", 3);
    const std::string long300(300, 'x');
    const std::string huge(700000, 'y');
    g.setText(1, 3, withZero);
    g.setText(1, 5, long300);
    g.setText(2, 5, huge);
    EXPECT_EQ(g.text(1, 3), withZero);
    EXPECT_EQ(g.text(1, 5), long300);
    EXPECT_EQ(g.text(2, 5), huge);
    g.setText(1, 5, "short");
    g.setText(2, 5, long300);
    EXPECT_EQ(g.text(1, 5), "short");
    EXPECT_EQ(g.text(2, 5), long300);
}

TEST(Grid, CellsOutsideTheGridAreRefused)
{
    SystemGrid g;
    g.fill_data(2);
    for (auto [r, c] : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 8}, {3, 8}, {32767, 1}}) {
        EXPECT_THROW(g.text(r, c), SubscriptError) << r << "," << c;
        EXPECT_THROW(g.setText(r, c, "1"), SubscriptError) << r << "," << c;
    }
}

TEST(Grid, CountsAreLimitedAndResizingKeepsSurvivingCells)
{
    SystemGrid g;
    EXPECT_THROW(g.setRows(0), SubscriptError);
    EXPECT_THROW(g.setCols(0), SubscriptError);
    EXPECT_THROW(g.setRows(SystemGrid::MaxRows + 1), SubscriptError);
    EXPECT_THROW(g.setCols(SystemGrid::MaxCols + 1), SubscriptError);
    EXPECT_EQ(g.rows(), 2);
    EXPECT_EQ(g.cols(), 2);
    g.setRows(SystemGrid::MaxRows);
    g.setCols(SystemGrid::MaxCols);
    EXPECT_EQ(g.text(SystemGrid::MaxRows - 1, SystemGrid::MaxCols - 1), "");

    g.fill_data(4);
    g.setText(1, 1, "1");
    g.setText(4, 9, "9");
    g.setText(1, 9, "solution");
    g.setRows(3);
    g.setCols(6);
    EXPECT_EQ(g.text(1, 1), "1");
    EXPECT_EQ(g.text(2, 3), "a(2,2)");
    // Cells that come back after a shrink are empty: neither the old text nor a placeholder.
    g.setRows(5);
    g.setCols(12);
    EXPECT_EQ(g.text(4, 9), "");
    EXPECT_EQ(g.text(1, 9), "");
    EXPECT_EQ(g.text(4, 1), "");
    EXPECT_EQ(g.text(0, 11), "");
    EXPECT_EQ(g.text(2, 3), "a(2,2)");
    EXPECT_EQ(g.text(1, 1), "1");
}

TEST(Grid, ClearEmptiesEveryCellAndKeepsTheCounts)
{
    SystemGrid g;
    g.fill_data(3);
    g.setText(2, 3, "5");
    g.clear();
    EXPECT_EQ(g.rows(), 4);
    EXPECT_EQ(g.cols(), 10);
    for (int r = 0; r < g.rows(); ++r)
        for (int c = 0; c < g.cols(); ++c)
            EXPECT_EQ(g.text(r, c), "") << r << "," << c;
}

TEST(Grid, FileBackedLayoutAfterInMemory)
{
    SystemGrid g;
    g.fill_data(5);
    g.setText(1, 1, "3");
    g.setText(2, 1, "4");
    g.setText(1, 0, "stale");
    const std::vector<float> x{99.0f, 1.0f / 3.0f, -2.0f, 12345678.0f};
    g.fill_x(3, x);
    EXPECT_TRUE(g.fileBackedLayout());
    EXPECT_EQ(g.rows(), 4);
    EXPECT_EQ(g.cols(), 2);
    EXPECT_EQ(rowTexts(g, 0), (Row{"Solution", ""}));
    EXPECT_EQ(rowTexts(g, 1), (Row{"X(1)=", "0.3333333"}));
    EXPECT_EQ(rowTexts(g, 2), (Row{"X(2)=", "-2"}));
    EXPECT_EQ(rowTexts(g, 3), (Row{"X(3)=", "1.234568E+07"}));
    EXPECT_EQ(g.cornerText(), "Solution");

    // The approximation's cells are rewritten in place by later steps.
    g.setText(2, 1, "0.5");
    EXPECT_EQ(g.text(2, 1), "0.5");

    // Back to the in-memory layout.
    g.fill_data(2);
    EXPECT_FALSE(g.fileBackedLayout());
    EXPECT_EQ(rowTexts(g, 1), (Row{"", "a(1,1)", "*x(1)+", "a(1,2)", "*x(2)=", "b(1)", "", "0"}));
}

TEST(Grid, FileBackedLayoutGrowsFromTheStartGrid)
{
    SystemGrid g;
    std::vector<float> x(13, 0.0f);
    x[12] = 0.00001f;
    g.fill_x(12, x);
    EXPECT_EQ(g.rows(), 13);
    EXPECT_EQ(g.text(12, 0), "X(12)=");
    EXPECT_EQ(g.text(12, 1), "1E-05");
    EXPECT_EQ(g.text(7, 1), "0");

    g.fill_x(0, x);
    EXPECT_EQ(g.rows(), 1);
    EXPECT_EQ(rowTexts(g, 0), (Row{"Solution", ""}));
}

TEST(Grid, FileBackedLayoutRefusesAShortApproximationUntouched)
{
    SystemGrid g;
    g.fill_data(2);
    g.setText(1, 1, "8");
    EXPECT_THROW(g.fill_x(3, std::vector<float>(3, 1.0f)), SubscriptError);
    EXPECT_FALSE(g.fileBackedLayout());
    EXPECT_EQ(g.rows(), 3);
    EXPECT_EQ(g.cols(), 8);
    EXPECT_EQ(g.text(1, 1), "8");
    EXPECT_EQ(g.text(0, 0), "System");
}

TEST(Grid, RewritingCellsOverAndOverKeepsTheStoreBounded)
{
    // The solution column is rewritten after every step: texts of changing length, many times.
    SystemGrid g;
    g.fill_data(200);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> value(-1e6f, 1e6f);
    std::vector<std::string> expected(201);
    std::size_t boundAfterWarmUp = 0;
    for (int sweep = 0; sweep < 3000; ++sweep) {
        for (int i = 1; i <= 200; ++i) {
            std::string t = FormatSingle(value(rng) / static_cast<float>(1 + (sweep * i) % 997));
            if ((sweep + i) % 7 == 0)
                t = std::string(1 + (sweep + i) % 300, 'z');  // now and then a long one
            g.setText(i, 403, t);
            expected[static_cast<std::size_t>(i)] = t;
        }
        if (sweep == 100)
            boundAfterWarmUp = g.storeBytes();
    }
    for (int i = 1; i <= 200; ++i)
        ASSERT_EQ(g.text(i, 403), expected[static_cast<std::size_t>(i)]) << i;
    // 600 000 writes of up to 300 bytes, about 60 MB in all, held in a few MB.
    EXPECT_LE(g.storeBytes(), boundAfterWarmUp + (4u << 20));
    EXPECT_EQ(g.text(5, 1), "a(5,1)");
}

TEST(Grid, EveryValueCellOfASystemReadsBack)
{
    SystemGrid g;
    const int n = 60;
    g.fill_data(static_cast<i16>(n));
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    std::vector<std::string> texts;
    for (int i = 1; i <= n; ++i)
        for (int k = 1; k <= n + 1; ++k) {
            texts.push_back(FormatSingle(value(rng)));
            g.setText(i, 2 * k - 1, texts.back());
        }
    std::size_t t = 0;
    for (int i = 1; i <= n; ++i)
        for (int k = 1; k <= n + 1; ++k)
            ASSERT_EQ(g.text(i, 2 * k - 1), texts[t++]);
    EXPECT_EQ(g.text(n, 2 * n), "*x(60)=");
    EXPECT_EQ(g.text(n, 2 * n + 3), "0");
}

TEST(GridModel, ViewSeesTheCellsBelowAndRightOfTheFixedRowAndColumn)
{
    SystemGrid g;
    g.fill_data(2);
    g.setText(2, 3, "1.5");
    EXPECT_EQ(g.rowCount(), 2);
    EXPECT_EQ(g.columnCount(), 7);
    EXPECT_EQ(g.rowCount(g.index(0, 0)), 0);
    EXPECT_EQ(g.data(g.index(0, 0)).toString(), QStringLiteral("a(1,1)"));
    EXPECT_EQ(g.data(g.index(1, 2)).toString(), QStringLiteral("1.5"));
    EXPECT_EQ(g.data(g.index(1, 6)).toString(), QStringLiteral("0"));
    EXPECT_FALSE(g.data(g.index(0, 0), Qt::EditRole).isValid());
    EXPECT_EQ(g.headerData(6, Qt::Horizontal).toString(), QStringLiteral("Solution"));
    EXPECT_EQ(g.headerData(0, Qt::Horizontal).toString(), QString());
    EXPECT_EQ(g.headerData(1, Qt::Vertical).toString(), QString());
    EXPECT_FALSE(g.headerData(7, Qt::Horizontal).isValid());

    g.setText(1, 0, "eq. 1");
    EXPECT_EQ(g.headerData(0, Qt::Vertical).toString(), QStringLiteral("eq. 1"));

    const Qt::ItemFlags f = g.flags(g.index(0, 0));
    EXPECT_TRUE(f & Qt::ItemIsEnabled);
    EXPECT_TRUE(f & Qt::ItemIsSelectable);
    EXPECT_FALSE(f & Qt::ItemIsEditable);
    EXPECT_FALSE(g.setData(g.index(0, 0), QStringLiteral("9")));
    EXPECT_EQ(g.text(1, 1), "a(1,1)");

    g.fill_x(3, std::vector<float>(4, 0.5f));
    EXPECT_EQ(g.rowCount(), 3);
    EXPECT_EQ(g.columnCount(), 1);
    EXPECT_EQ(g.headerData(2, Qt::Vertical).toString(), QStringLiteral("X(3)="));
    EXPECT_EQ(g.data(g.index(2, 0)).toString(), QStringLiteral("0.5"));
}

TEST(GridModel, SignalsTellTheViewWhatChanged)
{
    SystemGrid g;
    int resets = 0, changed = 0, headers = 0;
    QModelIndex lastChanged;
    Qt::Orientation lastOrientation = Qt::Horizontal;
    int lastSection = -1;
    QObject::connect(&g, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&g, &QAbstractItemModel::dataChanged, [&](const QModelIndex& a, const QModelIndex& b) {
        ++changed;
        EXPECT_EQ(a, b);
        lastChanged = a;
    });
    QObject::connect(&g, &QAbstractItemModel::headerDataChanged, [&](Qt::Orientation o, int first, int last) {
        ++headers;
        EXPECT_EQ(first, last);
        lastOrientation = o;
        lastSection = first;
    });

    g.fill_data(3);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(g.rowCount(), 3);
    g.setText(2, 5, "1");
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(lastChanged.row(), 1);
    EXPECT_EQ(lastChanged.column(), 4);
    g.setText(0, 3, "head");
    EXPECT_EQ(headers, 1);
    EXPECT_EQ(lastOrientation, Qt::Horizontal);
    EXPECT_EQ(lastSection, 2);
    g.setText(3, 0, "side");
    EXPECT_EQ(headers, 2);
    EXPECT_EQ(lastOrientation, Qt::Vertical);
    EXPECT_EQ(lastSection, 2);

    g.fill_x(2, std::vector<float>(3, 0.0f));
    EXPECT_EQ(resets, 2);
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
