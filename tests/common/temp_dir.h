#pragma once
// A program directory of its own for one test, removed afterwards.
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>
#include <string>

namespace quenta::testing {

class TempProgramDir {
public:
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
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

} // namespace quenta::testing
