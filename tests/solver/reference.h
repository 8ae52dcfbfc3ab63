#pragma once
// The method written the plain way, as a yardstick for the solver: every operation in order, every
// value stored as it is produced, one record read per use of a coefficient when file-backed. Plus
// a runner that takes a system through the residual, the norms and sweeps in either mode.
#include <QFile>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/fake_form.h"
#include "common/temp_dir.h"
#include "model/arith.h"
#include "model/numbers.h"
#include "scratch/file_iteration.h"
#include "scratch/scratch_file.h"
#include "solver/iteration.h"

namespace quenta::reference {

// c(i, j) is a coefficient of the augmented matrix [A | b]: j = N + 1 gives b(i).
template <class C> void ERX(WorkingState& s, C c)
{
    for (int i = 1; i <= s.N; ++i) {
        s.R[i] = -c(i, s.N + 1);
        for (int j = 1; j <= s.N; ++j)
            s.R[i] = madd(c(i, j), s.X[j], s.R[i]);
    }
}

template <class C> void NormA(WorkingState& s, C c, UserDialogs& user, const std::string& zeroMessage)
{
    for (int i = 1; i <= s.N; ++i) {
        s.ColNorm2[i] = 0;
        for (int j = 1; j <= s.N; ++j)
            s.ColNorm2[i] = madd(c(j, i), c(j, i), s.ColNorm2[i]);
        if (s.ColNorm2[i] == 0)
            return user.message(zeroMessage);
    }
}

// The file-backed sweep shows X(i) before the residual update of its step, the in-memory one after.
template <class C> void Step(WorkingState& s, C c, SystemGrid& grid, bool file)
{
    for (int i = 1; i <= s.N; ++i) {
        float sum = 0;
        for (int j = 1; j <= s.N; ++j)
            sum = madd(s.R[j], c(j, i), sum);
        sum = fdiv(-sum, s.ColNorm2[i]);
        s.X[i] = fadd(sum, s.X[i]);
        if (file)
            grid.setText(i, 1, FormatSingle(s.X[i]));
        s.er = 0;
        for (int j = 1; j <= s.N; ++j) {
            s.R[j] = madd(sum, c(j, i), s.R[j]);
            if (s.R[j] > s.er)
                s.er = s.R[j];
        }
        if (!file)
            grid.setText(i, 2 * s.N + 3, FormatSingle(s.X[i]));
    }
}

// A system of order n: a is row by row, a[(i-1)*n + (j-1)] = a(i,j).
struct System {
    int n = 0;
    std::vector<float> a, b, x;
    float at(int i, int j) const { return j > n ? b[std::size_t(i - 1)] : a[std::size_t((i - 1) * n + j - 1)]; }
};

inline System make(int n, std::vector<float> a, std::vector<float> b, std::vector<float> x)
{
    return System{n, std::move(a), std::move(b), std::move(x)};
}

// The scratch file of a system, written afresh; only the first `keep` records when keep >= 0.
inline void write_scratch(const QString& path, const System& sys, long long keep = -1)
{
    QFile::remove(path);
    ScratchWriter w(path);
    for (int i = 1; i <= sys.n; ++i)
        for (int j = 1; j <= sys.n + 1; ++j) {
            const std::int32_t r = record_of(i16(i), i16(j), i16(sys.n));
            if (keep < 0 || r <= keep)
                w.write(r, sys.at(i, j));
        }
}

// The working arrays of a run: A and B (in memory) or the file-backed mode, X from the system;
// ColNorm2 and er hold 42 so that what a routine leaves alone shows.
inline void load_state(WorkingState& s, const System& sys, bool fileBacked)
{
    const int n = sys.n;
    s.N = i16(n);
    s.StorageMode = i16(fileBacked ? 2 : 1);
    allocate(s.R, n);
    allocate(s.X, n);
    s.ColNorm2.assign(std::size_t(n) + 1, 42.0f);
    s.er = 42;
    s.A.allocate(fileBacked ? 0 : n);
    allocate(s.B, fileBacked ? 0 : n);
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n && !fileBacked; ++j)
            s.A(i, j) = sys.at(i, j);
        if (!fileBacked)
            s.B[i] = sys.at(i, n + 1);
        s.X[i] = sys.x[std::size_t(i - 1)];
    }
}

