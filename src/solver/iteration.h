#pragma once
// The iteration core: cyclic coordinate descent on |A X - B|^2, i.e. Gauss-Seidel on the normal
// equations A'A X = A'B without forming A'A. All arithmetic follows model/arith.h: a failure
// (overflow, division by zero, 0/0) raises ArithmeticError at that operation and every value
// stored before it stays.
#include <functional>

#include "model/form.h"
#include "scratch/scratch_file.h"

namespace quenta {

// Residual R = A X - B (A X minus B), built from scratch. In memory (StorageMode 1) from A and
// B; otherwise row by row from the scratch file `file` (one b read, then the row's a's).
// Per equation i: R(i) = -B(i), then R(i) = A(i,j) X(j) + R(i) for j = 1..N in order.
void ERX(WorkingState& s, ScratchReader* file);

// ColNorm2(i) = sum_j A(j,i)^2, rounded after every term. On a column whose norm is exactly 0
// shows "NoSolution" and returns at once; later columns keep what they held.
void NormA(WorkingState& s, UserDialogs& user);

// One sweep, unknowns 1..N: s = sum_j R(j) A(j,i); s = -s / ColNorm2(i); X(i) += s;
// R(j) += s A(j,i) with er the largest positive R(j) (0 when none); then the solution cell
// (row i, column 2N+3) shows FormatSingle(X(i)).
void Step(WorkingState& s, SystemGrid& grid);
// The same sweep, calling `progress` after every 64th coordinate step (once its grid cell is
// written), so that a long sweep can show how far it has come.
void Step(WorkingState& s, SystemGrid& grid, const std::function<void()>& progress);

} // namespace quenta
