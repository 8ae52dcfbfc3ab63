#pragma once
// The main window: the grid, the entry fields, the index spinners, the solve buttons and the
// File and Help menus. It owns the working state and the grid, offers them to the commands as a
// Form, and routes every control's event to its command. The commands live in their subsystems,
// the controls in their table (MainControls), and the long commands run on the worker through
// the RunController.
#include <QElapsedTimer>
#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/command_line.h"
#include "app/main_controls.h"
#include "app/run_controller.h"
#include "model/form.h"
#include "model/grid.h"
#include "model/state.h"

class QAction;
class QMenu;
class QSettings;
class QTableView;

namespace quenta {

class QtDialogs;
class RecentFiles;
class TwipsLayout;
class frmChart;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // programDir tells where the data folder, the scratch file and the help pages are. dialogs
    // answers for the user (tests pass a scripted one); nullptr means message boxes and file
    // dialogs.
    explicit frmMain(const ProgramDir& programDir, UserDialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;

    WorkingState& state() { return state_; }
    SystemGrid& grid() { return *grid_; }
    Form& form() { return form_; }
    const ProgramDir& programDir() const { return form_.dir; }

    // Keeps the window's size and place and File > Recent in settings between runs, and restores
    // them now. Without it (as in tests) nothing is remembered.
    void useSettings(std::unique_ptr<QSettings> settings);
    // Opens or connects path as File > Open or File > Connect would after their dialog, and
    // remembers it in File > Recent. Refused while a run or a load goes, as Open is.
    void load(CommandLine::Load how, const QString& path);
    RecentFiles& recentFiles() { return *recent_; }

    // Whether a run is on the worker now; stopRun() stops it and waits until it has ended.
    bool running() const { return run_.running(); }
    void stopRun();

    QWidget* control(Control c) const { return controls_.widget(c); }
    QTableView* gridView() const;
    // The factor by which the twips layout is enlarged so that every caption fits its control in
    // the window's font (1 when the font needs nothing).
    double layoutScale() const;

signals:
    // A run is about to start its worker; "Stop" and Esc already stop it.
    void runStarting();
    // A run on the worker has ended and the window shows its outcome (messages included).
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    // A system file dropped on the window is opened.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    void createActions();
    void createMenus();
    void connectCommands();
    void connectRuns();
    void placeControls();

    // Runs a command on this thread as one event: a failure that escapes it ends it without a
    // message.
    void runNow(const RunController::Command& command);
    // A command on the worker: the controls that could touch the system are disabled and "Find
    // solution" reads "Stop" until it ends. A command that reads or writes a file shows how far it
    // got in the progress bar.
    void startRun(RunController::Command command, bool withFile = false);
    // Save: asks for the file here, then writes it on the worker.
    void startFileRun(std::optional<QString> (*choose)(Form&), void (*work)(Form&, const QString&));
    // Open or Connect: asks for the file here, then loads it on the worker.
    void startLoad(CommandLine::Load how);
    void loadRecent(CommandLine::Load how, const QString& path);
    void showProgress(const std::vector<SweepRecord>& sweeps, std::int64_t bytesDone, std::int64_t bytesTotal);
    void showRunEnd(const RunReport& report);
    void showChart();
    // The chart window, when it is open, shows history_ and the desired accuracy.
    void updateChart();

    WorkingState state_;
    SystemGrid* grid_;
    std::unique_ptr<QtDialogs> realDialogs_;
    MainControls controls_;
    Form form_;
    RunController run_;
    TwipsLayout* layout_ = nullptr;
    std::vector<SweepRecord> history_;  // state_.history as this thread knows it during a run
    std::unique_ptr<QSettings> settings_;
    RecentFiles* recent_ = nullptr;
    frmChart* chart_ = nullptr;
    QElapsedTimer chartShown_;  // since the chart last showed a run's progress

    QAction* Open_ = nullptr;
    QAction* Save_ = nullptr;
    QAction* Connect_ = nullptr;
    QAction* Chart_ = nullptr;
    QAction* CheckDirect_ = nullptr;
    QAction* Exit_ = nullptr;
    QAction* About_ = nullptr;
    QAction* UserGuide_ = nullptr;
    QAction* GetPaid_ = nullptr;
    QAction* PasteSystem_ = nullptr;
};

} // namespace quenta
