#include "files/system_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <string>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

#include "files/line.h"
#include "files/text_writer.h"
#include "model/errors.h"
#include "model/numbers.h"
#include "model/state.h"

namespace quenta {

namespace {

// QFileInfo(path).canonicalFilePath(), with the resolution in a buffer of its own where it
// succeeds: the same realpath and the same cleaning up of its result, without the allocations.
// Qt itself answers for every other case.
QString canonical_path(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    char resolved[PATH_MAX + 1];
    if (!name.isEmpty() && name[0] != ':' && ::realpath(name.constData(), resolved))
        return QDir::cleanPath(QFile::decodeName(resolved));
    return QFileInfo(path).canonicalFilePath();
}

// Whether `path` is `folder` (a canonical path) followed by names of existing entries that are
// no links, all but the last folders: then resolving it gives it back unchanged. Looking at
// those entries alone spares resolving every part of the path again, which a file in the data
// folder asks for each time its solution is looked up. False whenever that cannot be told.
bool plainly_below(const QString& folder, const QString& path)
{
    const qsizetype at = folder.endsWith(QLatin1Char('/')) ? folder.size() - 1 : folder.size();
    const QStringView base = QStringView(folder).left(at);  // without a closing '/'
    if (folder.isEmpty() || path.size() <= at + 1 || path[at] != QLatin1Char('/') || !path.startsWith(base))
        return false;
    // Surrogates and replacement characters are left to the full resolution: the bytes they go
    // to need not be the ones the folder was resolved from.
    for (const QChar c : path)
        if (c.isSurrogate() || c == QChar::ReplacementCharacter)
            return false;
    QByteArray name = QFile::encodeName(path);
    // The parts below the folder, from the last one up: name up to each '/' names one.
    const qsizetype parts = path.count(QLatin1Char('/')) - base.count(QLatin1Char('/'));
    qsizetype end = name.size();
    for (qsizetype k = 0; k < parts; ++k) {
        struct stat st {};
        const bool last = k == 0;
        if (::lstat(name.constData(), &st) != 0 || S_ISLNK(st.st_mode) || (!last && !S_ISDIR(st.st_mode)))
            return false;
        end = name.lastIndexOf('/', end - 1);
        name.truncate(end);
    }
    return true;
}

// The canonical form of a path whose last parts may not exist yet: the longest existing
// ancestor is resolved (links included) and the rest appended as it stands. `known` is a
// canonical folder the path may lie in, whose resolution need not be repeated.
QString canonical_of(const QString& path, const QString& known = {})
{
    QString head = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (plainly_below(known, head))
        return head;
    QStringList tail;
    for (;;) {
        const QString resolved = canonical_path(head);
        if (!resolved.isEmpty()) {
            QString result = resolved;
            for (auto it = tail.crbegin(); it != tail.crend(); ++it) {
                if (!result.endsWith(QLatin1Char('/')))
                    result += QLatin1Char('/');
                result += *it;
            }
            return result;
        }
        const int cut = head.lastIndexOf(QLatin1Char('/'));
        if (cut <= 0)
            return {};
        tail.push_back(head.mid(cut + 1));
        head = head.left(cut);
    }
}

// The replace question: the message with the name run on behind it. False for No.
bool may_write(Form& f, const QString& name)
{
    if (!QFileInfo::exists(name))
        return true;
    return f.user.askYesNo(f.state.msgReplace + name.toStdString());
}

// After line `done` of the `total` lines of a file being written: the progress, and the stop
// that leaves the file as it was.
void line_written(Form& f, int done, int total)
{
    f.controls.fileProgress(done, total);
    if (f.controls.stopRequested())
        throw Cancelled("stopped while writing a file");
}

} // namespace

std::string file_label(const ProgramDir& dir, const QString& path)
{
    const std::optional<QString> rel = relative_name(dir, path);
    return (rel ? *rel : QDir::toNativeSeparators(path)).toStdString();
}

std::optional<QString> relative_name(const ProgramDir& dir, const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QString data = canonical_path(dir.data());
    if (data.isEmpty())
        return std::nullopt;
    const QString full = canonical_of(path, data);
    const QString prefix = data.endsWith(QLatin1Char('/')) ? data : data + QLatin1Char('/');
    if (full.size() <= prefix.size() || !full.startsWith(prefix))
        return std::nullopt;
    return full.mid(prefix.size());
}

std::optional<QString> solution_path(const ProgramDir& dir, const QString& systemPath)
{
    const auto rel = relative_name(dir, systemPath);
    if (!rel)
        return std::nullopt;
    return dir.solutions() + QLatin1Char('/') + *rel;
}

LoadOutcome open_file(Form& f, const QString& path)
{
    WorkingState& s = f.state;
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        f.user.message(s.msgNoFile);
        return LoadOutcome::Failed;
    }
    LineReader reader(path);  // a file that cannot be opened goes to the caller
    // The system is read into a grid of its own that replaces f.grid once the reading ends, also
    // when it ends by a failure: until then a stop can leave everything as it was.
    const i16 oldN = s.N;
    SystemGrid read;
    bool laidOut = false;
    try {
        std::vector<std::string_view> y;
        std::string_view line;
        i16 m = 0;
        int i = 1;
        while (reader.next(line)) {
            f.controls.fileProgress(reader.position(), reader.size());
            if (f.controls.stopRequested()) {
                s.N = oldN;
                return LoadOutcome::Stopped;
            }
            get_row(line, m, y);
            if (i == 1) {
                s.N = sub16(m, 1);
                try {
                    read.fill_data(s.N);
                } catch (const std::exception&) {
                    f.grid.fill_data(s.N);  // an order the grid cannot lay out fails there as well
                    throw;
                }
                laidOut = true;
            }
            const int n = s.N;
            for (int k = 1; k <= n + 1; ++k) {
                if (k > m)
                    throw SubscriptError("too few numbers on a line");
                read.setText(i, aColumn(k), y[static_cast<std::size_t>(k)], s.separator);
            }
            ++i;
            if (i > n)
                break;
        }
        reader.close();
        std::vector<float> x;
        get_solution(f, path, x);
        SystemGrid& grid = laidOut ? read : f.grid;  // a file without lines changes no layout
        const int n = s.N;
        if (n > 0) {
            const int col = xColumn(s.N);
            for (int j = 1; j <= n; ++j)
                grid.setText(j, col, FormatSingle(x[static_cast<std::size_t>(j)], s.separator), s.separator);
        }
    } catch (const std::exception&) {
        reader.close();
        if (laidOut)
            f.grid.take(read);
        f.user.message(s.msgBadFile);
        return LoadOutcome::Failed;
    }
    if (laidOut)
        f.grid.take(read);
    return LoadOutcome::Loaded;
}

