// What only the window shows of Accept N and the Accept commands (their rules are checked on a
// form without a window): the corner heading and a view that nobody edits; and the gestures
// that type a system in and move numbers in and out.
#include <QAbstractButton>
#include <QClipboard>
#include <QWheelEvent>

#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

TEST(WindowEntry, TheViewShowsTheLayoutAndTheCornerAndEditsNothing)
{
    Started app(emptyDataFolder);
    QTableView* view = app.w().gridView();
    auto* corner = view->findChild<QAbstractButton*>(QStringLiteral("msfgDataCorner"));
    ASSERT_NE(corner, nullptr);
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
    app.acceptA(2, 1, " -7 ");
    const std::tuple<int, int, const char*> cells[] = {
        {0, 0, "System"}, {0, 9, "Solution"}, {2, 1, " -7 "}, {2, 2, "*x(1)+"}, {2, 6, "*x(3)="}, {2, 7, "b(2)"}, {3, 9, "0"}};
    for (const auto& [r, c, t] : cells)
        EXPECT_EQ(app.shown(r, c), t) << r << "," << c;
    // The corner cell draws the heading, in a fixed column wide enough for it.
    EXPECT_GT(darkPixels(), empty + 10);
    EXPECT_GE(corner->width(), QFontMetrics(view->font()).horizontalAdvance(QStringLiteral("Solution")));

    const QModelIndex cell = view->model()->index(0, 0);
    view->setCurrentIndex(cell);
    view->edit(cell);
    EXPECT_EQ(view->indexWidget(cell), nullptr);
    EXPECT_FALSE(view->findChild<QLineEdit*>());

    EXPECT_TRUE(app.user.messages.empty());
}

// A 3x3 system typed in with clicks and Enter alone: a click chooses a cell and shows its value
// selected (a placeholder as nothing), Enter accepts and moves on row by row, then through B;
// a refused value stays; before Accept N Enter does nothing. The spinners answer the arrow keys
// and the wheel, Tab leaves the grid, and Ctrl+Insert / Shift+Insert copy and paste there.
TEST(WindowEntry, ClicksAndEnterTypeASystemIn)
{
    Started app(emptyDataFolder);
    QApplication::setActiveWindow(&app.w());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app.w()));
    QTableView* view = app.w().gridView();
    const auto clickCell = [view](int row, int col) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row - 1, col - 1)).center());
    };
    const auto enter = [&app](Control c, const char* typed) { app.type(c, typed), QTest::keyClick(app.edit(c), Qt::Key_Return); };
    const auto indexes = [&app] { return app.text(Control::txtIndex0) + app.text(Control::txtIndex1) + app.text(Control::txtIndex2); };
    enter(Control::txtA, "5");
    enter(Control::txtN, "3");  // Accept N
    ASSERT_EQ(app.state().N, 3);
    EXPECT_EQ(indexes(), "111");
    clickCell(2, 3);  // a(2,2), a placeholder
    EXPECT_EQ(std::pair(indexes(), app.text(Control::txtA)), std::pair(std::string("221"), std::string()));
    clickCell(1, 1);
    clickCell(1, 2);  // an operator: nothing
    EXPECT_EQ(indexes(), "111");
    struct Step { Control field; const char* typed; const char* indexes; Control next; };
    const Step steps[] = {
        {Control::txtA, "1", "121", Control::txtA}, {Control::txtA, "2", "131", Control::txtA}, {Control::txtA, "x", "131", Control::txtA},
        {Control::txtA, "3", "211", Control::txtA}, {Control::txtA, "4", "221", Control::txtA}, {Control::txtA, "5", "231", Control::txtA},
        {Control::txtA, "6", "311", Control::txtA}, {Control::txtA, "7", "321", Control::txtA}, {Control::txtA, "8", "331", Control::txtA},
        {Control::txtA, "9", "331", Control::txtB}, {Control::txtB, "10", "332", Control::txtB}, {Control::txtB, "11", "333", Control::txtB},
        {Control::txtB, "12", "333", Control::txtB},
    };
    for (const Step& s : steps) {
        enter(s.field, s.typed);
        EXPECT_EQ(indexes(), s.indexes) << s.typed;
        EXPECT_EQ(QApplication::focusWidget(), app.edit(s.next)) << s.typed;
        if (std::string_view(s.typed) != "x") {  // the refused text stays as typed, to be mended
            EXPECT_EQ(app.edit(s.next)->selectedText(), app.edit(s.next)->text()) << s.typed;
        }
    }
    EXPECT_EQ(app.user.messages, Texts{app.state().msgFormat});
    Texts values;
    for (int i = 1; i <= 3; ++i)
        for (int col : {1, 3, 5, 7})
            values.push_back(app.shown(i, col));
    EXPECT_EQ(values, (Texts{"1", "2", "3", "10", "4", "5", "6", "11", "7", "8", "9", "12"}));
    clickCell(3, 7);  // b(3)
    EXPECT_EQ(std::pair(indexes(), app.edit(Control::txtB)->selectedText()), std::pair(std::string("333"), QString("12")));

    auto* up = app.w().findChild<QPushButton*>("cmdUp(0)");
    up->setFocus();
    QTest::keyClick(up, Qt::Key_Down);
    QWheelEvent wheel({5, 5}, up->mapToGlobal(QPointF(5, 5)), {}, {0, -240}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(up, &wheel);  // two notches down, from 2 to 1 and no further
    QTest::keyClick(up, Qt::Key_Up);
    EXPECT_EQ(indexes(), "233");
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), view);

    view->setFocus();
    view->selectionModel()->select(QItemSelection(view->model()->index(0, 0), view->model()->index(1, 0)), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(view, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "1\n4\n");
    QApplication::clipboard()->setText("1;2");
    QTest::keyClick(view, Qt::Key_Insert, Qt::ShiftModifier);
    app.waitRun();
    EXPECT_EQ(std::pair(app.state().N, app.shown(1, 3)), std::pair(i16(1), std::string("2")));
    EXPECT_EQ(app.user.messages.size(), 1u);
}