inline std::vector<std::uint32_t> bits(const std::vector<float>& v)
{
    std::vector<std::uint32_t> out(v.size());
    if (!v.empty())
        std::memcpy(out.data(), v.data(), v.size() * sizeof(float));
    return out;
}

// What a call left behind; floats compared bit for bit.
struct Snapshot {
    std::string failure;  // empty when the call returned normally
    std::vector<float> X, R, C;
    float er = 0;
    std::vector<std::string> cells;  // the solution column
    std::vector<std::string> messages;
    bool operator==(const Snapshot& o) const
    {
        return failure == o.failure && bits(X) == bits(o.X) && bits(R) == bits(o.R) && bits(C) == bits(o.C) &&
               bits({er}) == bits({o.er}) && cells == o.cells && messages == o.messages;
    }
};

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

struct Plan {
    bool file = false;
    bool plain = false;          // the routines above instead of the solver's
    int sweeps = 6;
    std::vector<float> skew;     // factors applied to the norms once they are built
    long long keep = -1;         // file-backed: the scratch file cut to this many records...
    int cutAt = 0;               // ...before this call (0 the residual, 1 the norms, 2.. the sweeps)
};

// The residual, the norms, then sweeps, up to the first failure; a snapshot after every call.
inline std::vector<Snapshot> run(const QString& scratch, const System& sys, const Plan& r)
{
    WorkingState s;
    s.loadMessages();
    load_state(s, sys, r.file);
    SystemGrid grid;
    r.file ? grid.fill_x(s.N, s.X) : grid.fill_data(s.N);
    testing::ScriptedDialogs user;
    std::unique_ptr<ScratchReader> f;
    if (r.file) {
        write_scratch(scratch, sys);
        f = std::make_unique<ScratchReader>(scratch);
    }
    const auto memory = [&](int i, int j) { return j > s.N ? s.B[i] : s.A(i, j); };
    const auto records = [&](int i, int j) { return f->geta(i16(i), i16(j), s.N); };
    std::vector<Snapshot> out;
    for (int call = 0; call < 2 + r.sweeps; ++call) {
        if (r.file && r.keep >= 0 && call == r.cutAt) {
            f.reset();
            QFile::resize(scratch, r.keep * ScratchRecordLength);
            f = std::make_unique<ScratchReader>(scratch);
        }
        Snapshot snap;
        snap.failure = outcome([&] {
            if (call == 0 && r.plain)
                r.file ? ERX(s, records) : ERX(s, memory);
            else if (call == 0)
                quenta::ERX(s, f.get());
            else if (call == 1 && r.plain)
                r.file ? NormA(s, records, user, s.msgBadFile) : NormA(s, memory, user, "NoSolution");
            else if (call == 1)
                r.file ? NormA1(s, *f, user) : quenta::NormA(s, user);
            else if (r.plain)
                r.file ? Step(s, records, grid, true) : Step(s, memory, grid, false);
            else
                r.file ? Step1(s, *f, grid) : quenta::Step(s, grid);
            for (std::size_t i = 1; call == 1 && i < r.skew.size() && i <= std::size_t(s.N); ++i)
                s.ColNorm2[i] *= r.skew[i];
        });
        snap.X = s.X;
        snap.R = s.R;
        snap.C = s.ColNorm2;
        snap.er = s.er;
        for (int i = 1; i <= s.N; ++i)
            snap.cells.push_back(grid.text(i, r.file ? 1 : 2 * s.N + 3));
        snap.messages = user.messages;
        out.push_back(snap);
        if (!snap.failure.empty())
            break;
    }
    return out;
}

} // namespace quenta::reference
