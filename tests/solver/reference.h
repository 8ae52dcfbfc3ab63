#pragma once
// The method written the plain way, as a yardstick for the solver: every operation in order, every
// value stored as it is produced, one record read per use of a coefficient when file-backed. Plus
// a runner that takes a system through the residual, the norms and sweeps in either mode.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <functional>
#include <memory>
#include <typeinfo>

#include "common/fake_form.h"
#include "common/temp_dir.h"
#include "model/arith.h"
#include "model/numbers.h"
#include "scratch/packed_copy.h"
#include "scratch/scratch_claim.h"
#include "scratch/scratch_file.h"
#include "scratch/scratch_writer.h"
#include "solver/iteration.h"

namespace quenta::reference {

using Coefficient = std::function<float(int i, int j)>;  // a(i, j) of [A | b]: j = N + 1 is b(i)

inline void ERX(WorkingState& s, const Coefficient& c)
{
    for (int i = 1; i <= s.N; ++i) {
        s.R[i] = -c(i, s.N + 1);
        for (int j = 1; j <= s.N; ++j)
            s.R[i] = madd(c(i, j), s.X[j], s.R[i]);
    }
}

inline void NormA(WorkingState& s, const Coefficient& c, UserDialogs& user, const std::string& zeroMessage)
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
inline void Step(WorkingState& s, const Coefficient& c, SystemGrid& grid, bool file)
{
    for (int i = 1; i <= s.N; ++i) {
        float sum = 0;
        for (int j = 1; j <= s.N; ++j)
            sum = madd(s.R[j], c(j, i), sum);
        sum = fdiv(-sum, s.ColNorm2[i]);
        s.X[i] = fadd(sum, s.X[i]);
        if (file)
            grid.setText(i, 1, FormatSingle(s.X[i], "."), ".");
        s.er = 0;
        for (int j = 1; j <= s.N; ++j) {
            s.R[j] = madd(sum, c(j, i), s.R[j]);
            s.er = s.R[j] > s.er ? s.R[j] : s.er;
        }
        if (!file)
            grid.setText(i, 2 * s.N + 3, FormatSingle(s.X[i], "."), ".");
    }
}

// A system of order n: a is row by row, a[(i-1)*n + (j-1)] = a(i,j).
struct System {
    int n = 0;
    std::vector<float> a, b, x;
    float at(int i, int j) const { return j > n ? b[std::size_t(i - 1)] : a[std::size_t((i - 1) * n + j - 1)]; }
};

inline QString packed_path(const QString& scratch) { return ProgramDir(QFileInfo(scratch).path()).scratchPacked(); }

// A packed copy of `sys` beside the scratch file at `path`, naming that file as it is now.
inline void write_packed(const QString& path, const System& sys)
{
    PackedWriter p(packed_path(path));
    p.reserve(sys.n);
    std::vector<float> row(std::size_t(sys.n) + 1);
    for (int i = 1; i <= sys.n; ++i) {
        for (int j = 1; j <= sys.n + 1; ++j)
            row[std::size_t(j - 1)] = sys.at(i, j);
        p.add(row.data());
    }
    p.finish(*ScratchIdentity::of(path));
}

// The scratch file of a system, written afresh; only the first `keep` records when keep >= 0.
// With its packed copy when `packed`, else none.
inline void write_scratch(const QString& path, const System& sys, long long keep = -1, bool packed = true)
{
    QFile::remove(path);
    QFile::remove(packed_path(path));
    {
        ScratchWriter w(path);
        for (int i = 1; i <= sys.n; ++i)
            for (int j = 1; j <= sys.n + 1; ++j)
                if (const auto r = record_of(i16(i), i16(j), i16(sys.n)); keep < 0 || r <= keep)
                    w.write(r, sys.at(i, j));
        w.close();
    }
    if (packed)
        write_packed(path, sys);
}

// The scratch file in `folder` claimed and recorded, as a Connect that read the whole system
// leaves it.
inline void claim_scratch(WorkingState& s, const QString& folder)
{
    const ProgramDir dir(folder);
    s.scratch.reset();
    s.scratch = ScratchClaim::take(dir.scratchLock());
    s.scratch->record(dir.scratch());
}

// The working arrays of a run: A and B (in memory) or the file-backed mode, X from the system;
// ColNorm2 and er hold 42 so that what a routine leaves alone shows.
inline void load_state(WorkingState& s, const System& sys, bool fileBacked)
{
    const int n = sys.n, inMemory = fileBacked ? 0 : n;
    s.N = i16(n), s.StorageMode = i16(fileBacked ? 2 : 1), s.er = 42;
    allocate(s.R, n), allocate(s.X, n), allocate(s.B, inMemory), s.A.allocate(inMemory);
    s.ColNorm2.assign(std::size_t(n) + 1, 42.0f);
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n + 1 && !fileBacked; ++j)
            (j > n ? s.B[i] : s.A(i, j)) = sys.at(i, j);
        s.X[i] = sys.x[std::size_t(i - 1)];
    }
}

