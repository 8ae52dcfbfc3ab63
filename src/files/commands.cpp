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
        return std::nullopt;
    }
}

namespace {

// What Open and Paste System do once a system has been read into the grid (or a read failed
// and said so): the in-memory mode, the entry and solve buttons, the order and the proposed
// accuracy in their fields, the arrays sized afresh and a new first step.
void took_system(Form& f)
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
        s.accuracy.clear();
    } catch (const std::exception&) {
        f.user.message(s.msgNoMemory);
    }
}

} // namespace

void Open_Load(Form& f, const QString& path)
{
    WorkingState& s = f.state;
    try {
        const QString before = std::exchange(s.CD_FileName, path);
        // A failed load has shown its message; the command goes on for the N it left.
        if (open_file(f, path) == LoadOutcome::Stopped) {
            s.CD_FileName = before;  // stopped: nothing changes
            return;
        }
    } catch (const std::exception&) {
        f.user.message(s.msgBadFile);
        return;
    }
    took_system(f);
}

void PasteSystem_Load(Form& f, QStringView text)
{
    try {
        if (read_system_text(f, text) != LoadOutcome::Loaded)
            return;
    } catch (const std::exception&) {
        f.user.message(f.state.msgNoMemory);  // the text or its grid did not fit in memory
        return;
    }
    took_system(f);
}

void Open_Click(Form& f)
{
    if (const std::optional<QString> chosen = Open_Choose(f))
        Open_Load(f, *chosen);
}

void Save_Click(Form& f)
{
    WorkingState& s = f.state;
    // The file being worked on, named in the message when something cannot be written.
    QString current = f.dir.data();
    try {
        const bool fileBacked = s.StorageMode == FileBacked;
        if (fileBacked && !s.connected()) {
            // The scratch file does not hold the connected file's system: no approximation of
            // it exists to be saved, and a good solution file must not be overwritten.
            f.user.message(s.msgBadFile);
            return;
        }
        if (!fileBacked) {
            if (!f.dir.hasData())
                throw FileError("no data folder");
            const std::optional<QString> chosen = f.user.saveFile(f.dir.data());
            if (!chosen)
                return;  // cancelled: nothing is written
            s.CD_FileName = *chosen;
            current = *chosen;
            save_file(f, *chosen);  // No to the replace question skips only the system file
        }
        const QString system = s.CD_FileName;
        const std::optional<QString> rel = relative_name(f.dir, system);
        if (!rel) {
            f.user.message(messages::OutsideData);
            return;
        }
        const QString target = f.dir.solutions() + QLatin1Char('/') + *rel;
        current = target;
        if (!QDir().mkpath(QFileInfo(target).absolutePath()))
            throw FileError("cannot make the solutions folder");
        save_solution(f, target);
    } catch (const std::exception&) {
        f.user.message(messages::saveFailed(current));
    }
}

} // namespace quenta
