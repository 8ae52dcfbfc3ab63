#include "app/solve_run.h"

#include <QtGlobal>
#include <exception>
#include <stdexcept>
#include <utility>

namespace quenta {

namespace {

constexpr Control kAllControls[] = {
    Control::txtN,      Control::txtA,      Control::txtB,      Control::txtEps, Control::txtEr,
    Control::txtTime,   Control::txtIndex0, Control::txtIndex1, Control::txtIndex2, Control::cmdN,
    Control::cmdA,      Control::cmdB,      Control::cmdSolution, Control::cmdIter,
};

} // namespace

SolveRun::SolveRun(const Form& window, Command command)
    : command_(std::move(command)),
      form_{window.state, window.grid, controls_, dialogs_, window.dir},
      published_(window.state.accuracy.size())
{
    for (Control c : kAllControls) {
        texts_[c] = window.controls.text(c);
        enabled_[c] = window.controls.isEnabled(c);
    }
}

SolveRun::~SolveRun()
{
    stop();
    wait();
}

void SolveRun::start() { worker_ = std::thread([this] { work(); }); }

void SolveRun::stop() { stop_ = true; }

void SolveRun::wait()
{
    if (worker_.joinable())
        worker_.join();
}

void SolveRun::work()
{
    try {
        command_(form_);
    } catch (const std::exception& e) {  // the commands handle what they expect; this is a fault
        qWarning("Quenta: a run ended by an unexpected failure: %s", e.what());
    } catch (...) {
        qWarning("Quenta: a run ended by an unexpected failure of unknown type");
    }
    publishAccuracy();
    done_ = true;
    emit finished();
}

void SolveRun::apply(Controls& real, bool flags)
{
    std::map<Control, std::string> texts;
    std::map<Control, bool> enabled;
    {
        const std::lock_guard lock(mutex_);
        texts.swap(textsWritten_);
        if (flags)
            enabled.swap(enabledWritten_);
    }
    snapshotPending_ = false;
    for (const auto& [c, t] : texts)
        real.setText(c, t);
    for (const auto& [c, e] : enabled)
        real.setEnabled(c, e);
}

void SolveRun::publishAccuracy()
{
    const std::vector<float>& all = form_.state.accuracy;
    if (all.size() < published_)
        published_ = 0;  // not done by a solve command, but kept consistent
    const std::lock_guard lock(mutex_);
    accuracy_.insert(accuracy_.end(), all.begin() + static_cast<std::ptrdiff_t>(published_), all.end());
    published_ = all.size();
}

std::vector<float> SolveRun::takeAccuracy()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(accuracy_, {});
}

std::vector<std::string> SolveRun::takeMessages()
{
    const std::lock_guard lock(mutex_);
    return std::move(messages_);
}

std::string SolveRun::WorkerControls::text(Control c) const
{
    const std::lock_guard lock(run_.mutex_);
    return run_.texts_[c];
}

void SolveRun::WorkerControls::setText(Control c, const std::string& text)
{
    const std::lock_guard lock(run_.mutex_);
    run_.texts_[c] = text;
    run_.textsWritten_[c] = text;
}

bool SolveRun::WorkerControls::isEnabled(Control c) const
{
    const std::lock_guard lock(run_.mutex_);
    return run_.enabled_[c];
}

void SolveRun::WorkerControls::setEnabled(Control c, bool enabled)
{
    const std::lock_guard lock(run_.mutex_);
    run_.enabled_[c] = enabled;
    run_.enabledWritten_[c] = enabled;
}

void SolveRun::WorkerControls::repaintProgress()
{
    // Called between two steps of the method, so everything written so far is in step.
    run_.publishAccuracy();
    if (!run_.snapshotPending_.exchange(true))
        emit run_.snapshot();
}

void SolveRun::WorkerControls::fileProgress(std::int64_t done, std::int64_t total)
{
    // A snapshot for each thousandth of the file at most, however many lines it has.
    const std::int64_t permille = total > 0 ? done * 1000 / total : 0;
    run_.bytesDone_ = done;
    run_.bytesTotal_ = total;
    if (permille != std::exchange(shownPermille_, permille) && !run_.snapshotPending_.exchange(true))
        emit run_.snapshot();
}

void SolveRun::WorkerDialogs::message(const std::string& text)
{
    const std::lock_guard lock(run_.mutex_);
    run_.messages_.push_back(text);
}

bool SolveRun::WorkerDialogs::askYesNo(const std::string&)
{
    throw std::logic_error("a question on the worker");
}

std::optional<QString> SolveRun::WorkerDialogs::openFile(const QString&)
{
    throw std::logic_error("a file dialog on the worker");
}

std::optional<QString> SolveRun::WorkerDialogs::saveFile(const QString&)
{
    throw std::logic_error("a file dialog on the worker");
}

} // namespace quenta
