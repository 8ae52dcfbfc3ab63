// The help window and the three Help commands, on the real widgets (offscreen).
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>
#include <cmath>
#include <gtest/gtest.h>

#include "common/temp_dir.h"
#include "help/frmHelp.h"
#include "help/help_commands.h"

using quenta::frmHelp;
using quenta::testing::TempProgramDir;

namespace {

void discardHelpWindow()
{
    if (frmHelp* w = quenta::currentHelpWindow())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

int helpWindowCount()
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (dynamic_cast<frmHelp*>(w) != nullptr)
            ++count;
    return count;
}

bool anyMessageBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) != nullptr)
            return true;
    return false;
}

QString shownFile(const frmHelp* w)
{
    return QFileInfo(w->WebBrowser1->source().toLocalFile()).fileName();
}

QString shownText(const frmHelp* w)
{
    return w->WebBrowser1->document()->toPlainText();
}

// Clicks the first link whose target is href, where the browser draws it.
void clickLink(frmHelp* w, const QString& href)
{
    QTextDocument* doc = w->WebBrowser1->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.charFormat().isAnchor() && f.charFormat().anchorHref() == href) {
                QTextCursor c(doc);
                c.setPosition(f.position() + f.length() / 2);
                w->WebBrowser1->setTextCursor(c);
                w->WebBrowser1->ensureCursorVisible();
                const QPoint at = w->WebBrowser1->cursorRect(c).center();
                QTest::mouseClick(w->WebBrowser1->viewport(), Qt::LeftButton, {}, at);
                return;
            }
        }
    }
    ADD_FAILURE() << "no link to " << href.toStdString();
}

class HelpCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        discardHelpWindow();
        dir.write("about.htm",
                  "<html><head><title>About</title></head><body><p>ABOUT PAGE</p>"
                  "<p><a href=\"user_guide.htm\">guide</a></p></body></html>");
        dir.write("user_guide.htm",
                  "<html><head><title>Guide</title></head><body><p>GUIDE PAGE</p>"
                  "<p><a href=\"about.htm\">about</a></p></body></html>");
        dir.write("ap_agreement.htm",
                  "<html><head><title>Terms</title></head><body><p>TERMS PAGE</p></body></html>");
    }
    void TearDown() override { discardHelpWindow(); }

    TempProgramDir dir;
};

TEST_F(HelpCommands, HistoryWalksPagesWhileTheCaptionStays)
{
    quenta::About_Click(dir.path());
    frmHelp* w = quenta::currentHelpWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "About");
    EXPECT_EQ(shownFile(w), "about.htm");
    EXPECT_TRUE(shownText(w).contains("ABOUT PAGE"));

    quenta::UserGuide_Click(dir.path());
    EXPECT_EQ(quenta::currentHelpWindow(), w);
    EXPECT_EQ(w->windowTitle(), "User Guide");
    EXPECT_TRUE(shownText(w).contains("GUIDE PAGE"));

    QTest::mouseClick(w->cmdBack, Qt::LeftButton);
    EXPECT_EQ(shownFile(w), "about.htm");
    EXPECT_TRUE(shownText(w).contains("ABOUT PAGE"));
    EXPECT_EQ(w->windowTitle(), "User Guide");

    // Back at the first page: nothing moves.
    QTest::mouseClick(w->cmdBack, Qt::LeftButton);
    EXPECT_EQ(shownFile(w), "about.htm");

    QTest::mouseClick(w->cmdForward, Qt::LeftButton);
    EXPECT_EQ(shownFile(w), "user_guide.htm");
    EXPECT_TRUE(shownText(w).contains("GUIDE PAGE"));
    EXPECT_EQ(w->windowTitle(), "User Guide");

    // Forward at the last page: nothing moves.
    QTest::mouseClick(w->cmdForward, Qt::LeftButton);
    EXPECT_EQ(shownFile(w), "user_guide.htm");

    // A third command after going back drops the pages ahead, as a browser does.
    QTest::mouseClick(w->cmdBack, Qt::LeftButton);
    quenta::GetPaid_Click(dir.path());
    EXPECT_EQ(w->windowTitle(), "Get Paid");
    EXPECT_EQ(shownFile(w), "ap_agreement.htm");
    QTest::mouseClick(w->cmdForward, Qt::LeftButton);
    EXPECT_EQ(shownFile(w), "ap_agreement.htm");
    QTest::mouseClick(w->cmdBack, Qt::LeftButton);
    EXPECT_EQ(shownFile(w), "about.htm");
    EXPECT_EQ(w->windowTitle(), "Get Paid");
}

