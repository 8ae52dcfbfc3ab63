// Feeds arbitrary bytes to the readers of text files: as a system file through open_file and
// connect_to_file, and as a solution file through get_solution. Besides surviving every input,
// the readers must leave a consistent state behind, and a system they read without complaint
// must come back unchanged through save_file and open_file.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/system_file.h"
#include "scratch/connect.h"
#include "common/headless_form.h"

namespace {

using namespace quenta;

QString programDir;

void put(const QString& path, const uint8_t* data, size_t size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
}

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    programDir = QDir::tempPath() + "/quenta_fuzz_" + QString::number(QCoreApplication::applicationPid());
    QDir().mkpath(programDir + "/data/solutions");
    std::atexit([] { QDir(programDir).removeRecursively(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ProgramDir dir{programDir};
    const QString system = dir.data() + "/sys.txt";
    put(system, data, size);
    // The solution file: the input's second half, so that it varies along with the system.
    put(dir.solutions() + "/sys.txt", data + size / 2, size - size / 2);

    WorkingState state;
    state.loadMessages();
    SystemGrid grid;
    bench::QuietControls controls;
    bench::RecordingUser user(true);
    Form form{state, grid, controls, user, dir};

    open_file(form, system);
    check(state.N >= -1);
    if (user.messages.empty() && state.N >= 0) {
        check(grid.rows() == state.N + 1);
        check(grid.cols() == 2 * state.N + 4);
        if (state.N <= 64) {
            std::vector<std::string> before;
            for (int i = 1; i <= state.N; ++i)
                for (int k = 1; k <= state.N + 1; ++k)
                    before.push_back(grid.text(i, 2 * k - 1));
            const QString copy = dir.data() + "/copy.txt";
            check(save_file(form, copy));
            SystemGrid again;
            Form other{state, again, controls, user, dir};
            const int n = state.N;
            open_file(other, copy);
            check(user.messages.empty() && state.N == n);
            std::size_t at = 0;
            for (int i = 1; i <= n; ++i)
                for (int k = 1; k <= n + 1; ++k)
                    check(again.text(i, 2 * k - 1) == before[at++]);
        }
    }

    std::vector<float> x;
    get_solution(form, system, x);
    if (state.N >= 0)
        check(x.size() >= static_cast<std::size_t>(state.N) + 1);

    user.messages.clear();
    connect_to_file(form, system, state.X);
    if (user.messages.empty()) {
        // Read without complaint: every record of the system is in the file.
        const qint64 records = static_cast<qint64>(state.N) * (state.N + 1);
        check(state.N >= 0);
        check(QFileInfo(dir.scratch()).size() >= 128 * records);
        check(state.X.size() == static_cast<std::size_t>(state.N) + 1);
    }
    return 0;
}
