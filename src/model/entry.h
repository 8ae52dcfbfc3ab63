#pragma once
// The entry commands: Accept N, Accept A(i,j), Accept B(i) and the three index spinners; and the
// gestures that speed typing a system in: a click on a value cell chooses it, Enter accepts the
// value and chooses the next cell.
#include <optional>

#include "model/form.h"

namespace quenta {

void cmdN_Click(Form& f);
void cmdA_Click(Form& f);
void cmdB_Click(Form& f);
// k is the spinner: 0 = i of A(i,j), 1 = j of A(i,j), 2 = i of B(i).
void cmdUp_Click(Form& f, int k);
void cmdDown_Click(Form& f, int k);

// Whether the grid shows the in-memory layout of the current N (at least 1), the only layout
// whose value cells can be chosen or copied as a system.
bool showsSystem(const Form& f);
// A click on the grid cell (row, col). On a(i,j) of the in-memory layout it sets txtIndex(0)
// and txtIndex(1) to i and j and txtA to the cell's text; on b(i) it sets txtIndex(2) to i and
// txtB to the text. A placeholder shows as an empty field. Any other cell, and every cell of the
// file-backed layout, chooses nothing. Returns the value field written (txtA or txtB).
std::optional<Control> msfgData_Click(Form& f, int row, int col);
// Enter in txtA: Accept A(i,j) when cmdA is enabled; when the value is taken, the next
// coefficient of the row, or the first of the next row, is chosen as a click would choose it,
// and after a(N,N) b(1). Returns the value field that now holds the chosen cell, nothing when
// Enter did nothing or the value was refused (msgFormat shown).
std::optional<Control> txtA_Enter(Form& f);
// Enter in txtB: Accept B(i) when cmdB is enabled, then b(i+1) is chosen; after b(N), b(N) again.
std::optional<Control> txtB_Enter(Form& f);

} // namespace quenta
