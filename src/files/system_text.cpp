#include "files/system_text.h"

#include <algorithm>

#include "files/line.h"
#include "model/entry.h"
#include "model/errors.h"
#include "model/messages.h"
#include "model/numbers.h"

namespace quenta {

namespace {

// A line of pasted text that is not as a system needs it: its number and what is wrong.
struct BadLine {
    long long line;
    std::string why;
};

std::string count(long long m)
{
    return m == 0 ? "no numbers" : m == 1 ? "1 number" : std::to_string(m) + " numbers";
}

// A token as a message quotes it: at most 24 bytes, not cut inside a character.
std::string quoted(std::string_view token)
{
    if (token.size() <= 24)
        return "\"" + std::string(token) + "\"";
    std::size_t cut = 24;
    while (cut > 0 && (static_cast<unsigned char>(token[cut]) & 0xC0) == 0x80)
        --cut;
    return "\"" + std::string(token.substr(0, cut)) + "...\"";
}

std::string trimmed(const std::string& text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t from = 0, to = text.size();
    while (from < to && blank(text[from]))
        ++from;
    while (to > from && blank(text[to - 1]))
        --to;
    return text.substr(from, to - from);
}

// Nothing, and a message, when `cells` cells are too many for one copy.
bool mayCopy(Form& f, long long cells)
{
    if (cells <= MaxCopyCells)
        return true;
    f.user.message(messages::copyTooLarge(cells, MaxCopyCells));
    return false;
}

} // namespace

std::string paste_separators(std::string_view separator)
{
    return separator == "." ? "\t ;," : "\t ;";
}

LoadOutcome read_system_text(Form& f, QStringView text)
{
    WorkingState& s = f.state;
    const FieldSplitter splitter(paste_separators(s.separator));
    LineReader reader(LineReader::Utf16Text{text}, std::size_t(1) << 20);  // UTF-8, a buffer at a time
    // The system goes into a grid of its own that replaces f.grid once the whole text is read;
    // nobody watches it, so its cells are written in one bulk write.
    SystemGrid read;
    read.beginBulk();
    std::vector<std::string_view> y;
    std::string_view line;
    i16 m = 0;
    long long i = 0;
    int n = 0;
    try {
        while (reader.next(line)) {
            ++i;
            f.controls.fileProgress(reader.position(), reader.size());
            if (f.controls.stopRequested())
                return LoadOutcome::Stopped;
            try {
                splitter.split(line, m, y);
            } catch (const OverflowError&) {
                throw BadLine{i, "holds more than 32767 numbers"};
            }
            if (i == 1) {
                if (m < 2)
                    throw BadLine{i, "holds " + count(m) + ", and each line of a system needs at least 2"};
                n = m - 1;
                try {
                    read.fill_data(static_cast<i16>(n));
                } catch (const QuentaError&) {
                    throw BadLine{i, "holds " + count(m) + ", more than the grid can show in a row"};
                }
            } else if (i > n) {
                if (m == 0)
                    continue;  // blank lines after the system
                throw BadLine{i, "follows the last equation (" + count(n + 1) + " on the first line make " +
                                     std::to_string(n) + " equations)"};
            } else if (m != n + 1) {
                throw BadLine{i, "holds " + count(m) + " where the first line holds " + std::to_string(n + 1)};
            }
            // The line is checked whole before it is written: two tight loops run faster than one
            // that takes turns between the two.
            for (int k = 1; k <= n + 1; ++k) {
                const std::string_view token = y[static_cast<std::size_t>(k)];
                try {
                    ParseSingle(token, s.separator);  // only checks that the text is a number
                } catch (const OverflowError&) {
                    throw BadLine{i, "holds " + quoted(token) + ", which is too large"};
                } catch (const QuentaError&) {
                    throw BadLine{i, "holds " + quoted(token) + ", which is not a number"};
                }
            }
            for (int k = 1; k <= n + 1; ++k)
                read.setText(static_cast<int>(i), aColumn(k), y[static_cast<std::size_t>(k)], s.separator);
        }
        if (i == 0)
            throw BadLine{1, "holds no numbers"};
        if (i < n)
            throw BadLine{i + 1, "is missing (" + count(n + 1) + " on the first line make " + std::to_string(n) + " equations)"};
    } catch (const BadLine& bad) {
        f.user.message(messages::badPaste(bad.line, bad.why));
        return LoadOutcome::Failed;
    }
    read.endBulk();
    s.N = static_cast<i16>(n);
    f.grid.take(read);
    return LoadOutcome::Loaded;
}

std::optional<std::string> Copy_Click(Form& f, const std::vector<CellRange>& selection)
{
    if (selection.empty())
        return std::nullopt;
    CellRange box = selection.front();
    for (const CellRange& r : selection)
        box = {std::min(box.top, r.top), std::min(box.left, r.left), std::max(box.bottom, r.bottom), std::max(box.right, r.right)};
    if (!mayCopy(f, (box.bottom - box.top + 1LL) * (box.right - box.left + 1LL)))
        return std::nullopt;
    std::string out;
    for (int row = box.top; row <= box.bottom; ++row) {
        for (int col = box.left; col <= box.right; ++col) {
            if (col > box.left)
                out += '\t';
            const auto inside = [row, col](const CellRange& r) {
                return row >= r.top && row <= r.bottom && col >= r.left && col <= r.right;
            };
            if (std::any_of(selection.begin(), selection.end(), inside))
                out += f.grid.text(row, col);
        }
        out += '\n';
    }
    return out;
}

std::optional<std::string> CopySystem_Click(Form& f)
{
    if (!showsSystem(f))
        return std::nullopt;
    const int n = f.state.N;
    if (!mayCopy(f, n * (n + 1LL)))
        return std::nullopt;
    std::string out;
    for (int i = 1; i <= n; ++i) {
        for (int k = 1; k <= n + 1; ++k) {
            out += trimmed(f.grid.text(i, aColumn(k)));
            out += k <= n ? '\t' : '\n';
        }
    }
    return out;
}

std::optional<std::string> CopySolution_Click(Form& f)
{
    const i16 n = f.state.N;
    const bool fileBacked = f.grid.fileBackedLayout();
    if (n < 1 || f.grid.rows() != n + 1 || f.grid.cols() != (fileBacked ? 2 : 2 * n + 4))
        return std::nullopt;
    std::string out;
    for (int i = 1; i <= n; ++i) {
        out += f.grid.text(i, xColumn(n, fileBacked));
        out += '\n';
    }
    return out;
}

} // namespace quenta
