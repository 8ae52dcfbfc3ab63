// Figures of the window around a command on the worker: what showing a run live (the grid, the
// status line, the chart with both its series) costs against the same sweeps with nothing shown,
// how long Stop takes to end a file-backed run, and how long the window goes without handling
// its events while Save writes a large system.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "app/frmMain.h"
#include "common/bench_util.h"
#include "common/fake_form.h"
#include "common/systems.h"
#include "common/temp_dir.h"
#include "model/numbers.h"
#include "solver/solve.h"

namespace {

using namespace quenta;

struct Window {
    testing::TempProgramDir tmp;
    testing::ScriptedDialogs user{false};
    std::unique_ptr<frmMain> w;

    // Opens (in memory) or connects (file-backed) a written system of order n.
    Window(int n, bool fileBacked, int diagonal = 0)
    {
        const QString system = tmp.data("big.txt");
        if (diagonal > 0) {  // uniform values in (-1, 1), the accuracy falling steadily for many sweeps
            std::mt19937 rng(7);
            testing::write_system(system, testing::random_system(rng, n, {.diagonal = float(diagonal)}));
        } else {
            testing::write_system(system, n, bench::sample_like());
        }
        w = std::make_unique<frmMain>(ProgramDir(tmp.path()), &user);
        w->show();
        user.toOpen = system;
        QSignalSpy loaded(w.get(), &frmMain::runFinished);
        w->findChild<QAction*>(fileBacked ? "Connect" : "Open")->trigger();
        if (w->running())
            loaded.wait(600000);
    }
    void setEps(const std::string& eps) { w->form().controls.setText(Control::txtEps, eps); }
    QPushButton* solve() const { return qobject_cast<QPushButton*>(w->control(Control::cmdSolution)); }
    // Clicks "Find  solution"; the milliseconds until the window shows the end of the run.
    double run()
    {
        QSignalSpy ended(w.get(), &frmMain::runFinished);
        QElapsedTimer t;
        t.start();
        solve()->click();
        ended.wait(600000);
        return static_cast<double>(t.nsecsElapsed()) / 1e6;
    }
};

void BM_UiUpdateOverhead(benchmark::State& st)
{
    // A run of at least 2 s, so that the figure measures the updates and not the hand-off to the
    // worker: as many sweeps as take that long, on a system whose accuracy still falls after them.
    constexpr int Order = 1024;
    Window win(Order, false, 2);
    win.w->findChild<QAction*>("Chart")->trigger();  // the chart open, drawing both series
    WorkingState& s = win.w->state();
    win.setEps("0");
    testing::FakeControls quiet;
    quiet.dropTexts = true;
    Form headless{s, win.w->grid(), quiet, win.user, win.w->programDir()};
    cmdIter_Click(headless);  // builds the arrays
    // The fastest of ten sweeps sets the count, so that a busy moment shortens no run below 2 s.
    double sweepMs = 1e300;
    for (int k = 1; k <= 10; ++k)
        sweepMs = std::min(sweepMs, bench::best_of_ms(1, [&] { cmdIter_Click(headless); }));
    const int Sweeps = std::max(20, static_cast<int>(2200.0 / sweepMs));
    for (int k = 11; k < Sweeps; ++k)
        cmdIter_Click(headless);
    // The accuracy the last of them reaches, a hair above, ends the run there.
    win.setEps(FormatSingle(s.er * 1.000001f, "."));
    // Every run starts from X = 0, which the solution column holds.
    const auto fromZero = [&] {
        win.w->grid().beginBulk();
        for (int i = 1; i <= Order; ++i)
            win.w->grid().setText(i, xColumn(s.N), "0", ".");
        win.w->grid().endBulk();
    };

    for (auto _ : st) {
        // Without updates: the same command on this thread, the grid announcing nothing until the end.
        testing::FakeControls controls;
        controls.setText(Control::txtEps, win.w->form().controls.text(Control::txtEps));
        controls.dropTexts = true;
        Form plain{s, win.w->grid(), controls, win.user, win.w->programDir()};
        double live = 1e300, alone = 1e300;
        for (int rep = 0; rep < 5; ++rep) {
            fromZero();
            win.w->grid().beginBulk();
            QElapsedTimer t;
            t.start();
            cmdSolution_Click(plain);
            alone = std::min(alone, static_cast<double>(t.nsecsElapsed()) / 1e6);
            win.w->grid().endBulk();
            if (s.iter != Sweeps + 1)
                return st.SkipWithError("the run did not take its sweeps");
            fromZero();
            live = std::min(live, win.run());
            if (s.iter != Sweeps + 1 || !win.user.messages.empty())
                return st.SkipWithError("the run in the window did not take its sweeps");
        }
        st.counters["ui_update_overhead_ratio N=1024"] = live / alone;
        st.counters["ui_update_run_ms N=1024"] = live;
    }
}
BENCHMARK(BM_UiUpdateOverhead)->Iterations(1);

void BM_StopLatency(benchmark::State& st)
{
    constexpr int Order = 2048;
    Window win(Order, true);
    win.setEps("0");
    for (auto _ : st) {
        double worst = 0;
        for (int rep = 0; rep < 5; ++rep) {
            QSignalSpy shown(qobject_cast<QLineEdit*>(win.w->control(Control::txtEr)), &QLineEdit::textChanged);
            QSignalSpy ended(win.w.get(), &frmMain::runFinished);
            win.w->form().controls.setText(Control::txtEr, "");
            shown.clear();
            win.solve()->click();
            shown.wait(600000);  // the run shows its first sweep
            if (!win.w->running())
                return st.SkipWithError("the run ended before Stop");
            QElapsedTimer t;
            t.start();
            win.solve()->click();  // Stop
            ended.wait(600000);
            worst = std::max(worst, static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        st.counters["stop_latency_ms N=2048"] = worst;
    }
}
BENCHMARK(BM_StopLatency)->Iterations(1);

// Start-up as a user meets it: the window made (loading, the data folder, the settings), shown and
// exposed, offscreen. The data folder is there, as on every start but the first. Best of 5.
void BM_Startup(benchmark::State& st)
{
    testing::TempProgramDir tmp;
    testing::emptyDataFolder(tmp);
    testing::ScriptedDialogs user(false);
    double best = 1e300;
    for (auto _ : st)
        for (int rep = 0; rep < 5; ++rep) {
            QElapsedTimer t;
            t.start();
            frmMain w(ProgramDir(tmp.path()), &user);
            w.useSettings(std::make_unique<QSettings>(tmp.path() + "/quenta.conf", QSettings::IniFormat));
            w.show();
            if (!QTest::qWaitForWindowExposed(&w))
                return st.SkipWithError("the window was not shown");
            best = std::min(best, static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
    st.counters["startup_ms"] = best;
}
BENCHMARK(BM_Startup)->Iterations(1);

void BM_SaveUiStall(benchmark::State& st)
{
    // The longest time between two turns of the window's event loop, from File > Save until the
    // window shows that it has ended, at its worst over three Saves of new files.
    constexpr int Order = 4096;
    Window win(Order, false);
    const QString system = win.tmp.data("saved.txt"), solution = win.tmp.data("solutions/saved.txt");
    win.user.toSave = system;
    for (auto _ : st) {
        double worst = 0;
        for (int rep = 0; rep < 3; ++rep) {
            QFile::remove(system);
            QFile::remove(solution);
            QElapsedTimer clock;
            qint64 last = 0, longest = 0;
            const auto turn = [&] {
                const qint64 now = clock.nsecsElapsed();
                longest = std::max(longest, now - last);
                last = now;
            };
            QTimer turns;  // a timeout of 0 comes once a turn of the loop
            QObject::connect(&turns, &QTimer::timeout, turn);
            QSignalSpy ended(win.w.get(), &frmMain::runFinished);
            turns.start(0);
            clock.start();
            win.w->findChild<QAction*>("Save")->trigger();
            if (win.w->running())
                ended.wait(600000);
            turn();
            turns.stop();
            if (!QFile::exists(system) || !QFile::exists(solution) || !win.user.messages.empty())
                return st.SkipWithError("the Save did not write both files");
            worst = std::max(worst, static_cast<double>(longest) / 1e6);
        }
        st.counters["save_ui_stall_ms N=4096"] = worst;
    }
}
BENCHMARK(BM_SaveUiStall)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    struct Figures : benchmark::BenchmarkReporter {
        bool ReportContext(const Context&) override { return true; }
        void ReportRuns(const std::vector<Run>& runs) override
        {
            for (const Run& run : runs) {
                if (run.error_occurred)
                    std::printf("%s error: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
                else
                    for (const auto& [name, counter] : run.counters)
                        std::printf("%s %.6g\n", name.c_str(), static_cast<double>(counter.value));
            }
            std::fflush(stdout);
        }
    } reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
