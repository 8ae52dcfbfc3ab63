// The four sample systems written at the first start.
#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "files/samples.h"
#include "files_env.h"
#include "model/numbers.h"

namespace quenta {
namespace {

using testing::FilesEnv;
using V = std::vector<std::string>;

// Splits a sample file into lines, each ending with CR LF, and each line into its numbers, each
// followed by exactly one space.
std::vector<V> parse_sample(const std::string& bytes)
{
    std::vector<V> lines;
    for (std::size_t pos = 0, eol; pos < bytes.size(); pos = eol + 2) {
        if ((eol = bytes.find("\r\n", pos)) == std::string::npos) {
            ADD_FAILURE() << "a line without CR LF at byte " << pos;
            break;
        }
        lines.emplace_back();
        for (std::size_t s = pos, sp; s < eol; s = sp + 1) {
            if ((sp = bytes.find(' ', s)) >= eol || sp == s) {
                ADD_FAILURE() << "a number not followed by exactly one space: " << bytes.substr(s, 40);
                break;
            }
            lines.back().push_back(bytes.substr(s, sp - s));
        }
    }
    return lines;
}

struct Samples : ::testing::Test {
    void TearDown() override { setDecimalSeparator(""); }
};

// Two first starts (one over an old sample2.txt, replaced without a question) write the same
// files; a comma locale writes the same values with commas.
TEST_F(Samples, FourFilesOfGrowingOrderTheSameOnEveryStart)
{
    setDecimalSeparator(".");
    FilesEnv a, b;
    a.state.N = 3;
    create_samples(a.form);
    b.dir.write("data/sample2.txt", "old");
    create_samples(b.form);
    setDecimalSeparator(",");
    FilesEnv comma;
    create_samples(comma.form);
    setDecimalSeparator(".");
    EXPECT_EQ(a.state.N, 256);
    EXPECT_TRUE(b.user.messages.empty());
    EXPECT_EQ(QDir(a.data("")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"sample1.txt", "sample2.txt", "sample3.txt", "sample4.txt"}));
    std::size_t values = 0;
    std::set<float> seen;
    for (int k = 1; k <= 4; ++k) {
        const QString name = "data/sample" + QString::number(k) + ".txt";
        const int n = 1 << (2 * k);
        const std::string bytes = a.dir.read(name);
        EXPECT_EQ(b.dir.read(name), bytes) << k;
        const auto lines = parse_sample(bytes), commaLines = parse_sample(comma.dir.read(name));
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(n)) << "sample" << k;
        ASSERT_EQ(commaLines.size(), lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i].size(), static_cast<std::size_t>(n + 1));
            ASSERT_EQ(commaLines[i].size(), lines[i].size());
            for (std::size_t j = 0; j < lines[i].size(); ++j) {
                const std::string& t = lines[i][j];
                const float v = ParseSingle(t);
                EXPECT_TRUE(v >= 0 && v < 1000 && t != "1000") << t;
                EXPECT_EQ(FormatSingle(v), t);  // written by FormatSingle: 7 digits at most
                std::string asComma = t;
                std::replace(asComma.begin(), asComma.end(), '.', ',');
                EXPECT_EQ(commaLines[i][j], asComma);
                seen.insert(v);
                ++values;
            }
        }
    }
    EXPECT_EQ(values, 70244u);
    // Spread over the whole range, not a constant or a short cycle.
    EXPECT_LT(*seen.begin(), 1.0f);
    EXPECT_GT(*seen.rbegin(), 999.0f);
    EXPECT_GT(seen.size(), 69000u);
    EXPECT_NE(a.dir.read("data/sample2.txt").substr(0, 40), a.dir.read("data/sample3.txt").substr(0, 40));
}

} // namespace
} // namespace quenta
