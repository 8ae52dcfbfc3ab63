// `make bench-large`: the file-backed mode at the largest order, N = 16381, whose scratch file
// (34.3 GB) is larger than the page cache, and whose packed copy (1.07 GB) Connect writes beside
// it and the iterations read. Connect and two Next Iterations are measured against
// what the disk does in the same run, a plain sequential write of as many bytes and a direct read
// of them, and the second iteration's sweep against the in-memory sweep of the same system. Needs about 36 GB free in its work folder (QUENTA_BENCH_LARGE_DIR, by default
// large-work beside this program) and removes everything it writes, also when it fails. Run as
// root it empties the page cache before every measured step.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>
#include <sys/statvfs.h>
#include <unistd.h>

#include "common/bench_util.h"
#include "common/fake_form.h"
#include "common/systems.h"
#include "common/temp_dir.h"
#include "scratch/band.h"
#include "scratch/connect.h"
#include "scratch/packed_copy.h"
#include "scratch/scratch_file.h"
#include "solver/iteration.h"
#include "solver/solve.h"

namespace {

using namespace quenta;

constexpr int Order = 16381;
constexpr std::int64_t ScratchBytes = std::int64_t(Order) * (Order + 1) * ScratchRecordLength;
// And the packed copy and the 1.07 GB text.
const std::int64_t NeededBytes = ScratchBytes + PackedLayout::of(Order).bytes() + (std::int64_t(3) << 29);
constexpr std::size_t Block = std::size_t(8) << 20;

void print(const char* name, double value) { std::printf("%s N=%d %.6g\n", name, Order, value), std::fflush(stdout); }

double seconds(const std::function<void()>& fn) { return quenta::bench::best_of_ms(1, fn) / 1000.0; }

// Written data out to the disk and, as root, the page cache emptied: every step starts cold.
void settle()
{
    ::sync();
    if (::geteuid() == 0)
        std::ofstream("/proc/sys/vm/drop_caches") << "3\n";
}

struct Fd {
    int fd;
    explicit Fd(int f) : fd(f)
    {
        if (fd < 0)
            throw std::runtime_error("cannot open a file of the work folder");
    }
    ~Fd() { ::close(fd); }
};

struct AlignedFree {
    void operator()(unsigned char* p) const { std::free(p); }
};

// The reference write: the scratch file's size, in order, into a fresh file with direct I/O in
// aligned blocks of Block bytes, as a disk's sequential speed is measured.
void write_direct(const QString& path)
{
    Fd f(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_DIRECT | O_CLOEXEC, 0644));
    std::unique_ptr<unsigned char, AlignedFree> buf(static_cast<unsigned char*>(std::aligned_alloc(4096, Block)));
    std::memset(buf.get(), 0, Block);
    for (std::int64_t done = 0; done < ScratchBytes;) {
        // Whole blocks; the file is cut back to the scratch file's size afterwards.
        buf.get()[0] = static_cast<unsigned char>(done >> 7);
        if (::pwrite(f.fd, buf.get(), Block, done) != static_cast<ssize_t>(Block))
            throw std::runtime_error("the reference write failed");
        done += static_cast<std::int64_t>(Block);
    }
    if (::ftruncate(f.fd, ScratchBytes) != 0 || ::fsync(f.fd) != 0)
        throw std::runtime_error("the reference write failed");
}

// The reference read: the whole file with direct I/O in aligned blocks of Block bytes.
void read_direct(const QString& path)
{
    Fd f(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECT | O_CLOEXEC));
    std::unique_ptr<unsigned char, AlignedFree> buf(static_cast<unsigned char*>(std::aligned_alloc(4096, Block)));
    std::int64_t done = 0;
    for (ssize_t got; (got = ::pread(f.fd, buf.get(), Block, done)) > 0;)
        done += got;
    if (done != ScratchBytes)
        throw std::runtime_error("the reference read fell short");
}

