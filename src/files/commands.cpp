#include "files/commands.h"

#include <QDir>
#include <QFileInfo>
#include <exception>
#include <utility>

#include "files/system_file.h"
#include "files/system_text.h"
#include "files/text_writer.h"
#include "model/errors.h"
#include "model/messages.h"
#include "model/numbers.h"

namespace quenta {

std::optional<QString> Open_Choose(Form& f)
{
    try {
        if (!f.dir.hasData())
            throw FileError("no data folder");
        return f.user.openFile(f.dir.data());  // nothing when cancelled: nothing changes
    } catch (const std::exception&) {
        f.user.message(f.state.msgBadFile);
        f.controls.setText(Control::sbrStatus, "Failed: nothing opened");
        return std::nullopt;
    }
}

namespace {

// What Open and Paste System do once a system has been read into the grid (or a read failed
// and said so): the in-memory mode, the entry and solve buttons, the order and the proposed
// accuracy in their fields, the arrays sized afresh and a new first step.
bool took_system(Form& f)
{
    WorkingState& s = f.state;
    s.StorageMode = InMemory;
    s.scratch.reset();  // the scratch file is free for other windows
    for (Control c : {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter})
        f.controls.setEnabled(c, true);
    try {
        f.controls.setText(Control::txtN, FormatInteger(s.N));
        f.controls.setText(Control::txtEps, FormatTenth(s.N, s.separator));
        s.allocate(s.R, s.N);
        s.allocate(s.ColNorm2, s.N);
        s.allocate(s.B, s.N);
        s.allocate(s.X, s.N);
        s.allocate(s.A, s.N);
        s.iter = 1;
        s.history.clear();
    } catch (const std::exception&) {
        f.user.message(s.msgNoMemory);
        return false;
    }
    return true;
}

} // namespace

void Open_Load(Form& f, const QString& path)
{
    WorkingState& s = f.state;
    const std::string name = file_label(f.dir, path);
    const auto status = [&f](const std::string& text) { f.controls.setText(Control::sbrStatus, text); };
    LoadOutcome outcome;
    try {
        const QString before = std::exchange(s.CD_FileName, path);
        // A failed load has shown its message; the command goes on for the N it left.
        outcome = open_file(f, path);
        if (outcome == LoadOutcome::Stopped) {
            s.CD_FileName = before;  // stopped: nothing changes
            return status("Stopped: " + name + " not opened, nothing changed");
        }
    } catch (const std::exception&) {
        f.user.message(s.msgBadFile);
        return status("Failed: opening " + name);
    }
    const bool sized = took_system(f);
    status(outcome == LoadOutcome::Loaded && sized ? "Done: opened " + name + ", N = " + FormatInteger(s.N)
                                                  : "Failed: opening " + name);
}

void PasteSystem_Load(Form& f, QStringView text)
{
    const auto status = [&f](const std::string& text) { f.controls.setText(Control::sbrStatus, text); };
    LoadOutcome outcome;
    try {
        outcome = read_system_text(f, text);
    } catch (const std::exception&) {
        f.user.message(f.state.msgNoMemory);  // the text or its grid did not fit in memory
        return status("Failed: nothing pasted");
    }
    if (outcome != LoadOutcome::Loaded)
        return status(outcome == LoadOutcome::Stopped ? "Stopped: nothing pasted, nothing changed" : "Failed: nothing pasted");
    status(took_system(f) ? "Done: pasted a system, N = " + FormatInteger(f.state.N) : "Failed: pasting");
}

void Open_Click(Form& f)
{
    if (const std::optional<QString> chosen = Open_Choose(f))
        Open_Load(f, *chosen);
}

std::optional<QString> Save_Choose(Form& f)
{
    WorkingState& s = f.state;
    try {
        if (s.StorageMode == FileBacked) {
            if (s.connected())
                return s.CD_FileName;  // no dialog: the solution of the connected file
            // The scratch file does not hold the connected file's system: no approximation of
            // it exists to be saved, and a good solution file must not be overwritten.
            f.user.message(s.msgBadFile);
        } else {
            if (!f.dir.hasData())
                throw FileError("no data folder");
            const std::optional<QString> chosen = f.user.saveFile(f.dir.data());
            if (!chosen)
                return std::nullopt;  // cancelled: nothing is written
            s.CD_FileName = *chosen;
            return chosen;
        }
    } catch (const std::exception&) {
        f.user.message(messages::saveFailed(f.dir.data()));
    }
    f.controls.setText(Control::sbrStatus, "Failed: nothing saved");
    return std::nullopt;
}

void Save_Write(Form& f, const QString& system)
{
    WorkingState& s = f.state;
    // The file being worked on, named in the message when something cannot be written.
    QString current = system;
    std::string head = "Done", said;  // what became of each file, in order
    const auto tell = [&f, &said](const QString& file, const char* what) {
        said += (said.empty() ? "" : ", ") + file_label(f.dir, file) + what;
    };
    try {
        if (s.StorageMode != FileBacked)  // No to the replace question skips only the system file
            tell(system, save_file(f, system) ? " saved" : " kept as it was");
        const std::optional<QString> rel = relative_name(f.dir, system);
        if (!rel) {
            f.user.message(messages::OutsideData);
            head = "Failed";
            said += (said.empty() ? "" : ", ") + std::string("the approximation not saved");
        } else {
            current = f.dir.solutions() + QLatin1Char('/') + *rel;
            if (!QDir().mkpath(QFileInfo(current).absolutePath()))
                throw FileError("cannot make the solutions folder");
            tell(current, save_solution(f, current) ? " saved" : " kept as it was");
        }
    } catch (const Cancelled&) {
        head = "Stopped";
        tell(current, " not saved");
    } catch (const std::exception&) {
        f.user.message(messages::saveFailed(current));
        head = "Failed";
        tell(current, " not saved");
    }
    if (head == "Done" && f.controls.stopRequested())
        head = "Stopped";  // a question the stop answered No
    f.controls.setText(Control::sbrStatus, head + ": " + said);
}

void Save_Click(Form& f)
{
    if (const std::optional<QString> system = Save_Choose(f))
        Save_Write(f, *system);
}

} // namespace quenta
