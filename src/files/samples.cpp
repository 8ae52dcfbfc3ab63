#include "files/samples.h"

#include <QFile>
#include <cstdint>
#include <string>

#include "model/errors.h"
#include "model/numbers.h"

namespace quenta {

namespace {

// A 64-bit linear congruential generator (the multiplier and increment of Knuth's MMIX) written
// out here, so that its sequence does not depend on the standard library: every machine draws
// the same values. Its top 24 bits make a float in [0, 1) exactly.
class Uniform {
public:
    float next()
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<float>(state_ >> 40) * (1.0f / 16777216.0f);
    }

private:
    std::uint64_t state_ = 0x5DEECE66DULL;  // the fixed initial state
};

void write_all(QFile& file, const std::string& bytes)
{
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        throw FileError("cannot write " + file.fileName().toStdString());
}

} // namespace

void create_samples(Form& f)
{
    Uniform random;
    std::string buffer;
    constexpr std::size_t Chunk = std::size_t(1) << 20;
    buffer.reserve(Chunk + 8192);
    i16 size = 1;
    for (int k = 1; k <= 4; ++k) {
        const QString path = f.dir.data() + QStringLiteral("/sample") + QString::number(k) + QStringLiteral(".txt");
        size = mul16(size, 4);
        f.state.N = size;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw FileError("cannot create " + path.toStdString());
        buffer.clear();
        for (int i = 1; i <= size; ++i) {
            for (int j = 1; j <= size + 1; ++j) {
                const float r = random.next();
                buffer += FormatSingle(r * 1000.0f);  // the product of two floats, rounded once
                buffer += ' ';
            }
            buffer += "\r\n";
            if (buffer.size() >= Chunk) {
                write_all(file, buffer);
                buffer.clear();
            }
        }
        write_all(file, buffer);
        if (!file.flush())
            throw FileError("cannot write " + path.toStdString());
        file.close();
    }
}

} // namespace quenta