TEST_F(HelpCommands, BackAndForwardDoNothingRightAfterOpening)
{
    quenta::GetPaid_Click(dir.path());
    frmHelp* w = quenta::currentHelpWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Get Paid");
    w->cmdBack_Click();
    EXPECT_EQ(shownFile(w), "ap_agreement.htm");
    w->cmdForward_Click();
    EXPECT_EQ(shownFile(w), "ap_agreement.htm");
    EXPECT_TRUE(shownText(w).contains("TERMS PAGE"));
    EXPECT_EQ(w->windowTitle(), "Get Paid");
}

TEST_F(HelpCommands, LinksJoinTheSameHistory)
{
    quenta::About_Click(dir.path());
    frmHelp* w = quenta::currentHelpWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));

    clickLink(w, "user_guide.htm");
    EXPECT_EQ(shownFile(w), "user_guide.htm");
    EXPECT_TRUE(shownText(w).contains("GUIDE PAGE"));
    EXPECT_EQ(w->windowTitle(), "About");

    w->cmdBack_Click();
    EXPECT_EQ(shownFile(w), "about.htm");
    w->cmdForward_Click();
    EXPECT_EQ(shownFile(w), "user_guide.htm");
}

TEST_F(HelpCommands, ACommandWhileOpenReusesTheWindowAndBringsItToTheFront)
{
    quenta::About_Click(dir.path());
    QPointer<frmHelp> first = quenta::currentHelpWindow();
    ASSERT_FALSE(first.isNull());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first.data()));

    // Another window in front of it, then the help window minimised.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    first->showMinimized();

    quenta::UserGuide_Click(dir.path());
    EXPECT_EQ(quenta::currentHelpWindow(), first.data());
    EXPECT_EQ(helpWindowCount(), 1);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowActive(first.data()));
    EXPECT_EQ(first->windowTitle(), "User Guide");
    // Brought forward unchanged: the page it had is still one step back.
    first->cmdBack_Click();
    EXPECT_EQ(shownFile(first.data()), "about.htm");
}

TEST_F(HelpCommands, ClosingDiscardsTheWindowAndItsHistory)
{
    quenta::About_Click(dir.path());
    quenta::UserGuide_Click(dir.path());
    QPointer<frmHelp> first = quenta::currentHelpWindow();
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->testAttribute(Qt::WA_DeleteOnClose));

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()); // deleted, not merely hidden
    EXPECT_EQ(quenta::currentHelpWindow(), nullptr);
    EXPECT_EQ(helpWindowCount(), 0);

    quenta::GetPaid_Click(dir.path());
    frmHelp* second = quenta::currentHelpWindow();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(helpWindowCount(), 1);
    EXPECT_EQ(second->windowTitle(), "Get Paid");
    EXPECT_FALSE(second->WebBrowser1->isBackwardAvailable());
    QTest::mouseClick(second->cmdBack, Qt::LeftButton);
    EXPECT_EQ(shownFile(second), "ap_agreement.htm");
    EXPECT_TRUE(shownText(second).contains("TERMS PAGE"));
}

TEST_F(HelpCommands, AMissingPageOpensTheWindowQuietly)
{
    QFile::remove(dir.file("about.htm"));

    static int warnings = 0;
    warnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString&) {
            if (type != QtDebugMsg && type != QtInfoMsg)
                ++warnings;
        });
    quenta::About_Click(dir.path());
    qInstallMessageHandler(previous);

    frmHelp* w = quenta::currentHelpWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "About");
    EXPECT_FALSE(anyMessageBox());
    EXPECT_EQ(warnings, 0);
    EXPECT_EQ(shownFile(w), "about.htm");
    EXPECT_TRUE(shownText(w).contains("about.htm")) << shownText(w).toStdString();

    // The missing page is a page of the history like any other.
    quenta::UserGuide_Click(dir.path());
    EXPECT_TRUE(shownText(w).contains("GUIDE PAGE"));
    w->cmdBack_Click();
    EXPECT_EQ(shownFile(w), "about.htm");
    EXPECT_FALSE(shownText(w).contains("GUIDE PAGE"));
    EXPECT_EQ(w->windowTitle(), "User Guide");
}

TEST_F(HelpCommands, ProgramDirectoryWithTrailingSeparator)
{
    quenta::UserGuide_Click(dir.path() + "/");
    frmHelp* w = quenta::currentHelpWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(shownText(w).contains("GUIDE PAGE"));
}

// --- The window as created ---------------------------------------------------------------

