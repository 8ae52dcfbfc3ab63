// The four sample systems written at the first start.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "files/samples.h"
#include "files_env.h"
#include "model/numbers.h"

namespace quenta {
namespace {

using testing::FilesEnv;

// Two first starts (one over an old sample2.txt, replaced without a question) write the same
// files; a comma locale writes the same values with commas. Each file holds n lines of n + 1
// numbers in [0, 1000) written by FormatSingle, each followed by one blank, each line by CR LF.
TEST(Samples, FourFilesOfGrowingOrderTheSameOnEveryStart)
{
    FilesEnv a, b, comma;
    create_samples(a.form);
    b.dir.write("data/sample2.txt", "old");
    create_samples(b.form);
    comma.state.separator = ",";
    create_samples(comma.form);
    EXPECT_EQ(a.state.N, 256);
    EXPECT_TRUE(b.user.messages.empty());
    EXPECT_EQ(QDir(a.data("")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"sample1.txt", "sample2.txt", "sample3.txt", "sample4.txt"}));
    std::set<float> seen;
    for (int k = 1; k <= 4; ++k) {
        const QString name = "data/sample" + QString::number(k) + ".txt";
        const std::size_t n = std::size_t(1) << (2 * k);
        const std::string bytes = a.dir.read(name);
        std::string asComma = bytes, rebuilt;
        std::replace(asComma.begin(), asComma.end(), '.', ',');
        EXPECT_TRUE(b.dir.read(name) == bytes && comma.dir.read(name) == asComma) << "sample" << k;
        std::istringstream in(bytes);
        for (std::size_t i = 0; i < n; ++i, rebuilt += "\r\n")
            for (std::size_t j = 0; j <= n; ++j) {
                std::string t;
                in >> t;
                const float v = ParseSingle(t, ".");
                EXPECT_TRUE(v >= 0 && v < 1000 && FormatSingle(v, ".") == t) << t;
                seen.insert(v);
                rebuilt += t + " ";
            }
        EXPECT_TRUE(rebuilt == bytes) << "sample" << k;
    }
    // Spread over the whole range, not a constant or a short cycle.
    EXPECT_LT(*seen.begin(), 1.0f);
    EXPECT_GT(*seen.rbegin(), 999.0f);
    EXPECT_GT(seen.size(), 69000u);
}

} // namespace
} // namespace quenta
