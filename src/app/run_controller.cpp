#include "app/run_controller.h"

#include <QVariant>
#include <QWidget>
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace quenta {

// One command on the worker, with the control texts and flags it sees and writes, the messages
// it shows and the records of the sweeps it finishes.
class RunController::Run {
public:
    Run(RunController& owner, const Form& window, Command command);
    ~Run()
    {
        stop();
        wait();
    }

    void start() { worker_ = std::thread([this] { work(); }); }
    void stop();
    void wait()
    {
        if (worker_.joinable())
            worker_.join();
    }
    bool done() const { return done_; }
    RunEnd end() const { return faulted_ ? RunEnd::Faulted : stop_ ? RunEnd::Stopped : RunEnd::Completed; }

    // Moves the texts the command wrote since the last call to `real`, and allows the next
    // progress report. The enabled flags it wrote move only with `flags`, at the end.
    void apply(Controls& real, bool flags);
    std::vector<SweepRecord> takeHistory();
    // Complete once done().
    std::vector<std::string> takeMessages();
    std::int64_t bytesDone() const { return bytesDone_; }
    std::int64_t bytesTotal() const { return bytesTotal_; }

private:
    // A question put to the window's user: asked on the window's thread, answered into here.
    struct Question {
        std::mutex mutex;
        std::condition_variable changed;
        bool answered = false;
        bool dropped = false;  // a stop answered it: it is not to be asked any more
        bool yes = false;
    };

    class WorkerControls : public Controls {
    public:
        explicit WorkerControls(Run& run) : run_(run) {}
        std::string text(Control c) const override;
        void setText(Control c, const std::string& text) override;
        bool isEnabled(Control c) const override;
        void setEnabled(Control c, bool enabled) override;
        void repaintProgress() override;
        bool stopRequested() const override { return run_.stop_; }
        void fileProgress(std::int64_t done, std::int64_t total) override;

    private:
        Run& run_;
        std::int64_t shownPermille_ = -1;  // of the last progress report
    };
    // Messages wait for the end of the command; questions go to the window. The file dialogs
    // belong to the halves of Open, Connect and Save that run on the window's thread.
    class WorkerDialogs : public UserDialogs {
    public:
        explicit WorkerDialogs(Run& run) : run_(run) {}
        void message(const std::string& text) override;
        bool askYesNo(const std::string& text) override;
        std::optional<QString> openFile(const QString&) override { throw std::logic_error("a file dialog on the worker"); }
        std::optional<QString> saveFile(const QString&) override { throw std::logic_error("a file dialog on the worker"); }

    private:
        Run& run_;
    };

    void work();
    // On the worker: has the window's thread put the question to the user and waits until the
    // user answers it or a stop drops it, which answers No.
    bool ask(const std::string& text);
    // On the worker: hands the sweeps finished since the last call over to takeHistory().
    void publishHistory();
    // On the worker: has the controller show the progress so far, unless a report is pending.
    void report();

    RunController& owner_;
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
    std::vector<SweepRecord> history_;
    std::shared_ptr<Question> question_;  // the one being asked, or the last
    std::size_t published_;  // the worker's: entries of state.history handed over
    bool faulted_ = false;    // the worker's until done

    std::atomic<std::int64_t> bytesDone_{0}, bytesTotal_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> reportPending_{false};
    std::atomic<bool> done_{false};
    std::thread worker_;
};

RunController::Run::Run(RunController& owner, const Form& window, Command command)
    : owner_(owner),
      command_(std::move(command)),
      form_{window.state, window.grid, controls_, dialogs_, window.dir},
      published_(window.state.history.size())
{
    for (int k = 0; k < ControlCount; ++k) {
        const auto c = static_cast<Control>(k);
        texts_[c] = window.controls.text(c);
        enabled_[c] = window.controls.isEnabled(c);
    }
}

void RunController::Run::work()
{
    try {
        command_(form_);
    } catch (const std::exception& e) {  // the commands handle what they expect; this is a fault
        faulted_ = true;
        qWarning("Quenta: a run ended by an unexpected failure: %s", e.what());
    } catch (...) {
        faulted_ = true;
        qWarning("Quenta: a run ended by an unexpected failure of unknown type");
    }
    publishHistory();
    done_ = true;
    // A late notice of a run that abandon() already ended finds nothing to finish.
    QMetaObject::invokeMethod(&owner_, [owner = &owner_] { owner->finish(false); }, Qt::QueuedConnection);
}

void RunController::Run::report()
{
    if (!reportPending_.exchange(true))
        QMetaObject::invokeMethod(&owner_, [owner = &owner_] { owner->showProgress(); }, Qt::QueuedConnection);
}

void RunController::Run::apply(Controls& real, bool flags)
{
    std::map<Control, std::string> texts;
    std::map<Control, bool> enabled;
    {
        const std::lock_guard lock(mutex_);
        texts.swap(textsWritten_);
        if (flags)
            enabled.swap(enabledWritten_);
    }
    reportPending_ = false;
    for (const auto& [c, t] : texts)
        real.setText(c, t);
    for (const auto& [c, e] : enabled)
        real.setEnabled(c, e);
}

void RunController::Run::publishHistory()
{
    const std::vector<SweepRecord>& all = form_.state.history;
    if (all.size() < published_)
        published_ = 0;  // not done by a solve command, but kept consistent
    const std::lock_guard lock(mutex_);
    history_.insert(history_.end(), all.begin() + static_cast<std::ptrdiff_t>(published_), all.end());
    published_ = all.size();
}

std::vector<SweepRecord> RunController::Run::takeHistory()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(history_, {});
}

