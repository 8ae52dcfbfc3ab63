#include "common/fake_form.h"

#include <gtest/gtest.h>

namespace quenta::testing {

FakeControls::FakeControls()
{
    texts_[Control::txtIndex0] = "1";
    texts_[Control::txtIndex1] = "1";
    texts_[Control::txtIndex2] = "1";
    texts_[Control::txtEps] = "0.5";
    for (Control c : {Control::cmdN})
        enabled_[c] = true;
}

std::string FakeControls::text(Control c) const
{
    auto it = texts_.find(c);
    return it == texts_.end() ? std::string() : it->second;
}

void FakeControls::setText(Control c, const std::string& text) { texts_[c] = text; }

bool FakeControls::isEnabled(Control c) const
{
    auto it = enabled_.find(c);
    return it != enabled_.end() && it->second;
}

void FakeControls::setEnabled(Control c, bool enabled) { enabled_[c] = enabled; }

bool ScriptedDialogs::askYesNo(const std::string& text)
{
    messages.push_back(text);
    if (yesNoAnswers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
    bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::openFile(const QString& folder)
{
    dialogFolders.push_back(folder);
    if (files.empty()) {
        ADD_FAILURE() << "unexpected open dialog";
        return std::nullopt;
    }
    auto answer = files.front();
    files.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::saveFile(const QString& folder)
{
    dialogFolders.push_back(folder);
    if (files.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return std::nullopt;
    }
    auto answer = files.front();
    files.pop_front();
    return answer;
}

FakeForm::FakeForm(const QString& programDir)
    : form{state, grid, controls, user, ProgramDir{programDir}}
{
    state.loadMessages();
    state.iter = 1;
}

} // namespace quenta::testing
