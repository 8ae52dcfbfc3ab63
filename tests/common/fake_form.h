#pragma once
// A Form without a window, for the tests, the benchmarks and the fuzz targets: control texts and
// enabled flags in a map, every message shown recorded in order, the user's answers scripted in
// queues. No caller ever blocks on a dialog.
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/form.h"

namespace quenta::testing {

class FakeControls : public Controls {
public:
    FakeControls();  // the start-up texts: index fields "1", txtEps "0.5", the rest empty
    std::string text(Control c) const override { return texts_.count(c) ? texts_.at(c) : std::string(); }
    void setText(Control c, const std::string& text) override { if (!dropTexts) texts_[c] = text; }
    bool isEnabled(Control c) const override { return enabled_.count(c) && enabled_.at(c); }
    void setEnabled(Control c, bool enabled) override { enabled_[c] = enabled; }
    void setBusy(bool busy) override { busy_ = busy; }
    bool busy() const { return busy_; }
    // stopRequested() turns true after this many calls that said false; never when negative.
    bool stopRequested() const override { return stopIn == 0 || (stopIn > 0 && (--stopIn, false)); }
    mutable int stopIn = -1;
    // A run that shows nothing: what the commands write is dropped, the texts set before stay.
    bool dropTexts = false;

private:
    std::map<Control, std::string> texts_;
    std::map<Control, bool> enabled_;
    bool busy_ = false;
};

class ScriptedDialogs : public UserDialogs {
public:
    // Every question and file dialog must be scripted: one that is not fails the test.
    ScriptedDialogs() = default;
    // Without a user: questions beyond the script get `answer`, file dialogs beyond it give
    // toOpen or toSave (cancelled while unset).
    explicit ScriptedDialogs(bool answer) : answer(answer) {}

    void message(const std::string& text) override { messages.push_back(text); }
    bool askYesNo(const std::string& text) override;
    std::optional<QString> openFile(const QString& folder) override { return ++opens, file(folder, toOpen); }
    std::optional<QString> saveFile(const QString& folder) override { return ++saves, file(folder, toSave); }

    std::vector<std::string> messages;        // every message and question, in order
    std::deque<bool> yesNoAnswers;             // answers to askYesNo
    std::deque<std::optional<QString>> files;  // answers to the file dialogs; nullopt = cancelled
    std::vector<QString> dialogFolders;        // the folder each file dialog started in
    int opens = 0, saves = 0;                  // the open and the save dialogs shown
    std::function<void()> onAsk;               // called as a question is asked
    std::optional<bool> answer;
    std::optional<QString> toOpen, toSave;

private:
    std::optional<QString> file(const QString& folder, const std::optional<QString>& unscripted);
};

// A complete form over a fresh state and grid, with the message table loaded and the program
// directory given.
struct FakeForm {
    explicit FakeForm(const QString& programDir) : FakeForm(ProgramDir(programDir)) {}
    explicit FakeForm(const ProgramDir& dir);
    // Without a window or a user: control texts dropped, every question answered `answer`.
    FakeForm(const QString& programDir, bool answer) : FakeForm(programDir)
    {
        controls.dropTexts = true;
        user.answer = answer;
    }
    WorkingState state;
    SystemGrid grid;
    FakeControls controls;
    ScriptedDialogs user;
    Form form;
};

} // namespace quenta::testing
