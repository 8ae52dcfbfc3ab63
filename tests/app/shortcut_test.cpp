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

// Gives the focus to a control of the active window, then presses Ctrl+key there.
void pressCtrl(Started& app, QWidget* focus, Qt::Key key)
{
    QApplication::setActiveWindow(&app.w());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app.w()));
    focus->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), focus);
    QTest::keyClick(focus, key, Qt::ControlModifier);
}

std::vector<QWidget*> focusTargets(Started& app)
{
    return {app.w().control(Control::txtN), app.w().control(Control::txtEps), app.w().control(Control::txtEr),
            app.w().gridView(), app.w().control(Control::cmdN)};
}

} // namespace

TEST(Shortcuts, FileCommandsFromEveryControl)
{
    Started app(emptyDataFolder);
    QApplication::clipboard()->setText(QStringLiteral("clipboard before"));
    ASSERT_EQ(QApplication::clipboard()->text(), QStringLiteral("clipboard before"));
    for (QWidget* focus : focusTargets(app)) {
        SCOPED_TRACE(focus->objectName().toStdString());
        auto* edit = qobject_cast<QLineEdit*>(focus);
        if (edit) {
            edit->setText(QStringLiteral("12"));
            edit->selectAll();
        }
        const int opens = app.user.opens;
        const int saves = app.user.saves;

        app.user.files.push_back(std::nullopt);  // the dialog is cancelled
        pressCtrl(app, focus, Qt::Key_O);
        EXPECT_EQ(app.user.opens, opens + 1) << "Ctrl+O: Open";
        EXPECT_EQ(app.user.saves, saves);

        app.user.files.push_back(std::nullopt);
        pressCtrl(app, focus, Qt::Key_R);
        EXPECT_EQ(app.user.saves, saves + 1) << "Ctrl+R: Save";
        EXPECT_EQ(app.user.opens, opens + 1);

        app.user.files.push_back(std::nullopt);
        pressCtrl(app, focus, Qt::Key_C);
        EXPECT_EQ(app.user.opens, opens + 2) << "Ctrl+C: Connect";
        EXPECT_EQ(app.user.saves, saves + 1);

        EXPECT_TRUE(app.user.files.empty());
        // Each dialog started in the data folder.
        for (const QString& folder : app.user.dialogFolders)
            EXPECT_EQ(QDir(folder).canonicalPath(), QDir(app.dir.file("data")).canonicalPath());
        // The field's own meaning of the keys was not applied: nothing was copied.
        if (edit) {
            EXPECT_EQ(edit->text(), QStringLiteral("12"));
            EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clipboard before"));
        }
    }
    // Ordinary typing still reaches the text fields.
    QLineEdit* n = app.edit(Control::txtN);
    n->clear();
    QTest::keyClicks(n, "Ca7");
    EXPECT_EQ(n->text(), QStringLiteral("Ca7"));
}

TEST(Shortcuts, HelpCommandsFromATextField)
{
    Started app(emptyDataFolder);
    QWidget* focus = app.w().control(Control::txtA);
    const std::pair<Qt::Key, const char*> keys[] = {
        {Qt::Key_A, "About"}, {Qt::Key_U, "User Guide"}, {Qt::Key_G, "Get Paid"}};
    frmHelp* first = nullptr;
    for (const auto& [key, caption] : keys) {
        pressCtrl(app, focus, key);
        frmHelp* help = currentHelpWindow();
        ASSERT_NE(help, nullptr) << caption;
        EXPECT_TRUE(help->isVisible());
        EXPECT_EQ(help->windowTitle(), QString::fromLatin1(caption));
        if (!first)
            first = help;
        EXPECT_EQ(help, first) << "one help window, reused";
    }
    EXPECT_TRUE(app.user.messages.empty());
    EXPECT_EQ(app.user.opens + app.user.saves, 0);
}

TEST(Shortcuts, ExitClosesEveryWindowWithoutAQuestion)
{
    Started app(emptyDataFolder);
    QWidget* focus = app.w().control(Control::txtEps);
    pressCtrl(app, focus, Qt::Key_A);
    ASSERT_NE(currentHelpWindow(), nullptr);

    pressCtrl(app, focus, Qt::Key_E);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(app.w().isVisible());
    EXPECT_TRUE(currentHelpWindow() == nullptr || !currentHelpWindow()->isVisible());
    EXPECT_TRUE(app.user.messages.empty());
}

TEST(Shortcuts, ClosingTheMainWindowLeavesTheHelpWindowOpen)
{
    Started app(emptyDataFolder);
    pressCtrl(app, app.w().control(Control::txtN), Qt::Key_U);
    ASSERT_NE(currentHelpWindow(), nullptr);
    app.w().close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(app.w().isVisible());
    ASSERT_NE(currentHelpWindow(), nullptr);
    EXPECT_TRUE(currentHelpWindow()->isVisible());
}

TEST(Shortcuts, MenuEntriesRunTheSameCommands)
{
    Started app(emptyDataFolder);
    auto action = [&](const char* name) { return app.w().findChild<QAction*>(QString::fromLatin1(name)); };
    app.user.files.push_back(std::nullopt);
    action("Save")->trigger();
    EXPECT_EQ(app.user.saves, 1);
    action("GetPaid")->trigger();
    ASSERT_NE(currentHelpWindow(), nullptr);
    EXPECT_EQ(currentHelpWindow()->windowTitle(), QStringLiteral("Get Paid"));
    action("Exit")->trigger();
    EXPECT_FALSE(app.w().isVisible());
}

TEST(Shortcuts, ExitOutsideARunningEventLoopLeavesLaterLoopsAlone)
{
    {
        Started app(emptyDataFolder);
        app.w().findChild<QAction*>(QStringLiteral("Exit"))->trigger();
        EXPECT_FALSE(app.w().isVisible());
    }
    // A modal loop started afterwards (a message box, a file dialog) still runs.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&loop] { loop.exit(7); });
    EXPECT_EQ(loop.exec(), 7);
}

TEST(Shortcuts, AccessKeysOpenTheMenus)
{
    Started app(emptyDataFolder);
    for (const auto& [key, name] : {std::pair{Qt::Key_F, "File"}, std::pair{Qt::Key_H, "Help"}}) {
        SCOPED_TRACE(name);
        QMenu* menu = app.w().findChild<QMenu*>(QString::fromLatin1(name));
        ASSERT_NE(menu, nullptr);
        QApplication::setActiveWindow(&app.w());
        ASSERT_TRUE(QTest::qWaitForWindowActive(&app.w()));
        app.edit(Control::txtN)->setFocus();
        QTest::keyClick(app.edit(Control::txtN), key, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
        menu->hide();
    }
    EXPECT_EQ(app.text(Control::txtN), "");
}
