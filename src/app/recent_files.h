#pragma once
// File > Recent: the last systems opened or connected, newest first, each with the command it
// was loaded with, kept in the settings between runs when there are settings to keep them in.
#include <QObject>
#include <QString>
#include <vector>

#include "app/command_line.h"

class QMenu;
class QSettings;

namespace quenta {

class RecentFiles : public QObject {
    Q_OBJECT
public:
    static constexpr int Kept = 8;
    struct Entry {
        CommandLine::Load load;
        QString path;
    };

    explicit RecentFiles(QMenu* menu);
    // Reads the list from settings and keeps it there from now on (nullptr: in memory only).
    // Entries that cannot be read are dropped, never a failure.
    void useSettings(QSettings* settings);
    void add(CommandLine::Load load, const QString& path);
    void remove(const QString& path);
    const std::vector<Entry>& entries() const { return entries_; }

signals:
    void chosen(CommandLine::Load load, const QString& path);

private:
    // The menu anew from entries_; store: the list changed and goes to the settings too.
    void rebuild(bool store = true);

    QMenu* menu_;
    QSettings* settings_ = nullptr;
    std::vector<Entry> entries_;
};

} // namespace quenta
