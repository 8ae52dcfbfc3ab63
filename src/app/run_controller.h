#pragma once
// Runs the window's long commands on a worker thread, one at a time: "Find  solution", "Next
// Iteration", the loading half of Open and Connect and the writing half of Save. The command
// works on the window's state and grid (the grid stays in a bulk write meanwhile), reads the
// control texts and enabled flags as they were at the start, and leaves what it writes and the
// messages it shows with the controller. The controller shows the writes in the window's controls
// at every progress point and at the end, and once the worker has stopped reports how the command
// ended. A Yes/No question the command asks is put to the window's user on the window's thread
// while the worker waits for the answer; a stop answers it No.
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/form.h"

namespace quenta {

enum class RunEnd {
    Completed,  // the command returned; it may have reported its own failures
    Stopped,    // the user asked it to stop, and it ended at a step boundary
    Abandoned,  // the window stopped it as it closes: its messages are not to be shown
    Faulted,    // an unforeseen failure escaped it (and was logged)
};

struct RunReport {
    RunEnd end;
    std::vector<std::string> messages;  // the messages the command showed, in order
};

class RunController : public QObject {
    Q_OBJECT
public:
    using Command = std::function<void(Form&)>;

    // window: the window's state, grid and controls; its user is never asked from the worker.
    explicit RunController(Form& window);
    ~RunController() override;  // stops a command still running and waits for it, reporting nothing

    // An object (a widget, an action, a shortcut) whose enabled flag is set to enabledDuringRun
    // while a command runs. The flag it had comes back at the end, before the flags the command
    // wrote itself are shown.
    void hold(QObject* object, bool enabledDuringRun);

    bool running() const { return run_ != nullptr; }
    // Starts command on the worker; nothing happens while another one runs.
    void start(Command command);
    // Asks the command to stop: a solve ends at its next step boundary, a load after its line.
    void stop();
    // Stops the command, waits for it and ends it as Abandoned.
    void abandon();

signals:
    // The held objects are set and the worker is about to start; a stop asked now is its first.
    void starting();
    // The controls show what the command wrote so far. sweeps are the records of the sweeps it
    // finished since the last report; a loader has read bytesDone of the bytesTotal of its file
    // (Save: lines of the file it writes).
    void progressed(const std::vector<SweepRecord>& sweeps, std::int64_t bytesDone, std::int64_t bytesTotal);
    // The worker has stopped and the controls show everything the command wrote.
    void finished(const RunReport& report);

private:
    class Run;

    void showProgress();
    void finish(bool abandoned);

    Form& window_;
    std::vector<std::pair<QObject*, bool>> held_;        // each with its flag during a run
    std::vector<std::pair<QObject*, bool>> heldBefore_;  // the flags they had before the run
    std::unique_ptr<Run> run_;
};

} // namespace quenta
