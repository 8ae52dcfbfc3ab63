#pragma once
// A program directory with a data folder and a form over it, for the file tests.
#include <QDir>
#include <QString>
#include <string>
#include <vector>

#include "common/fake_form.h"
#include "common/temp_dir.h"

namespace quenta::testing {

struct FilesEnv {
    TempProgramDir dir;
    FakeForm ff{dir.path()};
    Form& form = ff.form;
    WorkingState& state = ff.state;
    SystemGrid& grid = ff.grid;
    ScriptedDialogs& user = ff.user;

    FilesEnv() { QDir().mkpath(dir.file("data")); }
    QString data(const QString& name) const { return dir.file("data/" + name); }

    // The N+1 value cells of grid row i.
    std::vector<std::string> row(int i) const
    {
        std::vector<std::string> out;
        for (int k = 1; k <= state.N + 1; ++k)
            out.push_back(grid.text(i, 2 * k - 1));
        return out;
    }
    std::string solution(int i) const { return grid.text(i, 2 * state.N + 3); }
};

} // namespace quenta::testing
