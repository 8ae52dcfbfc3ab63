// The four sample systems written at the first start.
#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>
#include <string>
#include <vector>

#include "files/samples.h"
#include "files_env.h"
#include "model/numbers.h"

namespace quenta {
namespace {

using testing::FilesEnv;

// Splits a sample file into lines (each must end with CR LF) and each line into its numbers
// (each must be followed by exactly one space).
std::vector<std::vector<std::string>> parse_sample(const std::string& bytes)
{
    std::vector<std::vector<std::string>> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t eol = bytes.find("\r\n", pos);
        if (eol == std::string::npos) {
            ADD_FAILURE() << "a line without CR LF at byte " << pos;
            break;
        }
        const std::string line = bytes.substr(pos, eol - pos);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
        std::vector<std::string> numbers;
        std::size_t s = 0;
        while (s < line.size()) {
            const std::size_t sp = line.find(' ', s);
            if (sp == std::string::npos || sp == s) {
                ADD_FAILURE() << "a number not followed by exactly one space: " << line.substr(s, 40);
                break;
            }
            numbers.push_back(line.substr(s, sp - s));
            s = sp + 1;
        }
        lines.push_back(std::move(numbers));
        pos = eol + 2;
    }
    return lines;
}

class Samples : public ::testing::Test {
protected:
    void TearDown() override { setDecimalSeparator(""); }
};

TEST_F(Samples, FourFilesOfGrowingOrderWithValuesBelowAThousand)
{
    setDecimalSeparator(".");
    FilesEnv e;
    e.state.N = 3;
    create_samples(e.form);
    EXPECT_EQ(e.state.N, 256);
    EXPECT_EQ(QDir(e.data("")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"sample1.txt", "sample2.txt", "sample3.txt", "sample4.txt"}));
    std::size_t values = 0, distinct = 0;
    float lowest = 1000, highest = 0;
    std::vector<float> seen;
    for (int k = 1; k <= 4; ++k) {
        const int n = 1 << (2 * k);
        const auto lines = parse_sample(e.dir.read("data/sample" + QString::number(k) + ".txt"));
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(n)) << "sample" << k;
        for (const auto& line : lines) {
            ASSERT_EQ(line.size(), static_cast<std::size_t>(n + 1));
            for (const std::string& t : line) {
                const float v = ParseSingle(t);
                EXPECT_GE(v, 0.0f) << t;
                EXPECT_LT(v, 1000.0f) << t;
                EXPECT_NE(t, "1000");
                EXPECT_EQ(FormatSingle(v), t);  // written by FormatSingle: 7 digits at most
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
                if (seen.size() < 2000)
                    seen.push_back(v);
                ++values;
            }
        }
    }
    EXPECT_EQ(values, 70244u);
    // Spread over the whole range, not a constant or a short cycle.
    EXPECT_LT(lowest, 1.0f);
    EXPECT_GT(highest, 999.0f);
    std::sort(seen.begin(), seen.end());
    distinct = static_cast<std::size_t>(std::unique(seen.begin(), seen.end()) - seen.begin());
    EXPECT_GT(distinct, 1990u);
}

TEST_F(Samples, TwoFirstStartsWriteTheSameFiles)
{
    FilesEnv a, b;
    create_samples(a.form);
    create_samples(b.form);
    for (int k = 1; k <= 4; ++k) {
        const QString name = "data/sample" + QString::number(k) + ".txt";
        const std::string bytes = a.dir.read(name);
        EXPECT_FALSE(bytes.empty());
        EXPECT_EQ(bytes, b.dir.read(name)) << name.toStdString();
    }
    // Different files hold different values.
    EXPECT_NE(a.dir.read("data/sample2.txt").substr(0, 40), a.dir.read("data/sample3.txt").substr(0, 40));
}

TEST_F(Samples, ReplaceExistingFilesWithoutAsking)
{
    FilesEnv e;
    e.dir.write("data/sample2.txt", "old");
    create_samples(e.form);
    EXPECT_TRUE(e.user.messages.empty());
    EXPECT_EQ(parse_sample(e.dir.read("data/sample2.txt")).size(), 16u);
}

TEST_F(Samples, CommaLocaleWritesCommasAndTheSameValues)
{
    setDecimalSeparator(".");
    FilesEnv point;
    create_samples(point.form);
    setDecimalSeparator(",");
    FilesEnv comma;
    create_samples(comma.form);
    const auto p = parse_sample(point.dir.read("data/sample3.txt"));
    const auto c = parse_sample(comma.dir.read("data/sample3.txt"));
    ASSERT_EQ(p.size(), c.size());
    std::size_t withComma = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        ASSERT_EQ(p[i].size(), c[i].size());
        for (std::size_t j = 0; j < p[i].size(); ++j) {
            EXPECT_EQ(c[i][j].find('.'), std::string::npos);
            withComma += c[i][j].find(',') != std::string::npos;
            std::string asPoint = c[i][j];
            std::replace(asPoint.begin(), asPoint.end(), ',', '.');
            EXPECT_EQ(asPoint, p[i][j]);
        }
    }
    EXPECT_GT(withComma, 4000u);
}

} // namespace
} // namespace quenta
