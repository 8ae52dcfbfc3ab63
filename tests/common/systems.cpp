#include "common/systems.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/program_dir.h"
#include "scratch/packed_copy.h"
#include "scratch/scratch_file.h"
#include "scratch/scratch_writer.h"

namespace quenta::testing {

System random_system(std::mt19937& rng, int n, const Shape& shape)
{
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const auto scales = [&](bool wide) {
        std::vector<float> v(std::size_t(n), 1.0f);
        for (float& c : v)
            c = wide ? std::pow(10.0f, float(rng() % 22)) : 1.0f;
        return v;
    };
    const std::vector<float> col = scales(shape.wideColumns), row = scales(shape.wideRows);
    const int zero = shape.zeroColumn ? int(rng() % unsigned(n)) : -1;
    System sys;
    sys.n = n;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const float v = unit(rng) * col[std::size_t(j)] * row[std::size_t(i)] * shape.scale;
            sys.a.push_back(j == zero ? 0.0f : i == j && shape.diagonal != 0 ? v + shape.diagonal : v);
        }
    for (int i = 0; i < n; ++i) {
        sys.b.push_back(unit(rng) * shape.b);
        sys.x.push_back(shape.start != 0 ? unit(rng) * shape.start : 0.0f);
    }
    return sys;
}

void load_state(WorkingState& s, const System& sys, bool fileBacked)
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

void write_system(const QString& path, const System& sys)
{
    write_system(path, sys.n, [&sys](int i, int j) { return sys.at(i, j); });
}

std::string records(const std::vector<float>& values)
{
    std::string out(values.size() * 128, '\0');
    for (std::size_t r = 0; r < values.size(); ++r)
        std::memcpy(out.data() + 128 * r, &values[r], 4);  // the build machine is little-endian
    return out;
}

namespace {
QString packed_path(const QString& scratch) { return ProgramDir(QFileInfo(scratch).path()).scratchPacked(); }
} // namespace

void write_packed(const QString& path, const System& sys)
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

void write_scratch(const QString& path, const System& sys, long long keep, bool packed)
{
    QFile::remove(path);
    QFile::remove(packed_path(path));
    {
        const std::int64_t width = sys.n + 1, total = sys.n * width, kept = keep < 0 ? total : std::min<std::int64_t>(keep, total);
        ScratchWriter w(path);
        std::vector<float> row(std::size_t(sys.n) + 1);
        for (int i = 1; i <= sys.n; ++i) {
            for (int j = 1; j <= sys.n + 1; ++j)
                row[std::size_t(j - 1)] = sys.at(i, j);
            const std::int64_t first = width * (i - 1) + 1;
            if (first <= kept)
                w.write(first, row.data(), std::min(width, kept - first + 1));
        }
        w.close();
    }
    if (packed)
        write_packed(path, sys);
}

} // namespace quenta::testing
