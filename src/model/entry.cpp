#include "model/entry.h"

#include <algorithm>

#include "model/errors.h"
#include "model/int16.h"
#include "model/numbers.h"

namespace quenta {

namespace {

// The largest order the in-memory layout can show: 2N+4 columns must stay a 16-bit count.
constexpr int MaxInMemoryOrder = 16381;

Control indexField(int k)
{
    switch (k) {
    case 0: return Control::txtIndex0;
    case 1: return Control::txtIndex1;
    case 2: return Control::txtIndex2;
    default: throw SubscriptError("no such index spinner");
    }
}

// Writes `text` into the cell (row, col) of the in-memory layout after checking that it is a
// number. The row must be an equation of the current system (1..N) and the column a cell of
// that row's layout; anything else is a format failure and leaves the grid as it was.
void acceptCell(Form& f, int row, int col, const std::string& text)
{
    if (f.grid.fileBackedLayout())
        throw ConversionError("the coefficients are not shown in this layout");
    if (row < 1 || row > f.state.N)
        throw SubscriptError("no such equation");
    ParseSingle(text, f.state.separator);  // only checks that the text is a number
    f.grid.setText(row, col, text, f.state.separator);
}

// Accept A(i,j) and Accept B(i); false when msgFormat was shown.
bool acceptA(Form& f)
{
    try {
        const i16 i = ParseInteger(f.controls.text(Control::txtIndex0), f.state.separator);
        const i16 j = ParseInteger(f.controls.text(Control::txtIndex1), f.state.separator);
        const std::string text = f.controls.text(Control::txtA);
        // An unknown outside 1..N would land on the right-hand side or the solution column.
        if (j < 1 || j > f.state.N)
            throw SubscriptError("no such unknown");
        acceptCell(f, i, aColumn(j), text);
        return true;
    } catch (const QuentaError&) {
        f.user.message(f.state.msgFormat);
        return false;
    }
}

bool acceptB(Form& f)
{
    try {
        const i16 i = ParseInteger(f.controls.text(Control::txtIndex2), f.state.separator);
        const std::string text = f.controls.text(Control::txtB);
        acceptCell(f, i, bColumn(f.state.N), text);
        return true;
    } catch (const QuentaError&) {
        f.user.message(f.state.msgFormat);
        return false;
    }
}

// The text of a value cell for its field: a placeholder is no value, and shows as nothing.
std::string valueText(const Form& f, int row, int col, const std::string& placeholder)
{
    std::string text = f.grid.text(row, col);
    return text == placeholder ? std::string() : text;
}

Control chooseA(Form& f, int i, int j)
{
    const std::string placeholder = "a(" + FormatInteger(i) + "," + FormatInteger(j) + ")";
    f.controls.setText(Control::txtIndex0, FormatInteger(i));
    f.controls.setText(Control::txtIndex1, FormatInteger(j));
    f.controls.setText(Control::txtA, valueText(f, i, aColumn(j), placeholder));
    return Control::txtA;
}

Control chooseB(Form& f, int i)
{
    f.controls.setText(Control::txtIndex2, FormatInteger(i));
    f.controls.setText(Control::txtB, valueText(f, i, bColumn(f.state.N), "b(" + FormatInteger(i) + ")"));
    return Control::txtB;
}

} // namespace

void cmdN_Click(Form& f)
{
    f.state.StorageMode = InMemory;
    f.state.scratch.reset();  // the scratch file is free for other windows
    i16 n = 0;
    try {
        n = ParseInteger(f.controls.text(Control::txtN), f.state.separator);
        if (n < 0 || n > MaxInMemoryOrder)
            throw OverflowError("order out of range");
    } catch (const QuentaError&) {
        f.user.message(f.state.msgFormat);
        return;
    }
    f.state.N = n;
    f.grid.fill_data(n);
    f.controls.setEnabled(Control::cmdA, true);
    f.controls.setEnabled(Control::cmdB, true);
    f.controls.setEnabled(Control::cmdSolution, true);
    f.controls.setEnabled(Control::cmdIter, true);
    f.state.iter = 1;
    f.state.history.clear();
}

void cmdA_Click(Form& f) { acceptA(f); }

void cmdB_Click(Form& f) { acceptB(f); }

void cmdUp_Click(Form& f, int k)
{
    const Control field = indexField(k);
    i16 v = add16(ParseInteger(f.controls.text(field), f.state.separator), 1);
    if (v > f.state.N)
        v = f.state.N;
    f.controls.setText(field, FormatInteger(v));
}

void cmdDown_Click(Form& f, int k)
{
    const Control field = indexField(k);
    i16 v = sub16(ParseInteger(f.controls.text(field), f.state.separator), 1);
    if (v < 1)
        v = 1;
    f.controls.setText(field, FormatInteger(v));
}

bool showsSystem(const Form& f)
{
    const int n = f.state.N;
    return n >= 1 && !f.grid.fileBackedLayout() && f.grid.rows() == n + 1 && f.grid.cols() == 2 * n + 4;
}

std::optional<Control> msfgData_Click(Form& f, int row, int col)
{
    if (!showsSystem(f) || row < 1 || row > f.state.N)
        return std::nullopt;
    if (col == bColumn(f.state.N))
        return chooseB(f, row);
    if (col % 2 == 1 && col < bColumn(f.state.N))
        return chooseA(f, row, (col + 1) / 2);
    return std::nullopt;  // an operator cell or the solution column
}

std::optional<Control> txtA_Enter(Form& f)
{
    if (!f.controls.isEnabled(Control::cmdA) || !acceptA(f) || !showsSystem(f))
        return std::nullopt;
    // Accepted: i and j are an equation and an unknown of the system.
    const int n = f.state.N;
    const int i = ParseInteger(f.controls.text(Control::txtIndex0), f.state.separator);
    const int j = ParseInteger(f.controls.text(Control::txtIndex1), f.state.separator);
    if (j < n)
        return chooseA(f, i, j + 1);
    if (i < n)
        return chooseA(f, i + 1, 1);
    return chooseB(f, 1);
}

std::optional<Control> txtB_Enter(Form& f)
{
    if (!f.controls.isEnabled(Control::cmdB) || !acceptB(f) || !showsSystem(f))
        return std::nullopt;
    const int i = ParseInteger(f.controls.text(Control::txtIndex2), f.state.separator);
    return chooseB(f, std::min<int>(i + 1, f.state.N));
}

} // namespace quenta
