// Quenta: solves a dense linear system A·x = b by cyclic coordinate descent.
#include <QApplication>
#include <QIcon>
#include <QSettings>
#include <QTimer>
#include <cstdio>

#include "app/command_line.h"
#include "app/frmMain.h"

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Quenta"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUENTA_VERSION));
    // --help and --version answer before any window system is asked for.
    QStringList arguments;
    for (int k = 0; k < argc; ++k)
        arguments.append(QString::fromLocal8Bit(argv[k]));
    const quenta::CommandLine line = quenta::parse_command_line(arguments);
    if (line.quit) {
        std::fputs(line.output.toLocal8Bit().constData(), line.exitCode == 0 ? stdout : stderr);
        return line.exitCode;
    }

    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quenta.png")));

    // The window is not modal: from here on the program is driven by its events, and it ends
    // when its last window closes (the help window may stay open after the main window).
    quenta::frmMain window(quenta::ProgramDir::locate(QCoreApplication::applicationDirPath()));
    window.useSettings(std::make_unique<QSettings>(QStringLiteral("Quenta"), QStringLiteral("quenta")));
    window.show();
    // A file named on the command line is loaded once the window is up, so that what its loading
    // says comes after the window.
    QTimer::singleShot(0, &window, [&window, line] { window.load(line.load, line.path); });
    return app.exec();
}
