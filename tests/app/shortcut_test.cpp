// The menu shortcuts reach their commands whatever control has the focus, text fields
// included; Exit ends everything, closing the main window alone leaves the help window.
#include <QClipboard>
#include <QEventLoop>
#include <QTimer>

#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

namespace {

// Gives the focus to a control of the active window, then presses key with modifier there.
void press(Started& app, QWidget* focus, Qt::Key key, Qt::KeyboardModifiers modifier = Qt::ControlModifier)
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
    for (QWidget* focus : {app.w().control(Control::txtN), app.w().control(Control::txtEr),
                           static_cast<QWidget*>(app.w().gridView()), app.w().control(Control::cmdN)}) {
        SCOPED_TRACE(focus->objectName().toStdString());
        auto* edit = qobject_cast<QLineEdit*>(focus);
        if (edit) {
            edit->setText(QStringLiteral("12"));
            edit->selectAll();
        }
        // Each file dialog is cancelled; Open and Connect ask for a file to open, Save for one to save.
        for (const auto& [key, opened, saved] : {std::tuple{Qt::Key_O, 1, 0}, {Qt::Key_R, 0, 1}, {Qt::Key_C, 1, 0}}) {
            const int opens = app.user.opens, saves = app.user.saves;
            app.user.files.push_back(std::nullopt);
            press(app, focus, key);
            EXPECT_EQ(std::pair(app.user.opens - opens, app.user.saves - saves), std::pair(opened, saved)) << key;
        }
        for (const auto& [key, caption] : {std::pair{Qt::Key_A, "About"}, {Qt::Key_U, "User Guide"}, {Qt::Key_G, "Get Paid"}}) {
            press(app, focus, key);
            ASSERT_NE(currentHelpWindow(), nullptr) << caption;
            EXPECT_EQ(currentHelpWindow()->windowTitle(), QString::fromLatin1(caption));
        }
        // Paste System, of a clipboard that holds no system.
        const std::size_t said = app.user.messages.size();
        press(app, focus, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
        app.waitRun();
        EXPECT_EQ(app.user.messages.size(), said + 1);
        // The field's own meaning of the keys was not applied: nothing was copied or changed.
        if (edit) {
            EXPECT_EQ(edit->text(), QStringLiteral("12"));
            EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clipboard before"));
        }
    }
    app.type(Control::txtN, "Ca7");  // ordinary typing still reaches the text fields
    EXPECT_EQ(app.text(Control::txtN), "Ca7");
}

// Closing the main window leaves the help window open; Exit closes both without a question, and
// outside a running event loop leaves a modal loop started afterwards running.
TEST(Shortcuts, ClosingTheMainWindowAndExit)
{
    {
        Started app(emptyDataFolder);
        press(app, app.w().control(Control::txtN), Qt::Key_U);
        ASSERT_NE(currentHelpWindow(), nullptr);
        app.w().close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_NE(currentHelpWindow(), nullptr);
        EXPECT_TRUE(currentHelpWindow()->isVisible());
    }
    Started app(emptyDataFolder);
    QWidget* focus = app.w().control(Control::txtEps);
    press(app, focus, Qt::Key_A);
    ASSERT_NE(currentHelpWindow(), nullptr);
    press(app, focus, Qt::Key_E);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(app.w().isVisible());
    EXPECT_TRUE(currentHelpWindow() == nullptr || !currentHelpWindow()->isVisible());
    EXPECT_TRUE(app.user.messages.empty());
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&loop] { loop.exit(7); });
    EXPECT_EQ(loop.exec(), 7);
}
