#pragma once
// A program directory with a data folder and a form over it, for the file and Connect tests.
#include <QDir>
#include <QString>
#include <string>
#include <vector>

#include "common/fake_form.h"
#include "common/temp_dir.h"

namespace quenta::testing {

using Msg = std::string WorkingState::*;

// The in-memory grid as "rows x cols: value cells row by row | solution column", an empty cell
// shown as "_": "3x8: 1 2 3; 4 5 6 | 0 0".
inline std::string shown_grid(const SystemGrid& g)
{
    auto cell = [&g](int i, int k) { const std::string t = g.text(i, k); return t.empty() ? "_" : t; };
    std::string s = std::to_string(g.rows()) + "x" + std::to_string(g.cols()) + ":", x;
    for (int i = 1; i < g.rows(); ++i) {
        s += i > 1 ? ";" : "";
        for (int k = 1; k < g.cols() - 1; k += 2)
            s += " " + cell(i, k);
        x += " " + cell(i, g.cols() - 1);
    }
    return s + " |" + x;
}

struct FilesEnv {
    TempProgramDir dir;
    FakeForm ff{dir.path()};
    Form& form = ff.form;
    WorkingState& state = ff.state;
    SystemGrid& grid = ff.grid;
    ScriptedDialogs& user = ff.user;

    FilesEnv() { QDir().mkpath(dir.file("data")); }
    QString data(const QString& name) const { return dir.file("data/" + name); }
    std::string text(Control c) const { return ff.controls.text(c); }
    bool on(Control c) const { return ff.controls.isEnabled(c); }
    // The texts of the messages named, in order.
    std::vector<std::string> msgs(const std::vector<Msg>& names) const
    {
        std::vector<std::string> out;
        for (Msg m : names)
            out.push_back(state.*m);
        return out;
    }
    std::string shown() const { return shown_grid(grid); }
};

} // namespace quenta::testing
