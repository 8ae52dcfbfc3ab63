// Renders the started window into the PNG named by QUENTA_SCREENSHOT (tools/screenshot.sh);
// skipped in ordinary test runs.
#include <QPixmap>

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
