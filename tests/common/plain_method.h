#pragma once
// The method written the plain way, as a yardstick for the solver: every operation in order, every
// value stored as it is produced. a(i, j) gives the coefficient of [A | b], j = N + 1 for b(i):
// from the arrays, or one record read per use when file-backed.
#include <string>

#include "model/arith.h"
#include "model/form.h"
#include "model/numbers.h"

namespace quenta::plain {

template <class Coefficient> void ERX(WorkingState& s, const Coefficient& a)
{
    for (int i = 1; i <= s.N; ++i) {
        s.R[i] = -a(i, s.N + 1);
        for (int j = 1; j <= s.N; ++j)
            s.R[i] = madd(a(i, j), s.X[j], s.R[i]);
    }
}

template <class Coefficient> void NormA(WorkingState& s, const Coefficient& a, UserDialogs& user, const std::string& zeroMessage)
{
    for (int i = 1; i <= s.N; ++i) {
        s.ColNorm2[i] = 0;
        for (int j = 1; j <= s.N; ++j)
            s.ColNorm2[i] = madd(a(j, i), a(j, i), s.ColNorm2[i]);
        if (s.ColNorm2[i] == 0)
            return user.message(zeroMessage);
    }
}

// One sweep: the accumulation loop, then the update loop with the er test. The file-backed sweep
// shows X(i) before the residual update of its step, the in-memory one after; an update that
// fails leaves er as far as it was rebuilt.
template <class Coefficient> void Step(WorkingState& s, const Coefficient& a, SystemGrid& grid, bool fileBacked)
{
    const int n = s.N;
    float* R = s.R.data();
    float* X = s.X.data();
    const float* C = s.ColNorm2.data();
    for (int i = 1; i <= n; ++i) {
        float sum = 0;
        for (int j = 1; j <= n; ++j)
            sum = madd(R[j], a(j, i), sum);
        sum = fdiv(-sum, C[i]);
        X[i] = fadd(sum, X[i]);
        if (fileBacked)
            grid.setText(i, 1, FormatSingle(X[i], "."), ".");
        float er = 0;
        try {
            for (int j = 1; j <= n; ++j) {
                R[j] = madd(sum, a(j, i), R[j]);
                if (R[j] > er)
                    er = R[j];
            }
        } catch (...) {
            s.er = er;
            throw;
        }
        s.er = er;
        if (!fileBacked)
            grid.setText(i, 2 * n + 3, FormatSingle(X[i], "."), ".");
    }
}

} // namespace quenta::plain
