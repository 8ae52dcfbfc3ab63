#include "model/messages.h"

#include <QDir>

namespace quenta::messages {

std::string saveFailed(const QString& path) { return " Sorry, the file could not be saved." + path.toStdString(); }

std::string scratchInUse(const QString& scratchPath)
{
    return " The scratch file " + QDir::toNativeSeparators(scratchPath).toStdString() +
           " is in use by another Quenta window.";
}

std::string badPaste(long long line, const std::string& why)
{
    return " Sorry, the clipboard does not hold a system of equations: line " + std::to_string(line) + " " + why + ".";
}

std::string copyTooLarge(long long cells, long long limit)
{
    return " Sorry, " + std::to_string(cells) + " cells are too many to copy; at most " + std::to_string(limit) +
           " can be copied at once.";
}

std::string noDataFolder(const QStringList& folders)
{
    QStringList shown;
    for (const QString& folder : folders)
        shown.append(QDir::toNativeSeparators(folder));
    return (QStringLiteral(" Quenta cannot create its data folder in ") + shown.join(QStringLiteral(" or in ")) +
            QStringLiteral(". Open, Save and Connect will not work until one of these folders can be written."))
        .toStdString();
}

} // namespace quenta::messages
