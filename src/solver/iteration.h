#pragma once
// The iteration: cyclic coordinate descent on |A X - B|^2, i.e. Gauss-Seidel on the normal
// equations A'A X = A'B without forming A'A. All arithmetic follows model/arith.h: a failure
// (overflow, division by zero, 0/0) raises ArithmeticError at that operation and every value
// stored before it stays. In memory (StorageMode 1) the coefficients come from A and B; file-backed
// (StorageMode 2) from the scratch file, with the same results bit for bit, and a record the file
// lacks raises FileError where reading that record would. Arrays that do not cover 1..N raise
// SubscriptError at the first missing element.
#include <functional>
#include <string>

#include "model/form.h"
#include "scratch/band.h"
#include "scratch/scratch_file.h"
#include "solver/kernels.h"

namespace quenta {

// How the routines run, for the callers that choose; the defaults are the program's.
struct SweepOptions {
    Kernel* kernel = nullptr;         // the chains' kernel; null: one of Kernel::best()
    BandSize band;                    // the file-backed routines' band of columns
    std::function<void()> progress;   // called after every coordinate step i with i % 64 == 0
    int first = 1;                    // the unknown a sweep starts with: a stopped sweep goes on
};

// Residual R = A X - B, built from scratch. Per equation i: R(i) = -B(i), then
// R(i) = A(i,j) X(j) + R(i) for j = 1..N in order. File-backed: `file` holds [A | b]
// (FileError when it is null). Beside the method, BNorm2 becomes sum_i B(i)^2 in double, of the
// b values it read (0 for N = 0); it is left as it was when ERX fails.
void ERX(WorkingState& s, ScratchReader* file, const SweepOptions& o = {});

// ColNorm2(i) = sum_j A(j,i)^2, rounded after every term. On a column whose norm is exactly 0
// shows "NoSolution" (NormA) or msgBadFile (NormA1) and returns false at once; later columns keep
// what they held. True when no column was zero.
bool NormA(WorkingState& s, UserDialogs& user);
bool NormA1(WorkingState& s, ScratchReader& file, UserDialogs& user, const SweepOptions& o = {});

// One sweep, unknowns 1..N: s = sum_j R(j) A(j,i); s = -s / ColNorm2(i); X(i) += s;
// R(j) += s A(j,i) with er the largest positive R(j) (0 when none). The solution cell of row i
// shows FormatSingle(X(i)): in memory (column 2N+3) after the residual update of step i,
// file-backed (column 1) before it.
void Step(WorkingState& s, SystemGrid& grid, const SweepOptions& o = {});
void Step1(WorkingState& s, ScratchReader& file, SystemGrid& grid, const SweepOptions& o = {});

} // namespace quenta
