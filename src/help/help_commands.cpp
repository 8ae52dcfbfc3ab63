#include "help/help_commands.h"

#include <QDir>
#include <QPointer>
#include <QUrl>

#include "help/frmHelp.h"

namespace quenta {

namespace {

// The one help window; cleared by itself when the window is closed and deleted.
QPointer<frmHelp> helpWindow;

void showHelp(const QString& caption, const QString& helpFolder, const QString& page)
{
    frmHelp* window = helpWindow;
    if (window == nullptr) {
        window = new frmHelp();
        helpWindow = window;
        window->show();
    } else {
        // Already open: to the front as it is, with its page and history.
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->activateWindow();
    }
    // From here on a step that fails is skipped.
    try {
        window->setWindowTitle(caption);
    } catch (...) {
    }
    try {
        window->WebBrowser1->setSource(QUrl::fromLocalFile(QDir(helpFolder).filePath(page)));
    } catch (...) {
    }
}

} // namespace

void About_Click(const QString& helpFolder)
{
    showHelp(QStringLiteral("About"), helpFolder, QStringLiteral("about.htm"));
}

void UserGuide_Click(const QString& helpFolder)
{
    showHelp(QStringLiteral("User Guide"), helpFolder, QStringLiteral("user_guide.htm"));
}

void GetPaid_Click(const QString& helpFolder)
{
    showHelp(QStringLiteral("Get Paid"), helpFolder, QStringLiteral("ap_agreement.htm"));
}

frmHelp* currentHelpWindow()
{
    return helpWindow.data();
}

} // namespace quenta
