#pragma once
// How far the approximation is from the exact solution: the system a run would load, widened to
// double and solved by LU with partial pivoting, against X as the window shows it. The check
// reads into arrays of its own and changes nothing the iteration uses.
#include <Eigen/Core>
#include <optional>
#include <string>

#include "model/form.h"

namespace quenta {

// Above this order the LU would take minutes and 128 MB or more.
constexpr int MaxDirectOrder = 4096;

struct DirectCheck {
    int n = 0;
    double rcond = 0;          // the LU's estimate of 1 / condition number (1-norm)
    double relativeError = 0;  // ||X - x*||_2 / ||x*||_2 (0 when x* = 0 and X = 0)
    double maxError = 0;       // max |X(i) - x*(i)|
    double seconds = 0;
    // Below this reciprocal condition the matrix is singular to working precision, and the
    // errors mean nothing.
    bool singular() const { return !(rcond >= 1e-12); }
};

// Solves a·x* = b in place (a is overwritten by its LU factors, b by x*) and compares x with x*.
DirectCheck compare_with_direct(Eigen::Ref<Eigen::MatrixXd> a, Eigen::VectorXd& b, const Eigen::VectorXd& x);

// The check of the system in the window. In memory the grid's texts are converted as a run
// converts them; file-backed the scratch file is read as the iteration reads it; X is the
// solution column as shown. Refuses with a message (and returns nothing) when there is no
// system, when N is above MaxDirectOrder, when a cell is not a number (msgIncomplete) or when
// the scratch file cannot be read (msgBadFile).
std::optional<DirectCheck> check_against_direct(Form& f);

// File > Check Against Direct Solve: the check of the system in the window, its result in the
// status line (refusals as check_against_direct shows them).
void CheckDirect_Click(Form& f);

// The result in one line for the status line: relative error, largest error, condition
// estimate and time, or that the matrix is singular to working precision.
std::string describe(const DirectCheck& c, std::string_view separator);

} // namespace quenta
