#pragma once
// A program directory with a data folder and a form over it, for the file and Connect tests.
#include <QFileInfo>

#include "common/fake_form.h"
#include "common/grid_dump.h"
#include "common/temp_dir.h"

namespace quenta::testing {

using Msg = std::string WorkingState::*;

struct FilesEnv {
    TempProgramDir dir;
    FakeForm ff{dir.path()};
    Form& form = ff.form;
    WorkingState& state = ff.state;
    SystemGrid& grid = ff.grid;
    ScriptedDialogs& user = ff.user;

    FilesEnv() { emptyDataFolder(dir); }
    QString data(const QString& name) const { return dir.data(name); }
    std::string text(Control c) const { return ff.controls.text(c); }
    // The texts of the messages named, in order.
    std::vector<std::string> msgs(const std::vector<Msg>& names) const
    {
        std::vector<std::string> out;
        for (Msg m : names)
            out.push_back(state.*m);
        return out;
    }
    std::string shown() const { return testing::shown(grid); }
    std::string summary() const { return testing::summary(form); }
    std::string window() const { return summary() + " | " + shown(); }
    // Writes data/name and chooses it in the dialog of `command` (Open_Click, Connect_Click).
    void load(void (*command)(Form&), const QString& name, const std::string& bytes)
    {
        dir.write("data/" + name, bytes);
        user.files.push_back(data(name));
        command(form);
    }
    // The last file dialog started in the data folder.
    bool dialogInDataFolder() const
    {
        return !user.dialogFolders.empty() &&
               QFileInfo(user.dialogFolders.back()).canonicalFilePath() == QFileInfo(data("")).canonicalFilePath();
    }
};

} // namespace quenta::testing
