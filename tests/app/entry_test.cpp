// What only the window shows of Accept N and the Accept commands (their rules are checked on a
// form without a window): the corner heading and a view that nobody edits.
#include <QAbstractButton>

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
    EXPECT_EQ(view->model()->columnCount(), 9);  // 3 rows, 9 columns after the fixed one
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
