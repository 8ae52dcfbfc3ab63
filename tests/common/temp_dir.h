#pragma once
// A program directory of its own for one test or benchmark, removed afterwards with all it holds.
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>
#include <string>

namespace quenta::testing {

class TempProgramDir {
public:
    TempProgramDir() = default;
    // Below `parent` instead of the temporary folder, for a benchmark that needs a larger disk.
    explicit TempProgramDir(const QString& parent) : dir_(parent + QStringLiteral("/run-XXXXXX")) {}
    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
    QString data(const QString& name = {}) const { return file(QStringLiteral("data/") + name); }
    // Writes raw bytes to a file below the directory, making the folders it needs.
    void write(const QString& name, const std::string& bytes) const
    {
        const QString full = file(name);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile f(full);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    std::string read(const QString& name) const
    {
        QFile f(file(name));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return f.readAll().toStdString();
    }

private:
    QTemporaryDir dir_;
};

// The data folder made and left empty: no samples are written at start-up, N is 0.
inline void emptyDataFolder(const TempProgramDir& dir) { QDir().mkpath(dir.data()); }

} // namespace quenta::testing
