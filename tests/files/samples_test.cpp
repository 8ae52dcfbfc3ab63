// The four sample systems written at the first start.
#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "files/samples.h"
#include "files_env.h"
#include "model/numbers.h"

namespace quenta {
namespace {

using testing::FilesEnv;
using V = std::vector<std::string>;

// The numbers of each line of a sample file; the bytes must be exactly these numbers, each
// followed by one space, and each line by CR LF.
std::vector<V> parse_sample(const std::string& bytes)
{
    std::vector<V> lines;
    std::string line, rebuilt;
    for (std::istringstream in(bytes); std::getline(in, line);) {
        lines.emplace_back();
        std::istringstream words(line);
        for (std::string t; words >> t; rebuilt += t + " ")
            lines.back().push_back(t);
        rebuilt += "\r\n";
    }
    EXPECT_TRUE(rebuilt == bytes) << "not one space after each number and CR LF after each line";
    return lines;
}

// Two first starts (one over an old sample2.txt, replaced without a question) write the same
// files; a comma locale writes the same values with commas.
TEST(Samples, FourFilesOfGrowingOrderTheSameOnEveryStart)
{
    FilesEnv a, b;
    a.state.N = 3;
    create_samples(a.form);
    b.dir.write("data/sample2.txt", "old");
    create_samples(b.form);
    FilesEnv comma;
    {
        DecimalSeparator separator(",");
        create_samples(comma.form);
    }
    EXPECT_EQ(a.state.N, 256);
    EXPECT_TRUE(b.user.messages.empty());
    EXPECT_EQ(QDir(a.data("")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"sample1.txt", "sample2.txt", "sample3.txt", "sample4.txt"}));
    std::set<float> seen;
    for (int k = 1; k <= 4; ++k) {
        const QString name = "data/sample" + QString::number(k) + ".txt";
        const std::size_t n = std::size_t(1) << (2 * k);
        const std::string bytes = a.dir.read(name);
        std::string asComma = bytes;
        std::replace(asComma.begin(), asComma.end(), '.', ',');
        EXPECT_TRUE(b.dir.read(name) == bytes && comma.dir.read(name) == asComma) << "sample" << k;
        const std::vector<V> lines = parse_sample(bytes);
        ASSERT_EQ(lines.size(), n) << "sample" << k;
        for (const V& line : lines) {
            ASSERT_EQ(line.size(), n + 1);
            for (const std::string& t : line) {
                const float v = ParseSingle(t);
                EXPECT_TRUE(v >= 0 && v < 1000 && t != "1000") << t;
                EXPECT_EQ(FormatSingle(v), t);  // written by FormatSingle: 7 digits at most
                seen.insert(v);
            }
        }
    }
    // Spread over the whole range, not a constant or a short cycle.
    EXPECT_LT(*seen.begin(), 1.0f);
    EXPECT_GT(*seen.rbegin(), 999.0f);
    EXPECT_GT(seen.size(), 69000u);
    EXPECT_NE(a.dir.read("data/sample2.txt").substr(0, 40), a.dir.read("data/sample3.txt").substr(0, 40));
}

} // namespace
} // namespace quenta
