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
    app.acceptN("3");

    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.state().N, 3);
    EXPECT_EQ(app.state().StorageMode, std::optional<i16>(1));
    EXPECT_EQ(app.state().iter, 1);
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter})
        EXPECT_TRUE(app.w().control(c)->isEnabled());
    EXPECT_EQ(app.text(Control::txtN), "3");  // left as typed

    // The view shows the layout: 3 equations as rows, 9 columns after the fixed one.
    QTableView* view = app.w().gridView();
    EXPECT_EQ(view->model()->rowCount(), 3);
    EXPECT_EQ(view->model()->columnCount(), 9);
    EXPECT_EQ(app.shown(0, 0), "System");
    EXPECT_EQ(app.shown(0, 9), "Solution");
    EXPECT_EQ(app.shown(2, 1), "a(2,1)");
    EXPECT_EQ(app.shown(2, 2), "*x(1)+");
    EXPECT_EQ(app.shown(2, 6), "*x(3)=");
    EXPECT_EQ(app.shown(2, 7), "b(2)");
    EXPECT_EQ(app.shown(3, 9), "0");

    // The view lets nobody edit a cell.
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
    // Accepting clears nothing and moves no index.
    EXPECT_EQ(app.text(Control::txtA), " -7 ");
    EXPECT_EQ(app.text(Control::txtB), "+4");
    EXPECT_EQ(app.text(Control::txtIndex0), "2");
    EXPECT_EQ(app.text(Control::txtIndex1), "1");
    EXPECT_EQ(app.text(Control::txtIndex2), "2");
}

TEST(WindowEntry, AcceptNRoundsAndReplacesTheOldSystem)
{
    Started app(emptyDataFolder);
    app.acceptN("4.5");
    EXPECT_EQ(app.state().N, 4);
    app.acceptA(1, 1, "5");
    app.acceptN("4");  // the same N once more wipes the values
    EXPECT_EQ(app.shown(1, 1), "a(1,1)");
    EXPECT_EQ(app.w().grid().cols(), 12);
    EXPECT_TRUE(app.user.messages.empty());
}

TEST(WindowEntry, EveryFailureShowsMsgFormatAndChangesNothing)
{
    Started app(emptyDataFolder);
    app.acceptN("2");
    app.acceptA(1, 1, "1");

    // Accept N with text that is no number: only the mode stays 1.
    app.acceptN("abc");
    // Accept N beyond the grid's reach.
    app.acceptN("16382");
    app.acceptN("40000");
    app.acceptN("-1");
    EXPECT_EQ(app.state().N, 2);
    EXPECT_EQ(app.shown(1, 1), "1");
    EXPECT_EQ(app.w().grid().rows(), 3);

    // Accept A(i,j) with a value that is no number, or empty.
    app.acceptA(1, 2, "x1");
    app.acceptA(1, 2, "");
    // Accept B(i) with an empty field.
    app.acceptB(1, "");
    EXPECT_EQ(app.shown(1, 3), "a(1,2)");
    EXPECT_EQ(app.shown(1, 5), "b(1)");

    ASSERT_EQ(app.user.messages.size(), 7u);
    for (const std::string& m : app.user.messages)
        EXPECT_EQ(m, kMsgFormat);
}

TEST(WindowEntry, SpinnersClampAtOneAndAtN)
{
    Started app(emptyDataFolder);
    app.acceptN("3");
    for (int k = 0; k < 3; ++k) {
        const Control field = k == 0 ? Control::txtIndex0 : k == 1 ? Control::txtIndex1 : Control::txtIndex2;
        app.clickTimes(app.up(k), 5);
        EXPECT_EQ(app.text(field), "3") << k;
        app.clickTimes(app.down(k), 1);
        EXPECT_EQ(app.text(field), "2") << k;
        app.clickTimes(app.down(k), 5);
        EXPECT_EQ(app.text(field), "1") << k;
    }
    EXPECT_TRUE(app.user.messages.empty());
}

