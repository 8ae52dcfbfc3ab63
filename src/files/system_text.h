#pragma once
// A system as clipboard text. Paste System reads it the way Open reads a system file (N from the
// first line, then N lines), with the separators that spreadsheets and NumPy write besides the
// blank; Copy, Copy System and Copy Solution write the grid's texts tab-separated, one grid row
// a line, which is what spreadsheets paste and what Paste System takes back.
#include <QStringView>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/form.h"

namespace quenta {

// The most cells one copy takes: the grid of the largest system holds about 5.4e8.
inline constexpr long long MaxCopyCells = 20'000'000;

// The characters that separate the numbers of a pasted line: tab, blank, semicolon, and the
// comma when the decimal separator is ".".
std::string paste_separators(std::string_view separator);

// Reads `text` as a system into the grid: N is the first line's count of numbers minus one, and
// lines 1..N must each hold N+1 numbers (ParseSingle with the user's separator); blank lines
// after them are ignored. The grid gets the in-memory layout for N with the numbers' texts as
// they stand and the solution column at 0, and N is set. Anything else is shown as one message
// naming the first bad line (Failed), and nothing changes. Progress is reported once a line
// through f.controls; a requested stop ends it early, changing nothing. A failure to hold the
// text or its grid in memory goes to the caller, with nothing changed.
LoadOutcome read_system_text(Form& f, QStringView text);

// A rectangle of grid cells, rows and columns counted as the grid counts them, bounds included.
struct CellRange {
    int top, left, bottom, right;
};

// The texts for the clipboard, or nothing when there is nothing to copy or the copy would take
// more than MaxCopyCells (said in a message):
// - Copy: the cells of the rectangle that bounds `selection`, one grid row a line, the cells
//   separated by tabs; a cell of the rectangle outside the selection is empty.
std::optional<std::string> Copy_Click(Form& f, const std::vector<CellRange>& selection);
// - Copy System: the N lines of a(i,1) ... a(i,N), b(i) of the in-memory layout, blanks around a
//   text dropped. Nothing when the grid shows no system.
std::optional<std::string> CopySystem_Click(Form& f);
// - Copy Solution: the solution column, one value a line, of either layout.
std::optional<std::string> CopySolution_Click(Form& f);

} // namespace quenta
