// Typing a system in through the window: Accept N, Accept A(i,j), Accept B(i), the spinners,
// and the messages they show.
#include <QAbstractButton>
#include <QHeaderView>

#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

TEST(WindowEntry, AcceptNLaysOutTheGridAndEnablesTheButtons)
{
    Started app(emptyDataFolder);
    QTableView* view = app.w().gridView();
    auto* corner = view->findChild<QAbstractButton*>(QStringLiteral("msfgDataCorner"));
    ASSERT_NE(corner, nullptr);
    EXPECT_TRUE(corner->isVisible());
    auto darkPixels = [corner] {
        const QImage image = corner->grab().toImage();
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 110;
        return dark;
    };
    const int empty = darkPixels();

    app.acceptN("3");
    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.state().N, 3);
    EXPECT_EQ(app.state().StorageMode, std::optional<i16>(1));
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter})
        EXPECT_TRUE(app.w().control(c)->isEnabled());
    EXPECT_EQ(app.text(Control::txtN), "3");

    // The view shows the layout: 3 rows, 9 columns after the fixed one.
    EXPECT_EQ(view->model()->rowCount(), 3);
    EXPECT_EQ(view->model()->columnCount(), 9);
    const std::tuple<int, int, const char*> cells[] = {
        {0, 0, "System"}, {0, 9, "Solution"}, {2, 1, "a(2,1)"}, {2, 2, "*x(1)+"}, {2, 6, "*x(3)="}, {2, 7, "b(2)"}, {3, 9, "0"}};
    for (const auto& [r, c, t] : cells)
        EXPECT_EQ(app.shown(r, c), t) << r << "," << c;
    // The corner cell draws the heading, in a fixed column wide enough for it.
    EXPECT_GT(darkPixels(), empty + 10);
    EXPECT_GE(corner->width(), QFontMetrics(view->font()).horizontalAdvance(QStringLiteral("Solution")));

    // Nobody edits a cell in the view.
    const QModelIndex cell = view->model()->index(0, 0);
    EXPECT_FALSE(view->model()->flags(cell) & Qt::ItemIsEditable);
    view->setCurrentIndex(cell);
    view->edit(cell);
    EXPECT_EQ(view->indexWidget(cell), nullptr);
    EXPECT_FALSE(view->findChild<QLineEdit*>());
}

TEST(WindowEntry, TypedCoefficientsLandInTheirCellsExactlyAsTyped)
{
    Started app(emptyDataFolder);
    app.acceptN("2");
    app.acceptA(1, 2, "2.5E3");
    app.acceptA(2, 1, " -7 ");
    app.acceptB(2, "+4");
    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.shown(1, 3), "2.5E3");
    EXPECT_EQ(app.shown(2, 1), " -7 ");
    EXPECT_EQ(app.shown(2, 5), "+4");
    EXPECT_EQ(app.shown(1, 1), "a(1,1)");
    EXPECT_EQ(app.shown(1, 5), "b(1)");
    // Accepting clears no field and moves no index.
    EXPECT_EQ(app.text(Control::txtA), " -7 ");
    EXPECT_EQ(app.text(Control::txtB), "+4");
    EXPECT_EQ(app.text(Control::txtIndex0), "2");
    EXPECT_EQ(app.text(Control::txtIndex1), "1");
    EXPECT_EQ(app.text(Control::txtIndex2), "2");

    // After every command the view follows the grid's changes again, through one connection each.
    for (QObject* view : {static_cast<QObject*>(app.w().gridView()), static_cast<QObject*>(app.w().gridView()->horizontalHeader()),
                          static_cast<QObject*>(app.w().gridView()->verticalHeader())}) {
        auto disconnect = [&] {
            return QObject::disconnect(&app.w().grid(), SIGNAL(dataChanged(QModelIndex, QModelIndex, QList<int>)), view,
                                       SLOT(dataChanged(QModelIndex, QModelIndex, QList<int>)));
        };
        EXPECT_TRUE(disconnect()) << view->metaObject()->className();
        EXPECT_FALSE(disconnect());
    }
}

TEST(WindowEntry, EveryFailureShowsMsgFormatAndChangesNothing)
{
    Started app(emptyDataFolder);
    app.acceptN("8");
    app.spinTo(0, 6);
    app.acceptN("2");  // the index 6 stays beyond the smaller system
    EXPECT_EQ(app.text(Control::txtIndex0), "6");
    app.type(Control::txtA, "1");
    app.click(Control::cmdA);  // row 6 does not exist
    app.acceptA(1, 1, "1");
    ASSERT_EQ(app.user.messages, Texts{kMsgFormat});

    const std::pair<const char*, std::function<void()>> failures[] = {
        {"N abc", [&] { app.acceptN("abc"); }},  {"N 16382", [&] { app.acceptN("16382"); }},
        {"N 40000", [&] { app.acceptN("40000"); }}, {"N -1", [&] { app.acceptN("-1"); }},
        {"A x1", [&] { app.acceptA(1, 2, "x1"); }}, {"A empty", [&] { app.acceptA(1, 2, ""); }},
        {"B empty", [&] { app.acceptB(1, ""); }},
    };
    for (const auto& [what, act] : failures) {
        app.user.messages.clear();
        act();
        EXPECT_EQ(app.user.messages, Texts{kMsgFormat}) << what;
        EXPECT_EQ(app.state().N, 2) << what;
        EXPECT_EQ(app.w().grid().rows(), 3) << what;
        EXPECT_EQ(app.shown(1, 1), "1") << what;
        EXPECT_EQ(app.shown(1, 3), "a(1,2)") << what;
        EXPECT_EQ(app.shown(1, 5), "b(1)") << what;
    }
}

TEST(WindowEntry, SpinnersClampAtOneAndAtN)
{
    Started app(emptyDataFolder);
    app.click(app.up(1));  // N = 0: up gives 0, down 1
    EXPECT_EQ(app.text(Control::txtIndex1), "0");
    app.click(app.down(1));
    EXPECT_EQ(app.text(Control::txtIndex1), "1");

    app.acceptN("3");
    for (int k = 0; k < 3; ++k) {
        app.click(app.up(k), 5);
        EXPECT_EQ(app.text(indexField(k)), "3") << k;
        app.click(app.down(k));
        EXPECT_EQ(app.text(indexField(k)), "2") << k;
        app.click(app.down(k), 5);
        EXPECT_EQ(app.text(indexField(k)), "1") << k;
    }
    // An index beyond a smaller system comes back to N with one click.
    app.click(app.up(0), 2);
    app.acceptN("2");
    app.click(app.up(0));
    EXPECT_EQ(app.text(Control::txtIndex0), "2");
    EXPECT_TRUE(app.user.messages.empty());
}
