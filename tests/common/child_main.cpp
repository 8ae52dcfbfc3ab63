// A second Quenta process for the tests that need one, reporting on standard output:
//   quenta_child connect HOME FILE    connects FILE into HOME's scratch file, says "connected N=n"
//                                     and what it was told, and stays connected until its
//                                     standard input closes;
//   quenta_child start [--as-nobody]  starts up as a copy whose executable lies in this
//                                     program's folder (after dropping root's privileges), then
//                                     chooses File > Open and cancels the dialog.
#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <cstring>
#include <grp.h>
#include <iostream>
#include <string>
#include <unistd.h>

#include "app/startup.h"
#include "common/fake_form.h"
#include "files/commands.h"
#include "model/numbers.h"
#include "scratch/connect.h"

using namespace quenta;

int main(int argc, char** argv)
{
    const uid_t nobody = 65534;
    if (argc > 2 && std::strcmp(argv[2], "--as-nobody") == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 || ::setresuid(nobody, nobody, nobody) != 0))
        return 2;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quenta"));
    QLocale::setDefault(QLocale::c());
    const bool connect = argc == 4 && std::strcmp(argv[1], "connect") == 0;
    const ProgramDir dir = connect ? ProgramDir(argv[2]) : ProgramDir::locate(QCoreApplication::applicationDirPath());
    testing::FakeForm f(dir);
    if (connect) {
        f.user.files.push_back(QString::fromLocal8Bit(argv[3]));
        Connect_Click(f.form);
        std::cout << "connected N=" << f.state.N << "\n";
    } else {
        Form_Load(f.form);
        f.user.files.push_back(std::nullopt);
        Open_Click(f.form);
        std::cout << "home=" << dir.home().toStdString() << "\n";
        std::cout << "samples=" << QDir(dir.data()).entryList({QStringLiteral("sample*.txt")}).size() << "\n";
        for (const QString& folder : f.user.dialogFolders)
            std::cout << "dialog=" << folder.toStdString() << "\n";
    }
    for (const std::string& m : f.user.messages)
        std::cout << "message=" << m << "\n";
    std::cout.flush();
    for (std::string line; connect && std::getline(std::cin, line);) {
    }
    return 0;
}
