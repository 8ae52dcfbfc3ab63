#include "common/fake_form.h"

#include <gtest/gtest.h>

namespace quenta::testing {

FakeControls::FakeControls()
{
    for (Control c : {Control::txtIndex0, Control::txtIndex1, Control::txtIndex2})
        texts_[c] = "1";
    texts_[Control::txtEps] = "0.5";
    enabled_[Control::cmdN] = true;
}

bool ScriptedDialogs::askYesNo(const std::string& text)
{
    messages.push_back(text);
    if (onAsk)
        onAsk();
    if (yesNoAnswers.empty()) {
        if (!answer)
            ADD_FAILURE() << "unexpected question: " << text;
        return answer.value_or(false);
    }
    const bool given = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return given;
}

std::optional<QString> ScriptedDialogs::file(const QString& folder, const std::optional<QString>& unscripted)
{
    dialogFolders.push_back(folder);
    if (files.empty()) {
        if (!answer)
            ADD_FAILURE() << "unexpected file dialog";
        return unscripted;
    }
    auto given = files.front();
    files.pop_front();
    return given;
}

FakeForm::FakeForm(const ProgramDir& dir)
    : form{state, grid, controls, user, dir}
{
    state.loadMessages();
    state.iter = 1;
}

} // namespace quenta::testing
