#pragma once
// Systems for the tests and the benchmarks: random ones, their system files, and the scratch
// file with its packed copy as Connect leaves them.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <random>
#include <string>
#include <vector>

#include "model/numbers.h"
#include "model/state.h"

namespace quenta::testing {

// A system of order n: a is row by row, a[(i-1)*n + (j-1)] = a(i,j); x the start values.
struct System {
    int n = 0;
    std::vector<float> a, b, x;
    float at(int i, int j) const { return j > n ? b[std::size_t(i - 1)] : a[std::size_t((i - 1) * n + j - 1)]; }
};

// How random_system draws: coefficients uniform in (-1, 1) times `scale`, b uniform in (-b, b).
struct Shape {
    float diagonal = 0;  // added to every a(i,i)
    float scale = 1;
    float b = 1;
    float start = 0;                              // X uniform in (-start, start), else all zero
    bool wideColumns = false, wideRows = false;  // columns or rows scaled by powers of ten up to 1e21
    bool zeroColumn = false;                     // one column, drawn at random, all zero
};
System random_system(std::mt19937& rng, int n, const Shape& shape);

// The working arrays of a run: A and B (in memory) or the file-backed mode, X from the system;
// ColNorm2 and er hold 42 so that what a routine leaves alone shows.
void load_state(WorkingState& s, const System& sys, bool fileBacked);

// A system file of order n as Save writes it: value(i, j) for a(i, j), j = n + 1 for b(i), each
// number followed by a blank and each line by CR LF. Streamed through a buffer, so that the
// largest order needs no matrix in memory; the folders it needs are made.
template <class Value> void write_system(const QString& path, int n, Value&& value)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    std::string buf;
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n + 1; ++j) {
            buf += FormatSingle(static_cast<float>(value(i, j)), ".");
            buf += ' ';
        }
        buf += "\r\n";
        if (buf.size() > (1u << 20)) {
            f.write(buf.data(), static_cast<qint64>(buf.size()));
            buf.clear();
        }
    }
    f.write(buf.data(), static_cast<qint64>(buf.size()));
}
void write_system(const QString& path, const System& sys);

// The bytes of scratch records 1, 2, ... holding `values`: the float's four little-endian bytes,
// then 124 zero bytes.
std::string records(const std::vector<float>& values);

// The scratch file of a system at `path`, written afresh; only its first `keep` records when
// keep >= 0. With its packed copy, naming the file as it is now, when `packed`, else none.
void write_scratch(const QString& path, const System& sys, long long keep = -1, bool packed = true);
// A packed copy of `sys` beside the scratch file at `path`, naming that file as it is now.
void write_packed(const QString& path, const System& sys);

} // namespace quenta::testing
