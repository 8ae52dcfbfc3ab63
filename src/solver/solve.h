#pragma once
// "Find  solution" and "Next Iteration".
#include "model/form.h"

namespace quenta {

void cmdSolution_Click(Form& f);
void cmdIter_Click(Form& f);

// Builds A, B and X from the grid of the in-memory layout, equation by equation: A(i,j) from
// cell (i, 2j-1), then B(i) from (i, 2N+1), then X(i) from (i, 2N+3), each the ParseSingle of
// the cell's text under s.separator (most of them kept parsed by the grid, see numbers()).
// Raises at the first cell that is not a number (ConversionError, OverflowError) or lies outside
// the grid (SubscriptError); the values loaded before it stay. The arrays must be allocated.
void load_grid(WorkingState& s, const SystemGrid& grid);

// Row i's cells a(i,1..N), b(i), x(i) (columns 1, 3, ..., 2N+3) into out[0..width-1], as
// load_grid converts them: the numbers the grid keeps, and where it has none the cell's text
// parsed here, which raises at a cell that is not a number. `done` counts the cells given so far.
void read_grid_row(const SystemGrid& grid, std::string_view separator, int i, int width, float* out, int& done);

} // namespace quenta
