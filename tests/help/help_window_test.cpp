// The help window and the three Help commands, on the real widgets (offscreen).
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

#include "common/temp_dir.h"
#include "help/frmHelp.h"
#include "help/help_commands.h"

using namespace quenta;

namespace {

int topLevelCount(auto isWanted)
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += isWanted(w) ? 1 : 0;
    return n;
}
int helpWindows() { return topLevelCount([](QWidget* w) { return dynamic_cast<frmHelp*>(w) != nullptr; }); }
QString shown(const frmHelp* w) { return QFileInfo(w->WebBrowser1->source().toLocalFile()).fileName(); }
QString text(const frmHelp* w) { return w->WebBrowser1->toPlainText(); }

class HelpCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* page : {"about", "user_guide", "ap_agreement"})
            dir.write(QString(page) + ".htm", std::string("<html><body><p>PAGE ") + page + "</p></body></html>");
    }
    void TearDown() override
    {
        if (frmHelp* w = currentHelpWindow())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    quenta::testing::TempProgramDir dir;
};

TEST_F(HelpCommands, OneWindowReusedWhoseHistoryBackAndForwardWalkWhileTheCaptionStays)
{
    About_Click(dir.path());
    frmHelp* w = currentHelpWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "About");
    EXPECT_TRUE(text(w).contains("PAGE about"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QWidget other;  // another window in front, the help window minimised
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    w->showMinimized();
    UserGuide_Click(dir.path() + "/");  // a program directory with a trailing separator
    EXPECT_EQ(currentHelpWindow(), w);
    EXPECT_EQ(helpWindows(), 1);
    EXPECT_FALSE(w->isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));  // brought to the front
    EXPECT_EQ(w->windowTitle(), "User Guide");
    EXPECT_TRUE(text(w).contains("PAGE user_guide"));
    // Back twice (the second at the first page does nothing), Forward twice likewise.
    for (auto [button, page] : {std::pair{w->cmdBack, "about"}, {w->cmdBack, "about"}, {w->cmdForward, "user_guide"},
                                {w->cmdForward, "user_guide"}}) {
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(shown(w), QString(page) + ".htm");
        EXPECT_TRUE(text(w).contains(QString("PAGE ") + page));
        EXPECT_EQ(w->windowTitle(), "User Guide");
    }
}

TEST_F(HelpCommands, ClosingDiscardsTheWindowAndGetPaidOpensANewOneWithEmptyHistory)
{
    About_Click(dir.path());
    UserGuide_Click(dir.path());
    QPointer<frmHelp> first = currentHelpWindow();
    ASSERT_FALSE(first.isNull());
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());  // deleted, not merely hidden
    EXPECT_EQ(currentHelpWindow(), nullptr);

    GetPaid_Click(dir.path());
    frmHelp* w = currentHelpWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(helpWindows(), 1);
    EXPECT_EQ(w->windowTitle(), "Get Paid");
    EXPECT_FALSE(w->WebBrowser1->isBackwardAvailable());
    for (QPushButton* b : {w->cmdBack, w->cmdForward}) {
        QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_EQ(shown(w), "ap_agreement.htm");
        EXPECT_TRUE(text(w).contains("PAGE ap_agreement"));
    }
}

TEST_F(HelpCommands, AMissingPageOpensTheWindowQuietlyAsAPageOfTheHistory)
{
    QFile::remove(dir.file("about.htm"));
    static int warnings;
    warnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString&) { warnings += type != QtDebugMsg && type != QtInfoMsg; });
    About_Click(dir.path());
    qInstallMessageHandler(previous);
    frmHelp* w = currentHelpWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(warnings, 0);
    EXPECT_EQ(topLevelCount([](QWidget* m) { return qobject_cast<QMessageBox*>(m) != nullptr; }), 0);
    EXPECT_TRUE(text(w).contains("about.htm")) << text(w).toStdString();
    UserGuide_Click(dir.path());
    w->cmdBack_Click();
    EXPECT_EQ(shown(w), "about.htm");
    EXPECT_FALSE(text(w).contains("PAGE"));
}

// The twips table at the window's scale; every caption fits inside its button with the style's margins.
void expectLayout(const frmHelp& w)
{
    const double s = w.layoutScale();
    const auto rect = [s](int left, int top, int width, int height) {
        const auto px = [s](int twips) { return static_cast<int>(std::lround(twips * s / 15.0)); };
        return QRect(px(left), px(top), px(width), px(height));
    };
    EXPECT_EQ(w.WebBrowser1->geometry(), rect(240, 600, 8055, 6255));
    EXPECT_EQ(w.cmdBack->geometry(), rect(1080, 6960, 1215, 495));
    EXPECT_EQ(w.cmdForward->geometry(), rect(2640, 6960, 1215, 495));
    EXPECT_EQ(w.minimumSize(), rect(0, 0, 8550, 7560).size());
    EXPECT_EQ(w.maximumSize(), w.minimumSize());
    EXPECT_EQ(w.size(), w.minimumSize());
    const int pad = w.style()->pixelMetric(QStyle::PM_ButtonMargin) + 2 * w.style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    for (const QPushButton* b : {w.cmdBack, w.cmdForward}) {
        EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + pad, b->width()) << b->text().toStdString();
        EXPECT_LE(b->fontMetrics().height() + pad, b->height()) << b->text().toStdString();
    }
}

TEST(HelpWindow, GeometryCaptionsAndTabOrderAtEveryFontSize)
{
    frmHelp w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);  // this one lives on the stack
    EXPECT_EQ(w.windowTitle(), "Help");
    EXPECT_EQ(w.parentWidget(), nullptr);
    EXPECT_EQ(w.cmdBack->text(), "Back");
    EXPECT_EQ(w.cmdForward->text(), "Forward");
    EXPECT_DOUBLE_EQ(w.cmdBack->font().pointSizeF(), 8.0);
    if (QGuiApplication::platformName() == "offscreen") {
        EXPECT_DOUBLE_EQ(w.layoutScale(), 1.0);  // 8 points at 96 dpi fit the table as it is
    }
    expectLayout(w);
    QList<QWidget*> tabStops;  // browser, Back, Forward, and round again
    QWidget* at = w.WebBrowser1;
    for (int k = 0; k < 50 && tabStops.size() < 4; ++k, at = at->nextInFocusChain())
        if (at->focusPolicy() & Qt::TabFocus)
            tabStops << at;
    EXPECT_EQ(tabStops, (QList<QWidget*>{w.WebBrowser1, w.cmdBack, w.cmdForward, w.WebBrowser1}));

    const QRect before = w.cmdForward->geometry();
    QFont big = frmHelp::defaultFont();
    big.setPointSizeF(30.0);
    w.applyFont(big);  // the whole layout grows uniformly so the captions fit
    EXPECT_GT(w.layoutScale(), 2.0);
    EXPECT_DOUBLE_EQ(w.cmdForward->font().pointSizeF(), 30.0);
    expectLayout(w);
    w.applyFont(frmHelp::defaultFont());
    EXPECT_EQ(w.cmdForward->geometry(), before);
}

} // namespace
