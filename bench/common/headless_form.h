#pragma once
// Controls and dialogs for driving commands with no window and no user: the benchmarks and the
// fuzz target. Control texts are dropped, messages are recorded, questions get a fixed answer
// and file dialogs are cancelled, except that the open dialog picks `toOpen` and the save dialog
// `toSave` when they are set.
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "model/form.h"

namespace quenta::bench {

class QuietControls : public Controls {
public:
    std::string text(Control) const override { return {}; }
    void setText(Control, const std::string&) override {}
    bool isEnabled(Control) const override { return true; }
    void setEnabled(Control, bool) override {}
};

class RecordingUser : public UserDialogs {
public:
    explicit RecordingUser(bool answerYes = true) : answerYes_(answerYes) {}
    void message(const std::string& text) override { messages.push_back(text); }
    bool askYesNo(const std::string&) override { return answerYes_; }
    std::optional<QString> openFile(const QString&) override { return toOpen; }
    std::optional<QString> saveFile(const QString&) override { return toSave; }
    std::vector<std::string> messages;
    std::optional<QString> toOpen, toSave;

private:
    bool answerYes_;
};

} // namespace quenta::bench
