// Quenta: solves a dense linear system A·x = b by cyclic coordinate descent.
#include <QApplication>
#include <QIcon>

#include "app/frmMain.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenta"));
    QApplication::setApplicationVersion(QStringLiteral(QUENTA_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quenta.png")));

    // The window is not modal: from here on the program is driven by its events, and it ends
    // when its last window closes (the help window may stay open after the main window).
    quenta::frmMain window(quenta::ProgramDir::locate(QCoreApplication::applicationDirPath()));
    window.show();
    return app.exec();
}
