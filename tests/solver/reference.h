#pragma once
// The method written the plain way, as a yardstick for the solver: every operation in order,
// every value stored as it is produced, one record read per use of a coefficient in the
// file-backed twins. Plus small helpers to set systems up in either mode.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/fake_form.h"
#include "common/temp_dir.h"
#include "model/arith.h"
#include "model/numbers.h"
#include "scratch/scratch_file.h"

namespace quenta::reference {

// ---- in memory ----

inline void ERX(WorkingState& s)
{
    for (int i = 1; i <= s.N; ++i) {
        s.R[i] = -s.B[i];
        for (int j = 1; j <= s.N; ++j)
            s.R[i] = madd(s.A(i, j), s.X[j], s.R[i]);
    }
}

inline void NormA(WorkingState& s, UserDialogs& user)
{
    for (int i = 1; i <= s.N; ++i) {
        s.ColNorm2[i] = 0;
        for (int j = 1; j <= s.N; ++j)
            s.ColNorm2[i] = madd(s.A(j, i), s.A(j, i), s.ColNorm2[i]);
        if (s.ColNorm2[i] == 0) {
            user.message("NoSolution");
            return;
        }
    }
}

inline void Step(WorkingState& s, SystemGrid& grid)
{
    for (int i = 1; i <= s.N; ++i) {
        float sum = 0;
        for (int j = 1; j <= s.N; ++j)
            sum = madd(s.R[j], s.A(j, i), sum);
        sum = fdiv(-sum, s.ColNorm2[i]);
        s.X[i] = fadd(sum, s.X[i]);
        s.er = 0;
        for (int j = 1; j <= s.N; ++j) {
            s.R[j] = madd(sum, s.A(j, i), s.R[j]);
            if (s.R[j] > s.er)
                s.er = s.R[j];
        }
        grid.setText(i, 2 * s.N + 3, FormatSingle(s.X[i]));
    }
}

// ---- file-backed ----

inline void ERX(WorkingState& s, ScratchReader& f)
{
    for (int i = 1; i <= s.N; ++i) {
        s.R[i] = -f.getb(static_cast<i16>(i), s.N);
        for (int j = 1; j <= s.N; ++j)
            s.R[i] = madd(f.geta(static_cast<i16>(i), static_cast<i16>(j), s.N), s.X[j], s.R[i]);
    }
}

inline void NormA1(WorkingState& s, ScratchReader& f, UserDialogs& user)
{
    for (int i = 1; i <= s.N; ++i) {
        s.ColNorm2[i] = 0;
        for (int j = 1; j <= s.N; ++j) {
            const float u = f.geta(static_cast<i16>(j), static_cast<i16>(i), s.N);
            const float v = f.geta(static_cast<i16>(j), static_cast<i16>(i), s.N);
            s.ColNorm2[i] = madd(u, v, s.ColNorm2[i]);
        }
        if (s.ColNorm2[i] == 0) {
            user.message(s.msgBadFile);
            return;
        }
    }
}

inline void Step1(WorkingState& s, ScratchReader& f, SystemGrid& grid)
{
    for (int i = 1; i <= s.N; ++i) {
        float sum = 0;
        for (int j = 1; j <= s.N; ++j)
            sum = madd(f.geta(static_cast<i16>(j), static_cast<i16>(i), s.N), s.R[j], sum);
        sum = fdiv(-sum, s.ColNorm2[i]);
        s.X[i] = fadd(sum, s.X[i]);
        grid.setText(i, 1, FormatSingle(s.X[i]));
        s.er = 0;
        for (int j = 1; j <= s.N; ++j) {
            s.R[j] = madd(f.geta(static_cast<i16>(j), static_cast<i16>(i), s.N), sum, s.R[j]);
            if (s.R[j] > s.er)
                s.er = s.R[j];
        }
    }
}

// ---- systems ----

// A system of order n: a is row by row, a[(i-1)*n + (j-1)] = a(i,j).
struct System {
    int n = 0;
    std::vector<float> a, b, x;
    float at(int i, int j) const { return a[static_cast<std::size_t>((i - 1) * n + (j - 1))]; }
};

inline System make(int n, std::vector<float> a, std::vector<float> b, std::vector<float> x)
{
    return System{n, std::move(a), std::move(b), std::move(x)};
}

// The scratch file of a system; only the first `keep` records when keep >= 0.
inline void write_scratch(const QString& path, const System& sys, long long keep = -1)
{
    ScratchWriter w(path);
    const int n = sys.n;
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n + 1; ++j) {
            const std::int32_t r = record_of(static_cast<i16>(i), static_cast<i16>(j), static_cast<i16>(n));
            if (keep >= 0 && r > keep)
                continue;
            w.write(r, j <= n ? sys.at(i, j) : sys.b[static_cast<std::size_t>(i - 1)]);
        }
    }
    w.close();
}

// The working arrays of a run, with A, B, X from the system (in memory) or X alone (file-backed).
inline void load_state(WorkingState& s, const System& sys, bool fileBacked)
{
    const int n = sys.n;
    s.N = static_cast<i16>(n);
    s.StorageMode = static_cast<i16>(fileBacked ? 2 : 1);
    allocate(s.R, n);
    allocate(s.ColNorm2, n);
    allocate(s.X, n);
    if (!fileBacked) {
        s.A.allocate(n);
        allocate(s.B, n);
        for (int i = 1; i <= n; ++i) {
            for (int j = 1; j <= n; ++j)
                s.A(i, j) = sys.at(i, j);
            s.B[i] = sys.b[static_cast<std::size_t>(i - 1)];
        }
    }
    for (int i = 1; i <= n; ++i)
        s.X[i] = sys.x[static_cast<std::size_t>(i - 1)];
}

// What a call left behind, compared bit for bit.
struct Snapshot {
    std::string failure;  // empty when the call returned normally
    std::vector<std::uint32_t> X, R, C;
    std::uint32_t er = 0;
    std::vector<std::string> cells;  // the solution column
    std::vector<std::string> messages;
    bool operator==(const Snapshot&) const = default;
};

inline std::vector<std::uint32_t> bits(const std::vector<float>& v)
{
    std::vector<std::uint32_t> out(v.size());
    if (!v.empty())
        std::memcpy(out.data(), v.data(), v.size() * sizeof(float));
    return out;
}

inline std::uint32_t bits(float v)
{
    std::uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}

inline Snapshot snapshot(const WorkingState& s, const SystemGrid& grid, int column, const std::string& failure,
                         const std::vector<std::string>& messages)
{
    Snapshot snap;
    snap.failure = failure;
    snap.X = bits(s.X);
    snap.R = bits(s.R);
    snap.C = bits(s.ColNorm2);
    snap.er = bits(s.er);
    for (int i = 1; i <= s.N; ++i)
        snap.cells.push_back(grid.text(i, column));
    snap.messages = messages;
    return snap;
}

// Runs fn and names the failure it raised ("" when none).
template <class F> std::string outcome(F&& fn)
{
    try {
        fn();
    } catch (const ArithmeticError&) {
        return "arithmetic";
    } catch (const FileError&) {
        return "file";
    } catch (const SubscriptError&) {
        return "subscript";
    } catch (const OverflowError&) {
        return "overflow";
    } catch (const ConversionError&) {
        return "conversion";
    }
    return {};
}

} // namespace quenta::reference
