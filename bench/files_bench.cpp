// Open and Save of a system of order 2048 (about 37 MB of text), against reading the same bytes;
// Paste System of the same numbers as a clipboard text, against Open; and the memory of opening
// a file that names the largest order on its first line and stops.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/bench_util.h"
#include "common/fake_form.h"
#include "common/systems.h"
#include "common/temp_dir.h"
#include "files/commands.h"
#include "files/line.h"
#include "files/system_file.h"
#include "files/system_text.h"

namespace {

using namespace quenta;

constexpr int Order = 2048;

// The reference: the file's bytes read into a new buffer of memory.
qint64 read_all(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    return bytes.size();
}

// The bytes read into a buffer that is reused.
std::size_t read_into(const QString& path, std::vector<char>& into)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY);
    std::size_t total = 0;
    for (;;) {
        if (into.size() < total + (1u << 20))
            into.resize(total + (1u << 20));
        const ssize_t got = ::read(fd, into.data() + total, into.size() - total);
        if (got <= 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return total;
}

// The line reader and the splitter alone, without the grid.
long long split_only(const QString& path)
{
    LineReader reader(path);
    std::vector<std::string_view> y;
    std::string_view line;
    i16 m = 0;
    long long tokens = 0;
    while (reader.next(line)) {
        get_row(line, m, y);
        tokens += m;
    }
    return tokens;
}

// The system file as a clipboard text: the numbers of a line separated by tabs, a line feed after
// each line, as a spreadsheet copies a block and as Copy System writes.
QString clipboard_text(const QString& path)
{
    LineReader reader(path);
    std::vector<std::string_view> y;
    std::string_view line;
    i16 m = 0;
    std::string text;
    while (reader.next(line)) {
        get_row(line, m, y);
        for (int k = 1; k <= m; ++k) {
            text += y[static_cast<std::size_t>(k)];
            text += k < m ? '\t' : '\n';
        }
    }
    return QString::fromStdString(text);
}

// A 32 KB file whose first line holds 16 382 numbers and nothing else: order 16381 with every
// other line missing, opened through the Open command. The command keeps the coefficient
// matrix for that order (about 1 GB); the rest of the peak is the grid and the reading. Measured
// in a child process before this program builds anything else.
void BM_OpenFirstLineOnly(benchmark::State& st)
{
    constexpr int Numbers = 16382;
    testing::TempProgramDir tmp;
    testing::emptyDataFolder(tmp);
    const QString path = tmp.data("first_line.txt");
    {
        std::string line;
        for (int k = 0; k < Numbers; ++k)
            line += "1 ";
        line += "\r\n";
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(line.data(), static_cast<qint64>(line.size()));
    }
    for (auto _ : st) {
        const double peak = bench::child_peak_rss_mb([&] {
            testing::FakeForm f(tmp.path(), true);
            f.user.toOpen = path;
            Open_Click(f.form);
            return f.user.messages.empty() && f.state.N == Numbers - 1 && f.grid.text(Numbers - 1, 2 * Numbers + 1) == "0";
        });
        if (peak < 0) {
            st.SkipWithError("the first-line-only file did not open cleanly");
            return;
        }
        st.counters["open_first_line_only_peak_mb N=16381"] = peak;
    }
}
BENCHMARK(BM_OpenFirstLineOnly)->Iterations(1);

void BM_OpenSave(benchmark::State& st)
{
    testing::TempProgramDir tmp;
    const QString system = tmp.data("big.txt");
    testing::write_system(system, Order, bench::sample_like());
    const double fileMb = static_cast<double>(QFile(system).size()) / 1e6;

    WorkingState state;
    state.loadMessages();
    testing::FakeControls controls;
    controls.dropTexts = true;
    testing::ScriptedDialogs user(true);

    for (auto _ : st) {
        // Open as the user meets it: a grid whose store has not held a system yet, against the
        // bytes read into a buffer that is new as well.
        constexpr int Reps = 5;
        std::vector<std::unique_ptr<SystemGrid>> grids, pasted;
        for (int k = 0; k < Reps; ++k) {
            grids.push_back(std::make_unique<SystemGrid>());
            pasted.push_back(std::make_unique<SystemGrid>());
        }
        const double cat = bench::best_of_ms(Reps, [&] { bench::keep(read_all(system)); });
        // Open, and Paste System of the same numbers from the text the clipboard hands over
        // (UTF-16) to the grid, into new grids as well. They take turns, so that a machine that
        // others keep busy slows both alike.
        const QString clip = clipboard_text(system);
        double open = 1e300, paste = 1e300;
        for (std::size_t k = 0; k < Reps; ++k) {
            open = std::min(open, bench::best_of_ms(1, [&] {
                Form form{state, *grids[k], controls, user, ProgramDir{tmp.path()}};
                open_file(form, system);
            }));
            paste = std::min(paste, bench::best_of_ms(1, [&] {
                Form form{state, *pasted[k], controls, user, ProgramDir{tmp.path()}};
                read_system_text(form, clip);
            }));
        }
        SystemGrid& grid = *grids.back();
        if (!user.messages.empty() || state.N != Order) {
            st.SkipWithError("the system did not open and paste cleanly");
            return;
        }
        if (pasted.back()->text(Order, 2 * Order + 1) != grid.text(Order, 2 * Order + 1)) {
            st.SkipWithError("the pasted system differs from the opened one");
            return;
        }
        // The same with memory already in hand: a grid that held the system before, and one
        // buffer read into again and again.
        Form form{state, grid, controls, user, ProgramDir{tmp.path()}};
        std::vector<char> buffer;
        const double catWarm = bench::best_of_ms(Reps, [&] { bench::keep(read_into(system, buffer)); });
        const double openWarm = bench::best_of_ms(Reps, [&] { open_file(form, system); });
        const double split = bench::best_of_ms(Reps, [&] { bench::keep(split_only(system)); });

        const double storeMb = static_cast<double>(grid.storeBytes()) / 1e6;
        const QString copy = tmp.data("copy.txt");
        const double save = bench::best_of_ms(3, [&] { save_file(form, copy); });
        if (QFile(copy).size() != QFile(system).size()) {
            st.SkipWithError("the saved system differs in size");
            return;
        }
        st.counters["open_file_ms N=2048"] = open;
        st.counters["paste_ms N=2048"] = paste;
        st.counters["paste_vs_open_ratio N=2048"] = paste / open;
        st.counters["save_file_ms N=2048"] = save;
        st.counters["open_vs_cat_ratio N=2048"] = open / cat;
        st.counters["open_store_mb N=2048"] = storeMb;
        st.counters["system_file_mb N=2048"] = fileMb;
        st.counters["read_bytes_ms N=2048"] = cat;
        st.counters["open_warm_ms N=2048"] = openWarm;
        st.counters["open_vs_cached_read_ratio N=2048"] = openWarm / catWarm;
        st.counters["split_lines_ms N=2048"] = split;
    }
}
BENCHMARK(BM_OpenSave)->Iterations(1);

} // namespace
