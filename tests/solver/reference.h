#pragma once
// A runner that takes a system through the residual, the norms and sweeps in either mode, with the
// solver's routines or the plain method's.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <functional>
#include <memory>
#include <typeinfo>

#include "common/fake_form.h"
#include "common/plain_method.h"
#include "common/systems.h"
#include "common/temp_dir.h"
#include "model/numbers.h"
#include "scratch/scratch_claim.h"
#include "scratch/scratch_file.h"
#include "solver/iteration.h"

namespace quenta::reference {

using Coefficient = std::function<float(int i, int j)>;  // a(i, j) of [A | b]: j = N + 1 is b(i)
using testing::System;

// The scratch file in `folder` claimed and recorded, as a Connect that read the whole system
// leaves it.
inline void claim_scratch(WorkingState& s, const QString& folder)
{
    const ProgramDir dir(folder);
    s.scratch.reset();
    s.scratch = ScratchClaim::take(dir.scratchLock());
    s.scratch->record(dir.scratch());
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
    testing::load_state(s, sys, r.file);
    SystemGrid grid;
    r.file ? grid.fill_x(s.N, s.X, ".") : grid.fill_data(s.N);
    testing::ScriptedDialogs user;
    std::unique_ptr<ScratchReader> f;
    const QString packed = ProgramDir(QFileInfo(scratch).path()).scratchPacked();
    if (r.file) {
        testing::write_scratch(scratch, sys, -1, r.packed);
        f = std::make_unique<ScratchReader>(scratch, packed);
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
            f = std::make_unique<ScratchReader>(scratch, packed);
        }
        std::string failure;  // "" when the call returned normally
        try {
            if (call == 0)
                r.plain ? plain::ERX(s, c) : ERX(s, f.get(), o);
            else if (call == 1)
                r.plain ? plain::NormA(s, c, user, r.file ? s.msgBadFile : "NoSolution")
                        : void(r.file ? NormA1(s, *f, user, o) : NormA(s, user));
            else
                r.plain ? plain::Step(s, c, grid, r.file) : r.file ? Step1(s, *f, grid, o) : Step(s, grid, o);
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
