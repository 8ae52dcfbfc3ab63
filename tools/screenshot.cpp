// The screenshot renderer of tools/screenshot.sh, not a test: it drives the real window offscreen
// the way the end-to-end tests do, and writes the started window to the PNG named by
// QUENTA_SCREENSHOT.
#include <QPainter>
#include <QPixmap>
#include <QSignalSpy>
#include <algorithm>

#include "app/frmChart.h"

#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

TEST(Screenshot, StartedWindow)
{
    const QString target = qEnvironmentVariable("QUENTA_SCREENSHOT");
    if (target.isEmpty())
        GTEST_SKIP() << "set QUENTA_SCREENSHOT to the PNG to write";
    Started app;
    const QPixmap shot = app.w().grab();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), app.w().size());
    ASSERT_TRUE(shot.save(target, "PNG"));
}

// Renders a run of sample4 with the chart beside the main window into the PNG named by
// QUENTA_SCREENSHOT_RUN.
TEST(Screenshot, RunWithChart)
{
    const QString target = qEnvironmentVariable("QUENTA_SCREENSHOT_RUN");
    if (target.isEmpty())
        GTEST_SKIP() << "set QUENTA_SCREENSHOT_RUN to the PNG to write";
    Started app;
    app.w().resize(app.w().size() + QSize(160, 120));
    app.user.files.push_back(app.dir.file("data/sample4.txt"));
    app.menu("Open");
    app.type(Control::txtEps, "1E-06");
    app.menu("Chart");
    auto* chart = app.w().findChild<frmChart*>();
    ASSERT_NE(chart, nullptr);
    QSignalSpy shown(app.edit(Control::txtEr), &QLineEdit::textChanged);
    QTest::mouseClick(qobject_cast<QPushButton*>(app.w().control(Control::cmdSolution)), Qt::LeftButton);
    for (int k = 0; k < 12 && app.w().running(); ++k)
        shown.wait(10000);
    QCoreApplication::processEvents();
    const QPixmap main = app.w().grab(), plot = chart->grab();
    QPixmap both(main.width() + plot.width() + 8, std::max(main.height(), plot.height()));
    both.fill(Qt::white);
    QPainter painter(&both);
    painter.drawPixmap(0, 0, main);
    painter.drawPixmap(main.width() + 8, 0, plot);
    painter.end();
    app.w().stopRun();
    ASSERT_TRUE(both.save(target, "PNG"));
}
