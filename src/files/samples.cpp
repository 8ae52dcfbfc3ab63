#include "files/samples.h"

#include <cstdint>

#include "files/text_writer.h"
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

} // namespace

void create_samples(Form& f)
{
    Uniform random;
    i16 size = 1;
    for (int k = 1; k <= 4; ++k) {
        const QString path = f.dir.data() + QStringLiteral("/sample") + QString::number(k) + QStringLiteral(".txt");
        size = mul16(size, 4);
        f.state.N = size;
        TextFileWriter out(path);
        for (int i = 1; i <= size; ++i) {
            for (int j = 1; j <= size + 1; ++j) {
                const float r = random.next();
                out.append(FormatSingle(r * 1000.0f, f.state.separator));  // the product of two floats, rounded once
                out.append(' ');
            }
            out.append("\r\n");
        }
        out.commit();
    }
}

} // namespace quenta