bool save_file(Form& f, const QString& name)
{
    if (!may_write(f, name))
        return false;
    const int n = f.state.N;
    TextFileWriter out(name);
    std::string line;
    for (int i = 1; i <= n; ++i) {
        line.clear();
        f.grid.appendTexts(i, aColumn(1), n + 1, 2, ' ', line);
        line += "\r\n";
        out.append(line);
        line_written(f, i, n);
    }
    out.commit();
    return true;
}

bool save_solution(Form& f, const QString& name)
{
    if (!may_write(f, name))
        return false;
    const int n = f.state.N;
    TextFileWriter out(name);
    for (int i = 1; i <= n; ++i) {
        const int col = xColumn(f.state.N, f.state.StorageMode == FileBacked);
        out.append(f.grid.text(i, col));
        out.append(' ');
    }
    out.append("\r\n");
    line_written(f, 1, 1);
    out.commit();
    return true;
}

void get_solution(Form& f, const QString& path, std::vector<float>& x)
{
    const int n = f.state.N;
    if (n < 0)
        return;
    if (x.size() < static_cast<std::size_t>(n) + 1)
        x.resize(static_cast<std::size_t>(n) + 1);
    for (int i = 1; i <= n; ++i)
        x[static_cast<std::size_t>(i)] = 0.0f;
    const auto solution = solution_path(f.dir, path);
    if (!solution || !QFileInfo::exists(*solution))
        return;
    try {
        LineReader reader(*solution);
        std::string_view line;
        if (!reader.next(line))
            throw FileError("empty solution file");
        std::vector<std::string_view> y;
        i16 m = 0;
        get_row(line, m, y);
        for (int i = 1; i <= n; ++i) {
            if (i > m)
                throw SubscriptError("too few numbers in the solution file");
            x[static_cast<std::size_t>(i)] = ParseSingle(y[static_cast<std::size_t>(i)], f.state.separator);
        }
    } catch (const std::exception&) {
        f.user.message(f.state.msgBadFile);
    }
}

} // namespace quenta
