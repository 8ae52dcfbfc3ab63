#include "common/grid_dump.h"

#include "model/numbers.h"

namespace quenta::testing {

std::string shown(const SystemGrid& g)
{
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

std::string summary(const Form& f)
{
    auto list = [](const std::vector<float>& v) {
        std::string s;
        for (float x : v)
            s += (s.empty() ? "" : ",") + FormatSingle(x, ".");
        return "[" + s + "]";
    };
    std::string on;
    for (auto [c, letter] : {std::pair{Control::cmdA, 'A'}, {Control::cmdB, 'B'}, {Control::cmdSolution, 'S'}, {Control::cmdIter, 'I'}})
        on += f.controls.isEnabled(c) ? std::string(1, letter) : "";
    const WorkingState& s = f.state;
    return "N=" + std::to_string(s.N) + " iter=" + std::to_string(s.iter) +
           " mode=" + (s.StorageMode ? std::to_string(*s.StorageMode) : "-") + " txtN=" + f.controls.text(Control::txtN) +
           " eps=" + f.controls.text(Control::txtEps) + " on=" + (on.empty() ? "-" : on) + " X=" + list(s.X) +
           " R=" + list(s.R) + " C=" + list(s.ColNorm2) +
           " file=" + QString(s.CD_FileName).remove(f.dir.data() + "/").toStdString();
}

} // namespace quenta::testing
