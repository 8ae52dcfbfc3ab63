// Connect of a system of order 2048: 37 MB of text into a scratch file of 537 MB, against
// writing the same number of bytes sequentially through a 64 KiB buffer.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/bench_util.h"
#include "common/fake_form.h"
#include "common/systems.h"
#include "common/temp_dir.h"
#include "scratch/connect.h"

namespace {

using namespace quenta;

constexpr int Order = 2048;

// The reference: the same number of bytes written in order through a 64 KiB buffer.
void write_sequentially(const QString& path, std::int64_t bytes)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT, 0644);
    std::vector<unsigned char> buf(64 * 1024, 0);
    for (std::int64_t done = 0; done < bytes;) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(bytes - done, 64 * 1024));
        buf[0] = static_cast<unsigned char>(done);
        if (::write(fd, buf.data(), chunk) != static_cast<ssize_t>(chunk))
            break;
        done += static_cast<std::int64_t>(chunk);
    }
    ::close(fd);
}

void BM_Connect(benchmark::State& st)
{
    testing::TempProgramDir tmp;
    const QString system = tmp.data("big.txt");
    testing::write_system(system, Order, bench::sample_like());

    testing::FakeForm f(tmp.path(), false);
    WorkingState& state = f.state;
    testing::ScriptedDialogs& user = f.user;
    Form& form = f.form;

    for (auto _ : st) {
        const double before = bench::peak_rss_mb();
        const double connect = bench::best_of_ms(2, [&] { connect_to_file(form, system, state.X); });
        const double peak = bench::peak_rss_mb();
        const std::int64_t bytes = std::int64_t(Order) * (Order + 1) * 128;
        if (!user.messages.empty() || state.N != Order || QFile(form.dir.scratch()).size() != bytes) {
            st.SkipWithError("the system did not connect cleanly");
            return;
        }
        const QString reference = tmp.path() + "/reference.bin";
        const double write = bench::best_of_ms(2, [&] { write_sequentially(reference, bytes); });
        QFile::remove(reference);
        QFile::remove(form.dir.scratch());
        st.counters["connect_ms N=2048"] = connect;
        st.counters["connect_vs_write_ratio N=2048"] = connect / write;
        st.counters["connect_peak_rss_mb N=2048"] = peak;
        st.counters["connect_rss_growth_mb N=2048"] = peak - before;
    }
}
BENCHMARK(BM_Connect)->Iterations(1);

} // namespace