inline std::vector<std::uint32_t> bits(const std::vector<float>& v)
{
    std::vector<std::uint32_t> out(v.size());
    return std::memcpy(out.data(), v.data(), v.size() * sizeof(float)), out;
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

inline void PrintTo(const Snapshot& s, std::ostream* os)
{
    *os << "{failure '" << s.failure << "', X " << ::testing::PrintToString(s.X) << ", R " << ::testing::PrintToString(s.R) << "}";
}

struct Plan {
    bool file = false;
    bool plain = false;  // the routines above instead of the solver's
    int sweeps = 6;
    long long keep = -1;      // file-backed: the scratch file cut to this many records...
    int cutAt = 0;            // ...before this call (0 the residual, 1 the norms, 2.. the sweeps)
    std::vector<float> skew;  // factors applied to the norms once they are built
    Kernel::Kind kernel = Kernel::Exact;
    BandSize band;
    bool packed = false;  // file-backed: with the packed copy beside the scratch file
    Plan(bool file = false, bool plain = false, int sweeps = 6) : file(file), plain(plain), sweeps(sweeps) {}
};

// The residual, the norms, then sweeps, up to the first failure; a snapshot after every call.
inline std::vector<Snapshot> run(const QString& scratch, const System& sys, const Plan& r)
{
    WorkingState s;
    s.loadMessages();
    load_state(s, sys, r.file);
    SystemGrid grid;
    r.file ? grid.fill_x(s.N, s.X, ".") : grid.fill_data(s.N);
    testing::ScriptedDialogs user;
    std::unique_ptr<ScratchReader> f;
    if (r.file) {
        write_scratch(scratch, sys, -1, r.packed);
        f = std::make_unique<ScratchReader>(scratch, packed_path(scratch));
    }
    Kernel kernel(r.kernel);
    const SweepOptions o{&kernel, r.band, {}};
    const Coefficient c = [&](int i, int j) {
        return r.file ? f->geta(i16(i), i16(j), s.N) : j > s.N ? s.B[std::size_t(i)] : s.A(i, j);
    };
    std::vector<Snapshot> out;
    for (int call = 0; call < 2 + r.sweeps; ++call) {
        if (r.file && r.keep >= 0 && call == r.cutAt) {
            f.reset();
            QFile::resize(scratch, r.keep * ScratchRecordLength);
            f = std::make_unique<ScratchReader>(scratch, packed_path(scratch));
        }
        std::string failure;  // "" when the call returned normally
        try {
            if (call == 0)
                r.plain ? ERX(s, c) : quenta::ERX(s, f.get(), o);
            else if (call == 1)
                r.plain ? NormA(s, c, user, r.file ? s.msgBadFile : "NoSolution")
                        : void(r.file ? NormA1(s, *f, user, o) : quenta::NormA(s, user));
            else
                r.plain ? Step(s, c, grid, r.file) : r.file ? Step1(s, *f, grid, o) : quenta::Step(s, grid, o);
            for (std::size_t i = 1; call == 1 && i < r.skew.size() && i <= std::size_t(s.N); ++i)
                s.ColNorm2[i] *= r.skew[i];
        } catch (const ArithmeticError&) {
            failure = "arithmetic";
        } catch (const FileError&) {
            failure = "file";
        } catch (const QuentaError& e) {
            failure = typeid(e).name();
        }
        out.push_back({failure, s.X, s.R, s.ColNorm2, s.er, {}, user.messages});
        for (int i = 1; i <= s.N; ++i)
            out.back().cells.push_back(grid.text(i, r.file ? 1 : 2 * s.N + 3));
        if (!failure.empty())
            break;
    }
    return out;
}

} // namespace quenta::reference
