#pragma once
// A program directory with a data folder and a form over it, for the file and Connect tests.
#include <QDir>
#include <QFileInfo>

#include "common/fake_form.h"
#include "common/temp_dir.h"
#include "model/numbers.h"

namespace quenta::testing {

using Msg = std::string WorkingState::*;

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
    // The texts of the messages named, in order.
    std::vector<std::string> msgs(const std::vector<Msg>& names) const
    {
        std::vector<std::string> out;
        for (Msg m : names)
            out.push_back(state.*m);
        return out;
    }
    // The grid in one line: the in-memory layout as "rows x cols: value cells row by row | solution
    // column" with an empty cell shown as "_" ("3x8: 1 2 3; 4 5 6 | 0 0"), the file-backed layout
    // as its two columns ("Solution X(1)=0 X(2)=0").
    std::string shown() const
    {
        const SystemGrid& g = grid;
        std::string s = g.fileBackedLayout() ? g.text(0, 0) : std::to_string(g.rows()) + "x" + std::to_string(g.cols()) + ":", x;
        auto cell = [&g](int i, int k) { const std::string t = g.text(i, k); return t.empty() ? "_" : t; };
        for (int i = 1; i < g.rows(); ++i) {
            if (g.fileBackedLayout()) {
                s += " " + g.text(i, 0) + g.text(i, 1);
                continue;
            }
            s += i > 1 ? ";" : "";
            for (int k = 1; k < g.cols() - 1; k += 2)
                s += " " + cell(i, k);
            x += " " + cell(i, g.cols() - 1);
        }
        return g.fileBackedLayout() ? s : s + " |" + x;
    }
    // The last file dialog started in the data folder.
    bool dialogInDataFolder() const
    {
        return !user.dialogFolders.empty() &&
               QFileInfo(user.dialogFolders.back()).canonicalFilePath() == QFileInfo(data("")).canonicalFilePath();
    }
    // The window in one line: "N=2 iter=1 mode=1 txtN=2 eps=0.2 on=ABSI X=[0,0,0] R=[0,0,0]
    // C=[0,0,0] file=s.txt" (the buttons enabled, the arrays, the chosen file below data/).
    std::string summary() const
    {
        auto list = [](const std::vector<float>& v) {
            std::string s;
            for (float f : v)
                s += (s.empty() ? "" : ",") + FormatSingle(f, ".");
            return "[" + s + "]";
        };
        std::string on;
        for (auto [c, letter] : {std::pair{Control::cmdA, 'A'}, {Control::cmdB, 'B'}, {Control::cmdSolution, 'S'}, {Control::cmdIter, 'I'}})
            on += ff.controls.isEnabled(c) ? std::string(1, letter) : "";
        const std::optional<i16> mode = state.StorageMode;
        return "N=" + std::to_string(state.N) + " iter=" + std::to_string(state.iter) +
               " mode=" + (mode ? std::to_string(*mode) : "-") + " txtN=" + text(Control::txtN) +
               " eps=" + text(Control::txtEps) + " on=" + (on.empty() ? "-" : on) + " X=" + list(state.X) +
               " R=" + list(state.R) + " C=" + list(state.ColNorm2) +
               " file=" + QString(state.CD_FileName).remove(data("")).toStdString();
    }
};

} // namespace quenta::testing
