#pragma once
// A long command on a worker thread: "Find  solution", "Next Iteration", or the loading half of
// Open or Connect. The command works on the window's state
// and grid (the window keeps the grid in a bulk write meanwhile), reads the control texts and
// enabled flags as they were at the start, and leaves what it writes and the messages it shows with
// this object. The window takes the writes over at every snapshot and at the end, and shows the
// messages once the worker has stopped.
#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/form.h"

namespace quenta {

class SolveRun : public QObject {
    Q_OBJECT
public:
    using Command = std::function<void(Form&)>;

    // Copies the texts and flags of window.controls; start() begins the command.
    SolveRun(const Form& window, Command command);
    ~SolveRun() override;  // stops the command and waits for it

    void start();
    // Asks the command to stop; it ends at its next step boundary with X, R and the grid in step.
    void stop();
    bool stopping() const { return stop_; }
    bool done() const { return done_; }
    void wait();

    // Moves the texts the command wrote since the last call to `real`, and allows the next
    // snapshot. The enabled flags it wrote move only with `flags`, once the window has enabled
    // again what it disabled for the run.
    void apply(Controls& real, bool flags = false);
    // The accuracies of the sweeps the command finished since the last call.
    std::vector<float> takeAccuracy();
    // The messages the command showed, in order. Complete once done().
    std::vector<std::string> takeMessages();
    // What the command last reported of the file it reads: bytes read, and the file's size.
    std::int64_t bytesDone() const { return bytesDone_; }
    std::int64_t bytesTotal() const { return bytesTotal_; }

signals:
    // The command passed a progress point: what it wrote so far is worth showing. At most one is
    // pending until apply().
    void snapshot();
    // The worker has stopped; it emits nothing after this.
    void finished();

private:
    class WorkerControls : public Controls {
    public:
        explicit WorkerControls(SolveRun& run) : run_(run) {}
        std::string text(Control c) const override;
        void setText(Control c, const std::string& text) override;
        bool isEnabled(Control c) const override;
        void setEnabled(Control c, bool enabled) override;
        void repaintProgress() override;
        bool stopRequested() const override { return run_.stop_; }
        void fileProgress(std::int64_t done, std::int64_t total) override;

    private:
        SolveRun& run_;
        std::int64_t shownPermille_ = -1;  // of the last progress report
    };
    class WorkerDialogs : public UserDialogs {
    public:
        explicit WorkerDialogs(SolveRun& run) : run_(run) {}
        void message(const std::string& text) override;
        // A command on the worker asks nothing; a question would need the window it cannot use.
        bool askYesNo(const std::string& text) override;
        std::optional<QString> openFile(const QString& folder) override;
        std::optional<QString> saveFile(const QString& folder) override;

    private:
        SolveRun& run_;
    };

    void work();
    // On the worker: hands the sweeps finished since the last call over to takeAccuracy().
    void publishAccuracy();

    Command command_;
    WorkerControls controls_{*this};
    WorkerDialogs dialogs_{*this};
    Form form_;

    mutable std::mutex mutex_;
    std::map<Control, std::string> texts_;
    std::map<Control, bool> enabled_;
    std::map<Control, std::string> textsWritten_;
    std::map<Control, bool> enabledWritten_;
    std::vector<std::string> messages_;
    std::vector<float> accuracy_;
    std::size_t published_;  // the worker's: entries of state.accuracy handed over

    std::atomic<std::int64_t> bytesDone_{0}, bytesTotal_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> snapshotPending_{false};
    std::atomic<bool> done_{false};
    std::thread worker_;
};

} // namespace quenta
