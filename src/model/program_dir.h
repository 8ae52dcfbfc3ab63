#pragma once
// Where the program keeps its files: the data folder with the samples and the solutions, the
// scratch file with its packed copy and its lock, and the help pages. A build or portable copy keeps them beside
// its executable when it can write there; an installed copy, or one in a folder its user
// cannot write, keeps them in the user's own data folder. Nothing else builds these paths.
#include <QString>
#include <QStringList>

namespace quenta {

class ProgramDir {
public:
    ProgramDir() = default;
    // Data, scratch file and help pages all in `folder` (a test's or a benchmark's folder).
    explicit ProgramDir(const QString& folder);

    // The folders of a copy whose executable lies in `exeDir`. Help pages in
    // exeDir/../share/quenta (and not beside the executable) mark an installed copy: it always
    // keeps its files in `userDir`, so that a copy run as root never writes into a system folder.
    // Any other copy keeps them in exeDir when it may write there, else in `userDir`.
    static ProgramDir locate(const QString& exeDir, const QString& userDir = userFolder());
    // The user's own folder for the program's files (XDG_DATA_HOME/Quenta on Linux).
    static QString userFolder();

    // The folder that holds the data folder and the scratch file.
    const QString& home() const { return home_; }
    QString data() const { return home_ + QStringLiteral("/data"); }
    // Whether the data folder is there. Paths are absolute, so no command changes the working
    // folder; Open, Save and Connect ask this where they used to find out by entering it.
    bool hasData() const;
    QString solutions() const { return home_ + QStringLiteral("/data/solutions"); }
    QString scratch() const { return home_ + QStringLiteral("/data.sle"); }
    // The packed copy of the scratch file's values, written beside it by Connect.
    QString scratchPacked() const { return home_ + QStringLiteral("/data.sle.packed"); }
    // The lock file that a connected window holds while the scratch file is its own.
    QString scratchLock() const { return home_ + QStringLiteral("/data.sle.lock"); }
    // The folder of the help pages.
    const QString& help() const { return help_; }
    // The folders that were considered for the data, in the order tried: named to the user when
    // none of them can hold it.
    const QStringList& tried() const { return tried_; }

private:
    QString home_;
    QString help_;
    QStringList tried_;
};

} // namespace quenta
