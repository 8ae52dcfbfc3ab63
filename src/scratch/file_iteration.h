#pragma once
// The file-backed twins of NormA and Step: the same arithmetic, in the same order, with the
// coefficients read from the scratch file. Results are bit-identical to the in-memory routines.
#include <functional>

#include "model/form.h"
#include "scratch/scratch_file.h"

namespace quenta {

// Column norms from the scratch file; on a zero column shows msgBadFile and returns at once.
void NormA1(WorkingState& s, ScratchReader& file, UserDialogs& user);

// One sweep from the scratch file; the grid cell (row i, column 1) is written right after X(i)
// changes, before the residual update of that step.
void Step1(WorkingState& s, ScratchReader& file, SystemGrid& grid);
// The same sweep, calling `progress` after every 64th coordinate step.
void Step1(WorkingState& s, ScratchReader& file, SystemGrid& grid, const std::function<void()>& progress);

} // namespace quenta