int run(const QString& work)
{
    QDir().mkpath(work);
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(work).constData(), &fs) != 0)
        throw std::runtime_error("cannot see the free space of " + work.toStdString());
    const double freeBytes = double(fs.f_bavail) * double(fs.f_frsize);
    if (freeBytes < double(NeededBytes)) {
        QDir().rmdir(work);  // only when this run made it and it is empty
        std::fprintf(stderr,
                     "bench-large: needs %.1f GB free in %s, which has %.1f GB; set QUENTA_BENCH_LARGE_DIR "
                     "to a folder on a larger disk\n",
                     double(NeededBytes) / 1e9, qPrintable(work), freeBytes / 1e9);
        return 1;
    }
    const testing::TempProgramDir dir(work);  // removed with all it holds
    if (!dir.isValid())
        throw std::runtime_error("cannot make a folder in " + work.toStdString());
    testing::emptyDataFolder(dir);
    const QString system = dir.data(QStringLiteral("large.txt"));
    print("write_system_s", seconds([&] { testing::write_system(system, Order, bench::sample_like()); }));

    const QString reference = dir.file(QStringLiteral("reference.bin"));
    settle();
    const double write = seconds([&] { write_direct(reference); });
    settle();
    const double read = seconds([&] { read_direct(reference); });
    QFile::remove(reference);
    print("disk_write_s", write);
    print("disk_read_s", read);

    testing::FakeForm f(dir.path(), false);
    WorkingState& state = f.state;
    testing::ScriptedDialogs& user = f.user;
    Form& form = f.form;
    user.toOpen = system;
    const auto connect = [&] {
        settle();
        const double s = seconds([&] { Connect_Click(form); });
        if (!user.messages.empty() || state.N != Order || QFile(form.dir.scratch()).size() != ScratchBytes)
            throw std::runtime_error("the system did not connect cleanly");
        if (!ScratchReader(form.dir.scratch(), form.dir.scratchPacked()).packed(Order))
            throw std::runtime_error("Connect left no packed copy that the iterations would read");
        return s;
    };
    const double fresh = connect();
    print("connect_s", fresh);
    print("connect_vs_disk_write_ratio", fresh / write);
    const double existing = connect();
    print("connect_existing_s", existing);
    print("connect_existing_vs_disk_write_ratio", existing / write);
    print("connect_peak_rss_mb", quenta::bench::peak_rss_mb());

    std::ofstream("/proc/self/clear_refs") << "5\n";  // the peak from here on
    settle();
    const double first = seconds([&] { cmdIter_Click(form); });
    const std::vector<float> x1 = state.X, r1 = state.R, norms1 = state.ColNorm2;  // as the first left them
    settle();
    const double second = seconds([&] { cmdIter_Click(form); });
    if (!user.messages.empty() || state.iter != 3)
        throw std::runtime_error("the iterations did not finish");
    print("file_first_iteration_s", first);
    print("file_sweep_s", second);
    print("file_sweep_vs_disk_read_ratio", second / read);
    // The sweep against the time the disk takes to read the packed copy alone, at the speed the
    // reference read had: the part of the sweep the disk does not explain.
    print("file_sweep_vs_packed_read_ratio", second / (read * double(PackedLayout::of(Order).bytes()) / double(ScratchBytes)));
    print("file_sweep_peak_rss_mb", quenta::bench::peak_rss_mb());

    // The in-memory kernel's sweep of the same system from the same point: [A | b] read from the
    // scratch file into memory, X, R and the norms as the first iteration left them. It must end at the X the second
    // file-backed iteration reached, bit for bit.
    WorkingState memory;
    memory.N = static_cast<i16>(Order);
    memory.StorageMode = InMemory;
    memory.A.allocate(Order);
    allocate(memory.B, Order);
    memory.X = x1, memory.R = r1, memory.ColNorm2 = norms1;
    {
        ScratchReader file(form.dir.scratch(), form.dir.scratchPacked());
        Band band(Order, file);
        for (int j = 1; j <= Order + 1; ++j) {
            if (!band.holds(j))
                band.load(j);
            float* to = j <= Order ? &memory.A(1, j) : &memory.B[1];
            std::memcpy(to, band.column(j), sizeof(float) * Order);
        }
    }
    SystemGrid memoryGrid;
    memoryGrid.fill_data(memory.N);
    const double memorySweep = seconds([&] { Step(memory, memoryGrid); });
    if (memory.X != state.X)
        throw std::runtime_error("the in-memory sweep does not end where the file-backed one did");
    print("memory_sweep_s", memorySweep);
    print("file_sweep_vs_memory_sweep_ratio", second / memorySweep);
    // One more file-backed sweep with the packed copy in the page cache: what the reads cost
    // when the disk has no part in them.
    print("file_sweep_cached_s", seconds([&] { cmdIter_Click(form); }));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray env = qgetenv("QUENTA_BENCH_LARGE_DIR");
    const QString work = env.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/large-work")
                                       : QDir(QString::fromLocal8Bit(env)).absolutePath();
    try {
        return run(work);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-large: %s\n", e.what());
        return 1;
    }
}
