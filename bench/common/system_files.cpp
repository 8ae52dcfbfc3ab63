#include "common/system_files.h"

#include <QFile>
#include <cstdint>
#include <string>

#include "model/numbers.h"

namespace quenta::bench {

void write_system(const QString& path, int n)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    std::uint64_t s = 88172645463325252ULL;
    std::string buf;
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n + 1; ++j) {
            s = s * 6364136223846793005ULL + 1442695040888963407ULL;
            buf += FormatSingle(static_cast<float>(s >> 40) * (1000.0f / 16777216.0f), ".");
            buf += ' ';
        }
        buf += "\r\n";
        if (buf.size() > (1u << 20)) {
            f.write(buf.data(), static_cast<qint64>(buf.size()));
            buf.clear();
        }
    }
    f.write(buf.data(), static_cast<qint64>(buf.size()));
}

} // namespace quenta::bench
