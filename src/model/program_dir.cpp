#include "model/program_dir.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quenta {

namespace {

// The page every copy ships: it tells where the help pages are.
const QString HelpMarker = QStringLiteral("/about.htm");

} // namespace

ProgramDir::ProgramDir(const QString& folder) : home_(folder), help_(folder), tried_{folder} {}

ProgramDir ProgramDir::locate(const QString& exeDir, const QString& userDir)
{
    ProgramDir dir(exeDir);
    const QString installedHelp = QDir::cleanPath(exeDir + QStringLiteral("/../share/quenta"));
    if (!QFileInfo::exists(exeDir + HelpMarker) && QFileInfo::exists(installedHelp + HelpMarker)) {
        dir.help_ = installedHelp;
        dir.home_ = userDir;
        dir.tried_ = QStringList{userDir};
    } else if (!QFileInfo(exeDir).isWritable()) {
        dir.home_ = userDir;
        dir.tried_.append(userDir);
    }
    return dir;
}

bool ProgramDir::hasData() const { return QFileInfo(data()).isDir(); }

QString ProgramDir::userFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation); }

} // namespace quenta
