#include "scratch/connect.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <string_view>

#include "files/line.h"
#include "files/system_file.h"
#include "files/text_writer.h"
#include "model/errors.h"
#include "model/messages.h"
#include "model/numbers.h"
#include "scratch/packed_copy.h"
#include "scratch/scratch_claim.h"
#include "scratch/scratch_writer.h"

namespace quenta {

LoadOutcome connect_to_file(Form& f, const QString& path, std::vector<float>& x, std::shared_ptr<ScratchClaim> claim)
{
    WorkingState& s = f.state;
    s.scratch.reset();  // not connected until every equation is in the file
    std::optional<LineReader> reader;
    std::optional<ScratchWriter> writer;
    std::optional<PackedWriter> packed;  // removed by its destructor unless finished
    try {
        reader.emplace(path);
        if (!claim && !(claim = ScratchClaim::take(f.dir.scratchLock()))) {
            reader.reset();
            f.user.message(messages::scratchInUse(f.dir.scratch()));
            return LoadOutcome::Failed;
        }
        // The old packed copy goes once the scratch file is this window's, whatever happens next.
        QFile::remove(f.dir.scratchPacked());
        writer.emplace(f.dir.scratch());
        packed.emplace(f.dir.scratchPacked());
    } catch (const std::exception&) {
        reader.reset();
        writer.reset();
        packed.reset();
        f.user.message(s.msgBadFile);
        return LoadOutcome::Failed;
    }
    bool writeFailed = false;
    try {
        std::vector<std::string_view> y;
        std::vector<float> row;
        const std::string& separator = s.separator;
        std::string_view line;
        i16 m = 0;
        std::int32_t i = 1;
        bool anyLine = false;
        while (reader->next(line)) {
            f.controls.fileProgress(reader->position(), reader->size());
            if (f.controls.stopRequested()) {
                // Stopped: the scratch file is left unusable as after a failure, without a word.
                writer->discard();
                packed->discard();
                reader->close();
                return LoadOutcome::Stopped;
            }
            anyLine = true;
            get_row(line, m, y);
            if (i == 1) {
                s.N = sub16(m, 1);
                f.controls.setText(Control::txtN, FormatInteger(s.N));
                // A disk too small for the whole system and its packed copy says so before the
                // first record.
                if (s.N > 0) {
                    writer->reserve(static_cast<std::int64_t>(s.N) * (s.N + 1));
                    packed->reserve(s.N);
                }
            }
            const std::int32_t np1 = add16(s.N, 1);
            const std::int32_t base = np1 * (i - 1);
            row.resize(static_cast<std::size_t>(std::max(np1, 0)));
            std::int32_t j = 1;
            try {
                for (; j <= np1; ++j) {
                    if (j > m)
                        throw SubscriptError("too few numbers on a line");
                    row[static_cast<std::size_t>(j - 1)] = ParseSingle(y[static_cast<std::size_t>(j)], separator);
                }
            } catch (...) {
                writer->write(base + 1, row.data(), j - 1);  // the numbers before the bad one
                throw;
            }
            writer->write(base + 1, row.data(), np1);
            if (i <= s.N)
                packed->add(row.data());  // the copy holds the rows of a system, not the value of N = 0
            ++i;
            if (i > s.N)
                break;
        }
        // A file that ends before its N-th line leaves the system incomplete.
        if (!anyLine || i <= s.N)
            throw FileError("the file ends before the last equation");
        reader->close();
        writer->close();
        s.allocate(x, s.N);
    } catch (const WriteError&) {
        writeFailed = true;
    } catch (const std::exception&) {
        // What was read before the failure reaches the file before the user hears of it.
        try {
            writer->close();
        } catch (const WriteError&) {
            writeFailed = true;
        }
        reader->close();
        packed->discard();
        if (!writeFailed) {
            f.user.message(s.msgFormat);
            return LoadOutcome::Failed;
        }
    }
    if (writeFailed) {
        // A half-written scratch file is of no use: its space goes back to the user's files.
        writer->discard();
        packed->discard();
        reader->close();
        f.user.message(messages::saveFailed(f.dir.scratch()));
        return LoadOutcome::Failed;
    }
    try {
        claim->record(f.dir.scratch());
    } catch (const FileError&) {
        packed->discard();
        f.user.message(s.msgBadFile);
        return LoadOutcome::Failed;
    }
    try {
        // The header names data.sle as it was recorded: a copy is read only for that file.
        packed->finish(claim->written());
    } catch (const QuentaError&) {
        packed->discard();  // the records serve on their own
    }
    s.scratch = std::move(claim);
    get_solution(f, path, x);  // a solution file it cannot read leaves zeros: the system is connected
    return LoadOutcome::Loaded;
}

std::optional<QString> Connect_Choose(Form& f)
{
    try {
        if (!f.dir.hasData())
            return std::nullopt;  // no data folder: the command ends without a word
        return f.user.openFile(f.dir.data());  // nothing when cancelled: nothing changes
    } catch (const std::exception&) {
        return std::nullopt;  // a failing dialog ends Connect without a message, as any failure before the loader
    }
}

void Connect_Load(Form& f, const QString& path)
{
    WorkingState& s = f.state;
    const std::string name = file_label(f.dir, path);
    const auto status = [&f](const std::string& text) { f.controls.setText(Control::sbrStatus, text); };
    // A window that is connected keeps its own lock for the new system. Another window's lock
    // refuses the Connect before anything changes; a lock file that cannot be opened is the
    // loader's to report, as a scratch file that cannot be opened.
    std::shared_ptr<ScratchClaim> claim = s.scratch;
    if (!claim) {
        try {
            claim = ScratchClaim::take(f.dir.scratchLock());
            if (!claim) {
                f.user.message(messages::scratchInUse(f.dir.scratch()));
                return status("Failed: connecting " + name);
            }
        } catch (const FileError&) {
            // No lock file: the loader fails to open the scratch file beside it and says so.
        }
    }
    LoadOutcome outcome = LoadOutcome::Failed;
    try {
        s.CD_FileName = path;
        // Whatever the loader reports (it has shown its message), the command goes on with the N
        // and the X it left.
        outcome = connect_to_file(f, path, s.X, std::move(claim));
        s.allocate(s.R, s.N);
        s.allocate(s.ColNorm2, s.N);
        s.StorageMode = FileBacked;
        f.controls.setEnabled(Control::cmdSolution, true);
        f.controls.setEnabled(Control::cmdIter, true);
        f.controls.setText(Control::txtN, FormatInteger(s.N));
        f.controls.setText(Control::txtEps, FormatTenth(s.N, s.separator));
        f.grid.fill_x(s.N, s.X, s.separator);
        s.iter = 1;
        s.history.clear();
    } catch (const std::exception&) {
        // Every failure outside the loader ends the command quietly; what was done stays.
        if (outcome == LoadOutcome::Loaded)
            outcome = LoadOutcome::Failed;
    }
    status(outcome == LoadOutcome::Loaded    ? "Done: connected " + name + ", N = " + FormatInteger(s.N)
           : outcome == LoadOutcome::Stopped ? "Stopped: " + name + " not connected, the scratch file holds no system"
                                             : "Failed: connecting " + name);
}

void Connect_Click(Form& f)
{
    if (const std::optional<QString> chosen = Connect_Choose(f))
        Connect_Load(f, *chosen);
}

} // namespace quenta
