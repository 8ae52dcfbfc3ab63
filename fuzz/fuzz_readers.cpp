// Feeds arbitrary bytes to the readers of text files: as a system file through open_file and
// connect_to_file, and as a solution file through get_solution. Besides surviving every input,
// the readers must leave a consistent state behind, a system they read without complaint must
// come back unchanged through save_file and open_file, and where Open and Connect both take a
// system, the scratch file must hold the values of the grid's texts.
//
// The files live in a folder in memory (/dev/shm when it can be written, else the temporary
// folder), and the scratch file is removed before every input so that no record of an earlier
// input can stand in for a missing one.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "files/system_file.h"
#include "model/numbers.h"
#include "scratch/connect.h"
#include "scratch/scratch_file.h"
#include "common/fake_form.h"

namespace {

using namespace quenta;

QString programDir;
QByteArray systemName, solutionName, scratchName;

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void put(const QByteArray& path, const uint8_t* data, size_t size)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        std::abort();
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0)
            std::abort();
        data += n;
        size -= static_cast<size_t>(n);
    }
    ::close(fd);
}

QString memoryFolder()
{
    const QString shm = QStringLiteral("/dev/shm");
    const QFileInfo info(shm);
    if (info.isDir() && info.isWritable())
        return shm;
    return QDir::tempPath();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    programDir = memoryFolder() + "/quenta_fuzz_" + QString::number(QCoreApplication::applicationPid());
    QDir().mkpath(programDir + "/data/solutions");
    std::atexit([] { QDir(programDir).removeRecursively(); });
    const ProgramDir dir{programDir};
    systemName = QFile::encodeName(dir.data() + "/sys.txt");
    solutionName = QFile::encodeName(dir.solutions() + "/sys.txt");
    scratchName = QFile::encodeName(dir.scratch());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ProgramDir dir{programDir};
    const QString system = dir.data() + "/sys.txt";
    put(systemName, data, size);
    // The solution file: the input's second half, so that it varies along with the system.
    put(solutionName, data + size / 2, size - size / 2);
    ::unlink(scratchName.constData());

    WorkingState state;
    state.loadMessages();
    state.separator = ".";
    SystemGrid grid;
    testing::FakeControls controls;
    controls.dropTexts = true;
    testing::ScriptedDialogs user(true);
    Form form{state, grid, controls, user, dir};

    open_file(form, system);
    check(state.N >= -1);
    const bool opened = user.messages.empty() && state.N >= 0;
    const int openedN = state.N;
    if (opened) {
        check(grid.rows() == state.N + 1);
        check(grid.cols() == 2 * state.N + 4);
        if (state.N <= 64) {
            std::vector<std::string> before;
            for (int i = 1; i <= state.N; ++i)
                for (int k = 1; k <= state.N + 1; ++k)
                    before.push_back(grid.text(i, 2 * k - 1));
            const QString copy = dir.data() + "/copy.txt";
            check(save_file(form, copy));
            for (const std::string& m : user.messages)  // the copy of an earlier input is replaced
                check(m.rfind(state.msgReplace, 0) == 0);
            user.messages.clear();
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
        struct stat st {};
        check(::stat(scratchName.constData(), &st) == 0 && st.st_size >= ScratchRecordLength * records);
        check(state.X.size() == static_cast<std::size_t>(state.N) + 1);
        if (opened && state.N == openedN && state.N <= 64) {
            // Open kept the texts, Connect their values: they must agree.
            ScratchReader scratch(dir.scratch());
            const i16 n = static_cast<i16>(state.N);
            for (i16 i = 1; i <= n; ++i)
                for (i16 j = 1; j <= n + 1; ++j)
                    check(std::bit_cast<std::uint32_t>(scratch.geta(i, j, n)) ==
                          std::bit_cast<std::uint32_t>(ParseSingle(grid.text(i, 2 * j - 1), ".")));
        }
    }
    return 0;
}
