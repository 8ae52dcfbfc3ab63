#pragma once
// A started main window in a program directory of its own, with the user's answers scripted,
// and small helpers that act on it the way a user does: typing into fields and clicking.
#include <QAbstractItemModel>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "app/frmMain.h"
#include "common/fake_form.h"
#include "common/temp_dir.h"
#include "help/help_commands.h"
#include "help/frmHelp.h"

namespace quenta::testing {

// Scripted dialogs that also tell the open dialog from the save dialog.
class RecordingDialogs : public ScriptedDialogs {
public:
    std::optional<QString> openFile(const QString& folder) override
    {
        ++opens;
        return ScriptedDialogs::openFile(folder);
    }
    std::optional<QString> saveFile(const QString& folder) override
    {
        ++saves;
        return ScriptedDialogs::saveFile(folder);
    }
    int opens = 0;
    int saves = 0;
};

// Closes the help window a test may have opened, so that the next test starts without one.
inline void closeHelpWindow()
{
    if (frmHelp* help = currentHelpWindow())
        help->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Started {
    // prepare runs on the empty program directory before the window is created.
    explicit Started(const std::function<void(TempProgramDir&)>& prepare = {})
    {
        if (prepare)
            prepare(dir);
        window = std::make_unique<frmMain>(dir.path(), &user);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    ~Started()
    {
        window.reset();
        closeHelpWindow();
    }

    frmMain& w() { return *window; }
    WorkingState& state() { return window->state(); }

    QLineEdit* edit(Control c) { return qobject_cast<QLineEdit*>(window->control(c)); }
    QPushButton* button(Control c) { return qobject_cast<QPushButton*>(window->control(c)); }
    QPushButton* up(int k) { return window->findChild<QPushButton*>(QStringLiteral("cmdUp(%1)").arg(k)); }
    QPushButton* down(int k) { return window->findChild<QPushButton*>(QStringLiteral("cmdDown(%1)").arg(k)); }

    // Replaces the text of a field by typing it.
    void type(Control c, const QString& text)
    {
        QLineEdit* e = edit(c);
        e->clear();
        QTest::keyClicks(e, text);
    }
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    void click(Control c) { click(button(c)); }
    void clickTimes(QPushButton* b, int times)
    {
        for (int i = 0; i < times; ++i)
            click(b);
    }
    std::string text(Control c) { return edit(c)->text().toStdString(); }

    // What the grid shows at (row, col) of the grid's own numbering: row 0 and column 0 are
    // the view's headers, the corner is drawn from cornerText.
    std::string shown(int row, int col)
    {
        const QAbstractItemModel* m = window->gridView()->model();
        if (row == 0 && col == 0)
            return window->grid().cornerText();
        QVariant v;
        if (row == 0)
            v = m->headerData(col - 1, Qt::Horizontal, Qt::DisplayRole);
        else if (col == 0)
            v = m->headerData(row - 1, Qt::Vertical, Qt::DisplayRole);
        else
            v = m->data(m->index(row - 1, col - 1), Qt::DisplayRole);
        return v.toString().toStdString();
    }

    // Moves spinner k to the index v (clamping aside) with its buttons, as a user does.
    void spinTo(int k, int v)
    {
        const int now = std::stoi(text(k == 0 ? Control::txtIndex0 : k == 1 ? Control::txtIndex1 : Control::txtIndex2));
        if (v > now)
            clickTimes(up(k), v - now);
        else
            clickTimes(down(k), now - v);
    }
    void acceptA(int i, int j, const QString& value)
    {
        spinTo(0, i);
        spinTo(1, j);
        type(Control::txtA, value);
        click(Control::cmdA);
    }
    void acceptB(int i, const QString& value)
    {
        spinTo(2, i);
        type(Control::txtB, value);
        click(Control::cmdB);
    }
    void acceptN(const QString& n)
    {
        type(Control::txtN, n);
        click(Control::cmdN);
    }

    TempProgramDir dir;
    RecordingDialogs user;
    std::unique_ptr<frmMain> window;
};

// A program directory whose data folder exists and is empty: no samples are written and N
// starts at 0.
inline void emptyDataFolder(TempProgramDir& dir) { QDir().mkpath(dir.file(QStringLiteral("data"))); }

inline const std::string kMsgFormat = " Sorry, not correct format of the entered number.";
inline const std::string kMsgIncomplete = " Sorry, incorrect data or not all  data are available.";
inline const std::string kMsgBadFile = " Sorry, not correct data in the file.";
inline const std::string kMsgNoMemory =
    " Sorry, not enough memory. Please try the option-'Connect to' from the File Menu";
inline const std::string kMsgNoFile = " Sorry, there is no the file.";
inline const std::string kMsgReplace = "Such file exists. Do you want to replace the old file?";

} // namespace quenta::testing