TEST(WindowEntry, IndexesSurviveASmallerSystem)
{
    Started app(emptyDataFolder);
    app.acceptN("8");
    app.spinTo(0, 6);
    app.acceptN("3");
    EXPECT_EQ(app.text(Control::txtIndex0), "6");
    app.type(Control::txtA, "1");
    app.click(Control::cmdA);
    EXPECT_EQ(app.user.messages, std::vector<std::string>{kMsgFormat});  // row 6 does not exist
    app.click(app.up(0));
    EXPECT_EQ(app.text(Control::txtIndex0), "3");
    app.click(Control::cmdA);
    EXPECT_EQ(app.shown(3, 1), "1");
    EXPECT_EQ(app.user.messages.size(), 1u);
}

TEST(WindowEntry, SpinnersBeforeAnySystem)
{
    {
        Started app(emptyDataFolder);  // N = 0
        app.click(app.up(1));
        EXPECT_EQ(app.text(Control::txtIndex1), "0");
        app.click(app.down(1));
        EXPECT_EQ(app.text(Control::txtIndex1), "1");
    }
    {
        Started app;  // the samples were written: N = 256
        app.clickTimes(app.up(2), 300);
        EXPECT_EQ(app.text(Control::txtIndex2), "256");
    }
}

TEST(WindowEntry, DisabledButtonsIgnoreClicksUntilASystemExists)
{
    Started app(emptyDataFolder);
    app.type(Control::txtA, "1");
    app.click(Control::cmdA);
    app.click(Control::cmdB);
    app.click(Control::cmdSolution);
    app.click(Control::cmdIter);
    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.w().grid().rows(), 2);
    EXPECT_EQ(app.state().iter, 1);
}

// During a command the view does not follow each cell write; afterwards it follows them again.
TEST(WindowEntry, ViewFollowsTheGridAgainAfterEveryCommand)
{
    Started app(emptyDataFolder);
    app.acceptN("2");
    app.acceptA(1, 1, "4");
    app.click(app.up(2));
    QObject* followers[] = {app.w().gridView(), app.w().gridView()->horizontalHeader(),
                            app.w().gridView()->verticalHeader()};
    for (QObject* view : followers) {
        EXPECT_TRUE(QObject::disconnect(&app.w().grid(), SIGNAL(dataChanged(QModelIndex, QModelIndex, QList<int>)),
                                        view, SLOT(dataChanged(QModelIndex, QModelIndex, QList<int>))))
            << view->metaObject()->className();
        // Disconnecting once more finds nothing: there was exactly one connection.
        EXPECT_FALSE(QObject::disconnect(&app.w().grid(), SIGNAL(dataChanged(QModelIndex, QModelIndex, QList<int>)),
                                         view, SLOT(dataChanged(QModelIndex, QModelIndex, QList<int>))));
    }
}

namespace {
// Pixels dark enough to be text.
int darkPixels(QWidget* w)
{
    const QImage image = w->grab().toImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 110;
    return dark;
}
} // namespace

TEST(WindowEntry, CornerCellShowsTheLayoutsHeading)
{
    Started app(emptyDataFolder);
    auto* corner = app.w().gridView()->findChild<QAbstractButton*>(QStringLiteral("msfgDataCorner"));
    ASSERT_NE(corner, nullptr);
    ASSERT_TRUE(corner->isVisible());
    const int empty = darkPixels(corner);
    app.acceptN("2");
    EXPECT_EQ(app.shown(0, 0), "System");
    const int system = darkPixels(corner);
    EXPECT_GT(system, empty + 10) << "the corner shows System";
    // The fixed column is wide enough for the heading.
    const QFontMetrics fm(app.w().gridView()->font());
    EXPECT_GE(corner->width(), fm.horizontalAdvance(QStringLiteral("Solution")));
}
