// The help window and the three Help commands, on the real widgets (offscreen).
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

#include "common/captions.h"
#include "common/temp_dir.h"
#include "help/frmHelp.h"
#include "help/help_commands.h"
#include "help/twips_layout.h"

using namespace quenta;

namespace {

int topLevels(auto isWanted)
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += isWanted(w) ? 1 : 0;
    return n;
}
QString shown(const frmHelp* w) { return QFileInfo(w->WebBrowser1->source().toLocalFile()).fileName(); }
bool showsPage(const frmHelp* w, const char* page) { return w->WebBrowser1->toPlainText().contains(QString("PAGE ") + page); }

TEST(HelpCommands, OneWindowReusedItsHistoryAndANewOneAfterClosing)
{
    quenta::testing::TempProgramDir dir;
    for (const char* page : {"user_guide", "ap_agreement"})
        dir.write(QString(page) + ".htm", std::string("<html><body><p>PAGE ") + page + "</p></body></html>");
    static int warnings;  // a missing page opens the window quietly, as a page of the history
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString&) { warnings += type != QtDebugMsg && type != QtInfoMsg; });
    About_Click(dir.path());
    qInstallMessageHandler(previous);
    QPointer<frmHelp> w = currentHelpWindow();
    ASSERT_FALSE(w.isNull());
    EXPECT_EQ(warnings, 0);
    EXPECT_EQ(topLevels([](QWidget* m) { return qobject_cast<QMessageBox*>(m) != nullptr; }), 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    w->showMinimized();
    UserGuide_Click(dir.path() + "/");  // a program directory with a trailing separator
    EXPECT_EQ(currentHelpWindow(), w);
    EXPECT_EQ(topLevels([](QWidget* m) { return dynamic_cast<frmHelp*>(m) != nullptr; }), 1);
    EXPECT_FALSE(w->isMinimized());
    EXPECT_TRUE(showsPage(w, "user_guide"));
    // Back twice (the second at the first page does nothing), Forward twice likewise; the caption stays.
    for (auto [button, page] : {std::pair{w->cmdBack, "about"}, {w->cmdBack, "about"}, {w->cmdForward, "user_guide"},
                                {w->cmdForward, "user_guide"}}) {
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(shown(w), QString(page) + ".htm");
        EXPECT_EQ(showsPage(w, page), page[0] == 'u');
        EXPECT_EQ(w->windowTitle(), "User Guide");
    }
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());  // deleted, not merely hidden
    GetPaid_Click(dir.path());  // a new window with an empty history
    frmHelp* paid = currentHelpWindow();
    ASSERT_NE(paid, nullptr);
    QTest::mouseClick(paid->cmdBack, Qt::LeftButton);
    EXPECT_TRUE(showsPage(paid, "ap_agreement"));
    paid->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A large font grows the whole fixed-size window so that the captions fit; the default one
// comes back to the same places.
TEST(HelpWindow, CaptionsFitAtEveryFontSize)
{
    frmHelp w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);  // this one lives on the stack
    const QRect before = w.cmdForward->geometry();
    QFont font = TwipsLayout::windowFont();
    for (double points : {8.0, 30.0}) {
        font.setPointSizeF(points);
        w.applyFont(font);
        quenta::testing::expectCaptionsFit(w);
        EXPECT_LE(w.cmdForward->geometry().bottom(), w.height()) << points;
    }
    w.applyFont(TwipsLayout::windowFont());
    EXPECT_EQ(w.cmdForward->geometry(), before);
}

} // namespace