void RunController::Run::stop()
{
    stop_ = true;
    std::shared_ptr<Question> q;
    {
        const std::lock_guard lock(mutex_);
        q = question_;
    }
    if (q) {
        const std::lock_guard lock(q->mutex);
        q->dropped = true;
        q->changed.notify_all();
    }
}

bool RunController::Run::ask(const std::string& text)
{
    auto q = std::make_shared<Question>();
    {
        const std::lock_guard lock(mutex_);
        question_ = q;
    }
    if (stop_)  // read after q is there for stop() to drop
        return false;
    // The controller outlives every notice it receives; the window's dialogs outlive it.
    UserDialogs* user = &owner_.window_.user;
    QMetaObject::invokeMethod(
        &owner_,
        [q, user, text] {
            {
                const std::lock_guard lock(q->mutex);
                if (q->dropped)
                    return;
            }
            const bool yes = user->askYesNo(text);
            const std::lock_guard lock(q->mutex);
            q->yes = yes;
            q->answered = true;
            q->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(q->mutex);
    q->changed.wait(lock, [&q] { return q->answered || q->dropped; });
    return q->answered && q->yes;
}

std::vector<std::string> RunController::Run::takeMessages()
{
    const std::lock_guard lock(mutex_);
    return std::move(messages_);
}

std::string RunController::Run::WorkerControls::text(Control c) const
{
    const std::lock_guard lock(run_.mutex_);
    return run_.texts_[c];
}

void RunController::Run::WorkerControls::setText(Control c, const std::string& text)
{
    const std::lock_guard lock(run_.mutex_);
    run_.texts_[c] = text;
    run_.textsWritten_[c] = text;
}

bool RunController::Run::WorkerControls::isEnabled(Control c) const
{
    const std::lock_guard lock(run_.mutex_);
    return run_.enabled_[c];
}

void RunController::Run::WorkerControls::setEnabled(Control c, bool enabled)
{
    const std::lock_guard lock(run_.mutex_);
    run_.enabled_[c] = enabled;
    run_.enabledWritten_[c] = enabled;
}

void RunController::Run::WorkerControls::repaintProgress()
{
    // Called between two steps of the method, so everything written so far is in step.
    run_.publishHistory();
    run_.report();
}

void RunController::Run::WorkerControls::fileProgress(std::int64_t done, std::int64_t total)
{
    // A report for each thousandth of the file at most, however many lines it has.
    const std::int64_t permille = total > 0 ? done * 1000 / total : 0;
    run_.bytesDone_ = done;
    run_.bytesTotal_ = total;
    if (permille != std::exchange(shownPermille_, permille))
        run_.report();
}

void RunController::Run::WorkerDialogs::message(const std::string& text)
{
    const std::lock_guard lock(run_.mutex_);
    run_.messages_.push_back(text);
}

bool RunController::Run::WorkerDialogs::askYesNo(const std::string& text) { return run_.ask(text); }

namespace {

// A widget's own flag (not whether a disabled parent disables it), or an action's or shortcut's.
bool enabledFlag(const QObject* o)
{
    if (auto* w = qobject_cast<const QWidget*>(o))
        return !w->testAttribute(Qt::WA_Disabled);
    return o->property("enabled").toBool();
}

void setEnabledFlag(QObject* o, bool enabled)
{
    if (auto* w = qobject_cast<QWidget*>(o))
        w->setEnabled(enabled);
    else
        o->setProperty("enabled", enabled);
}

} // namespace

RunController::RunController(Form& window) : window_(window) {}

RunController::~RunController() = default;

void RunController::hold(QObject* object, bool enabledDuringRun) { held_.emplace_back(object, enabledDuringRun); }

void RunController::start(Command command)
{
    if (run_)
        return;
    run_ = std::make_unique<Run>(*this, window_, std::move(command));
    heldBefore_.clear();
    for (const auto& [o, enabled] : held_) {
        heldBefore_.emplace_back(o, enabledFlag(o));
        setEnabledFlag(o, enabled);
    }
    window_.grid.beginBulk();
    emit starting();
    run_->start();
}

void RunController::stop()
{
    if (run_)
        run_->stop();
}

void RunController::abandon()
{
    if (!run_)
        return;
    run_->stop();
    run_->wait();
    finish(true);
}

void RunController::showProgress()
{
    if (!run_)
        return;
    run_->apply(window_.controls, false);
    window_.grid.flushBulk();
    emit progressed(run_->takeHistory(), run_->bytesDone(), run_->bytesTotal());
}

void RunController::finish(bool abandoned)
{
    if (!run_ || !run_->done())
        return;  // a late notice of a run that abandon() already finished
    run_->wait();
    const std::unique_ptr<Run> run = std::move(run_);
    for (const auto& [o, enabled] : heldBefore_)
        setEnabledFlag(o, enabled);
    heldBefore_.clear();
    run->apply(window_.controls, true);
    window_.grid.endBulk();
    emit finished({abandoned ? RunEnd::Abandoned : run->end(), run->takeMessages()});
}

} // namespace quenta
