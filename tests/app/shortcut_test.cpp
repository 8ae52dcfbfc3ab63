// The seven menu shortcuts reach their commands whatever control has the focus, text fields
// included; Exit ends everything, closing the main window alone leaves the help window.
#include <QClipboard>
#include <QEventLoop>
#include <QMenu>
#include <QTimer>

#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

namespace {

// Gives the focus to a control of the active window, then presses key with modifier there.
void press(Started& app, QWidget* focus, Qt::Key key, Qt::KeyboardModifier modifier = Qt::ControlModifier)
{
    QApplication::setActiveWindow(&app.w());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app.w()));
    focus->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), focus);
    QTest::keyClick(focus, key, modifier);
}

} // namespace

TEST(Shortcuts, EveryCommandFromEveryControl)
{
    Started app(emptyDataFolder);
    QApplication::clipboard()->setText(QStringLiteral("clipboard before"));
    frmHelp* help = nullptr;
    for (QWidget* focus : {app.w().control(Control::txtN), app.w().control(Control::txtEps), app.w().control(Control::txtEr),
                           static_cast<QWidget*>(app.w().gridView()), app.w().control(Control::cmdN)}) {
        SCOPED_TRACE(focus->objectName().toStdString());
        auto* edit = qobject_cast<QLineEdit*>(focus);
        if (edit) {
            edit->setText(QStringLiteral("12"));
            edit->selectAll();
        }
        // File: each dialog is cancelled; Open and Connect ask for a file to open, Save for one to save.
        const int opens = app.user.opens, saves = app.user.saves;
        const std::tuple<Qt::Key, int, int> files[] = {{Qt::Key_O, 1, 0}, {Qt::Key_R, 1, 1}, {Qt::Key_C, 2, 1}};
        for (const auto& [key, opened, saved] : files) {
            app.user.files.push_back(std::nullopt);
            press(app, focus, key);
            EXPECT_EQ(app.user.opens, opens + opened) << QKeySequence(key).toString().toStdString();
            EXPECT_EQ(app.user.saves, saves + saved) << QKeySequence(key).toString().toStdString();
        }
        EXPECT_TRUE(app.user.files.empty());
        for (const QString& folder : app.user.dialogFolders)
            EXPECT_EQ(QDir(folder).canonicalPath(), QDir(app.dir.file("data")).canonicalPath());

        // Help: one help window, reused, titled after the page.
        for (const auto& [key, caption] : {std::pair{Qt::Key_A, "About"}, std::pair{Qt::Key_U, "User Guide"},
                                    std::pair{Qt::Key_G, "Get Paid"}}) {
            press(app, focus, key);
            ASSERT_NE(currentHelpWindow(), nullptr) << caption;
            EXPECT_TRUE(currentHelpWindow()->isVisible());
            EXPECT_EQ(currentHelpWindow()->windowTitle(), QString::fromLatin1(caption));
            EXPECT_EQ(currentHelpWindow(), help ? help : (help = currentHelpWindow()));
        }
        // The field's own meaning of the keys was not applied: nothing was copied or changed.
        if (edit) {
            EXPECT_EQ(edit->text(), QStringLiteral("12"));
            EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clipboard before"));
        }
    }
    EXPECT_TRUE(app.user.messages.empty());
    // Ordinary typing still reaches the text fields.
    app.type(Control::txtN, "Ca7");
    EXPECT_EQ(app.text(Control::txtN), "Ca7");
}

TEST(Shortcuts, ExitClosesEveryWindowWithoutAQuestion)
{
    {
        Started app(emptyDataFolder);
        QWidget* focus = app.w().control(Control::txtEps);
        press(app, focus, Qt::Key_A);
        ASSERT_NE(currentHelpWindow(), nullptr);
        press(app, focus, Qt::Key_E);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(app.w().isVisible());
        EXPECT_TRUE(currentHelpWindow() == nullptr || !currentHelpWindow()->isVisible());
        EXPECT_TRUE(app.user.messages.empty());
    }
    // Exit outside a running event loop leaves a modal loop started afterwards running.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&loop] { loop.exit(7); });
    EXPECT_EQ(loop.exec(), 7);
}

TEST(Shortcuts, ClosingTheMainWindowLeavesTheHelpWindowOpen)
{
    Started app(emptyDataFolder);
    press(app, app.w().control(Control::txtN), Qt::Key_U);
    ASSERT_NE(currentHelpWindow(), nullptr);
    app.w().close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(app.w().isVisible());
    ASSERT_NE(currentHelpWindow(), nullptr);
    EXPECT_TRUE(currentHelpWindow()->isVisible());
}

TEST(Shortcuts, AccessKeysOpenTheMenus)
{
    Started app(emptyDataFolder);
    for (const auto& [key, name] : {std::pair{Qt::Key_F, "File"}, std::pair{Qt::Key_H, "Help"}}) {
        QMenu* menu = app.w().findChild<QMenu*>(QString::fromLatin1(name));
        ASSERT_NE(menu, nullptr) << name;
        press(app, app.edit(Control::txtN), key, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000)) << name;
        menu->hide();
    }
    EXPECT_EQ(app.text(Control::txtN), "");
}
