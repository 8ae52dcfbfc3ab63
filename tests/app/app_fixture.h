#pragma once
// A started main window in a program directory of its own, with the user's answers scripted,
// and helpers that act on it the way a user does: typing into fields and clicking.
#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QSignalSpy>
#include <QTest>
#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "app/frmMain.h"
#include "common/fake_form.h"
#include "common/grid_dump.h"
#include "common/temp_dir.h"
#include "help/frmHelp.h"
#include "help/help_commands.h"

namespace quenta::testing {

using Texts = std::vector<std::string>;

struct Started {
    // prepare runs on the empty program directory before the window is created.
    explicit Started(const std::function<void(TempProgramDir&)>& prepare = {})
    {
        if (prepare)
            prepare(dir);
        window = std::make_unique<frmMain>(ProgramDir(dir.path()), &user);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    ~Started()
    {
        window.reset();
        if (frmHelp* help = currentHelpWindow())  // the next test starts without one
            help->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    frmMain& w() { return *window; }
    WorkingState& state() { return window->state(); }
    QLineEdit* edit(Control c) { return qobject_cast<QLineEdit*>(window->control(c)); }
    std::string text(Control c) { return c == Control::sbrStatus ? window->form().controls.text(c) : edit(c)->text().toStdString(); }

    void type(Control c, const QString& text) { edit(c)->clear(); QTest::keyClicks(edit(c), text); }
    // Each click waits for the solve it starts, as a user waits for the result.
    void click(QPushButton* b, int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            QTest::mouseClick(b, Qt::LeftButton);
            waitRun();
        }
    }
    void waitRun()
    {
        QSignalSpy ended(window.get(), &frmMain::runFinished);
        ASSERT_TRUE(!window->running() || ended.wait(60000));
    }
    void click(Control c, int times = 1) { click(qobject_cast<QPushButton*>(window->control(c)), times); }
    // Open and Connect wait for the loading they start, as the user does.
    void menu(const char* action)
    {
        QAction* a = window->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
        waitRun();
    }
    // The same, the dialog choosing data/`file`.
    void menu(const char* action, const QString& file) { user.files.push_back(dir.data(file)), menu(action); }
    // Esc as the next run starts, before its worker has done anything.
    void stopNextRun()
    {
        QObject::connect(window.get(), &frmMain::runStarting, window.get(),
                         [this] { QTest::keyClick(window.get(), Qt::Key_Escape); }, Qt::SingleShotConnection);
    }

    // What the grid shows at (row, col) of its own numbering: row 0 and column 0 are the view's
    // headers, the corner is drawn from cornerText.
    std::string shown(int row, int col)
    {
        const QAbstractItemModel* m = window->gridView()->model();
        if (row == 0 && col == 0)
            return window->grid().cornerText();
        const QVariant v = row == 0   ? m->headerData(col - 1, Qt::Horizontal)
                           : col == 0 ? m->headerData(row - 1, Qt::Vertical)
                                      : m->data(m->index(row - 1, col - 1));
        return v.toString().toStdString();
    }
    // The solution column, rows 1..N, of either layout.
    Texts solution()
    {
        const int n = state().N;
        Texts out;
        for (int i = 1; i <= n; ++i)
            out.push_back(shown(i, window->grid().cols() == 2 ? 1 : 2 * n + 3));
        return out;
    }

    // Moves spinner k to the index v with its buttons.
    void spinTo(int k, int v)
    {
        const int now = std::stoi(text(std::array{Control::txtIndex0, Control::txtIndex1, Control::txtIndex2}[k]));
        click(window->findChild<QPushButton*>(QString(v > now ? "cmdUp(%1)" : "cmdDown(%1)").arg(k)), std::abs(v - now));
    }
    void acceptN(const QString& n) { type(Control::txtN, n), click(Control::cmdN); }
    void acceptA(int i, int j, const QString& value) { spinTo(0, i), spinTo(1, j), type(Control::txtA, value), click(Control::cmdA); }
    void acceptB(int i, const QString& value) { spinTo(2, i), type(Control::txtB, value), click(Control::cmdB); }

    TempProgramDir dir;
    ScriptedDialogs user;
    std::unique_ptr<frmMain> window;
};

} // namespace quenta::testing