QRect twipsRect(int left, int top, int width, int height, double scale)
{
    auto px = [scale](int twips) { return static_cast<int>(std::lround(twips * scale / 15.0)); };
    return QRect(px(left), px(top), px(width), px(height));
}

void expectLayout(const frmHelp& w)
{
    const double s = w.layoutScale();
    EXPECT_EQ(w.WebBrowser1->geometry(), twipsRect(240, 600, 8055, 6255, s));
    EXPECT_EQ(w.cmdBack->geometry(), twipsRect(1080, 6960, 1215, 495, s));
    EXPECT_EQ(w.cmdForward->geometry(), twipsRect(2640, 6960, 1215, 495, s));
    const QSize client = twipsRect(0, 0, 8550, 7560, s).size();
    EXPECT_EQ(w.size(), client);
    EXPECT_EQ(w.minimumSize(), client); // fixed: nothing is laid out again on resizing
    EXPECT_EQ(w.maximumSize(), client);

    // Every caption fits inside its button, with the style's margins around it.
    QStyle* style = w.style();
    const int padding = style->pixelMetric(QStyle::PM_ButtonMargin) + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    for (const QPushButton* b : {w.cmdBack, w.cmdForward}) {
        const QFontMetrics fm(b->font());
        EXPECT_LE(fm.horizontalAdvance(b->text()) + padding, b->width()) << b->text().toStdString();
        EXPECT_LE(fm.height() + padding, b->height()) << b->text().toStdString();
    }
}

TEST(HelpWindow, AsCreated)
{
    frmHelp w;
    EXPECT_EQ(w.windowTitle(), "Help");
    EXPECT_TRUE(w.isWindow());
    EXPECT_EQ(w.parentWidget(), nullptr);
    EXPECT_TRUE(w.testAttribute(Qt::WA_DeleteOnClose));
    w.setAttribute(Qt::WA_DeleteOnClose, false); // this one lives on the stack

    EXPECT_EQ(w.cmdBack->text(), "Back");
    EXPECT_EQ(w.cmdForward->text(), "Forward");
    EXPECT_EQ(w.WebBrowser1->parentWidget(), &w);
    EXPECT_DOUBLE_EQ(w.cmdBack->font().pointSizeF(), 8.0);
    EXPECT_DOUBLE_EQ(w.WebBrowser1->font().pointSizeF(), 8.0);
    if (QGuiApplication::platformName() == "offscreen") {
        EXPECT_DOUBLE_EQ(w.layoutScale(), 1.0); // 8 points at 96 dpi fit the table as it is
    }
    expectLayout(w);

    // Tab order: browser, Back, Forward, and round again.
    QList<QWidget*> order;
    QWidget* at = w.WebBrowser1;
    do {
        if ((at->focusPolicy() & Qt::TabFocus) && at->isEnabled())
            order << at;
        at = at->nextInFocusChain();
    } while (at != w.WebBrowser1 && order.size() < 10);
    EXPECT_EQ(order, (QList<QWidget*>{w.WebBrowser1, w.cmdBack, w.cmdForward}));
}

TEST(HelpWindow, ALargeFontScalesTheWholeLayoutUniformly)
{
    frmHelp w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    const QRect browserBefore = w.WebBrowser1->geometry();
    const QRect forwardBefore = w.cmdForward->geometry();

    QFont big = frmHelp::defaultFont();
    big.setPointSizeF(30.0);
    w.applyFont(big);
    const double s = w.layoutScale();
    EXPECT_GT(s, 2.0);
    EXPECT_DOUBLE_EQ(w.cmdForward->font().pointSizeF(), 30.0);
    expectLayout(w);

    // Uniform: every control grew by the same factor, so the arrangement is kept.
    const double base = frmHelp::scaleFor(frmHelp::defaultFont());
    const double k = s / base;
    EXPECT_NEAR(w.WebBrowser1->width(), browserBefore.width() * k, 2.0);
    EXPECT_NEAR(w.WebBrowser1->y(), browserBefore.y() * k, 2.0);
    EXPECT_NEAR(w.cmdForward->x(), forwardBefore.x() * k, 2.0);
    EXPECT_NEAR(w.cmdForward->height(), forwardBefore.height() * k, 2.0);
    EXPECT_LT(w.cmdBack->geometry().right(), w.cmdForward->x());
    EXPECT_GT(w.cmdBack->y(), w.WebBrowser1->geometry().bottom());

    // Back to the small font: back to the table as it is.
    w.applyFont(frmHelp::defaultFont());
    EXPECT_EQ(w.WebBrowser1->geometry(), browserBefore);
    EXPECT_EQ(w.cmdForward->geometry(), forwardBefore);
}

} // namespace
