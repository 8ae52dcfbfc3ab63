// Accept N, Accept A(i,j), Accept B(i) and the index spinners on a form without a window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fake_form.h"
#include "common/temp_dir.h"
#include "model/entry.h"
#include "model/numbers.h"

namespace quenta {
namespace {

using testing::FakeForm;
using testing::TempProgramDir;

const Control entryButtons[] = {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter};

class Entry : public ::testing::Test {
protected:
    void SetUp() override { setDecimalSeparator("."); }
    void TearDown() override { setDecimalSeparator("."); }

    void acceptN(const std::string& text)
    {
        f.controls.setText(Control::txtN, text);
        cmdN_Click(f.form);
    }
    void acceptA(int i, int j, const std::string& text)
    {
        f.controls.setText(Control::txtIndex0, FormatInteger(i));
        f.controls.setText(Control::txtIndex1, FormatInteger(j));
        f.controls.setText(Control::txtA, text);
        cmdA_Click(f.form);
    }
    void acceptB(int i, const std::string& text)
    {
        f.controls.setText(Control::txtIndex2, FormatInteger(i));
        f.controls.setText(Control::txtB, text);
        cmdB_Click(f.form);
    }
    std::vector<std::string> allTexts() const
    {
        std::vector<std::string> out;
        for (int r = 0; r < f.grid.rows(); ++r)
            for (int c = 0; c < f.grid.cols(); ++c)
                out.push_back(f.grid.text(r, c));
        return out;
    }
    std::vector<std::string> messages() const { return f.user.messages; }
    std::string format() const { return f.state.msgFormat; }

    TempProgramDir dir;
    FakeForm f{dir.path()};
};

TEST_F(Entry, AcceptNLaysOutTheSystemAndEnablesTheButtons)
{
    for (Control c : entryButtons)
        ASSERT_FALSE(f.controls.isEnabled(c));
    f.state.iter = 7;
    f.controls.setText(Control::txtEps, "0.25");
    f.controls.setText(Control::txtA, "keep");
    acceptN("3");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(f.state.N, 3);
    ASSERT_TRUE(f.state.StorageMode.has_value());
    EXPECT_EQ(*f.state.StorageMode, 1);
    EXPECT_EQ(f.state.iter, 1);
    EXPECT_EQ(f.grid.rows(), 4);
    EXPECT_EQ(f.grid.cols(), 10);
    EXPECT_EQ(f.grid.text(3, 5), "a(3,3)");
    EXPECT_EQ(f.grid.text(2, 7), "b(2)");
    EXPECT_EQ(f.grid.text(1, 9), "0");
    for (Control c : entryButtons)
        EXPECT_TRUE(f.controls.isEnabled(c));
    // Nothing else is touched: the fields as typed, the indexes, the arrays.
    EXPECT_EQ(f.controls.text(Control::txtN), "3");
    EXPECT_EQ(f.controls.text(Control::txtEps), "0.25");
    EXPECT_EQ(f.controls.text(Control::txtA), "keep");
    EXPECT_EQ(f.controls.text(Control::txtIndex0), "1");
    EXPECT_EQ(f.state.A.order(), 0);
    EXPECT_TRUE(f.state.B.empty());
    EXPECT_TRUE(f.state.X.empty());
}

TEST_F(Entry, AcceptNRoundsAndReadsBlanksAndExponents)
{
    acceptN("4.5");
    EXPECT_EQ(f.state.N, 4);
    acceptN(" 2 ");
    EXPECT_EQ(f.state.N, 2);
    acceptN("5.5");
    EXPECT_EQ(f.state.N, 6);
    acceptN("1e1");
    EXPECT_EQ(f.state.N, 10);
    EXPECT_EQ(f.grid.cols(), 24);
    acceptN("0");
    EXPECT_EQ(f.state.N, 0);
    EXPECT_EQ(f.grid.rows(), 1);
    EXPECT_EQ(f.grid.cols(), 4);
    EXPECT_TRUE(messages().empty());
}

TEST_F(Entry, AcceptNWithTheLargestOrder)
{
    acceptN("16381");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(f.state.N, 16381);
    EXPECT_EQ(f.grid.cols(), 32766);
}

TEST_F(Entry, AcceptNFailureChangesOnlyTheStorageMode)
{
    acceptN("3");
    acceptA(2, 2, "7");
    f.state.StorageMode = i16{2};
    f.state.iter = 5;
    const auto before = allTexts();
    for (const char* text : {"abc", "", "40000", "-1", "16382", "32767", "inf", "2,5"}) {
        f.user.messages.clear();
        acceptN(text);
        EXPECT_EQ(messages(), std::vector<std::string>{format()}) << '"' << text << '"';
        EXPECT_EQ(*f.state.StorageMode, 1);
        f.state.StorageMode = i16{2};
        EXPECT_EQ(f.state.N, 3);
        EXPECT_EQ(f.state.iter, 5);
        EXPECT_EQ(f.grid.rows(), 4);
        EXPECT_EQ(allTexts(), before) << '"' << text << '"';
    }
}

TEST_F(Entry, FailedFirstAcceptNLeavesTheButtonsDisabled)
{
    acceptN("abc");
    EXPECT_EQ(messages(), std::vector<std::string>{format()});
    EXPECT_EQ(*f.state.StorageMode, 1);
    EXPECT_EQ(f.state.N, 0);
    EXPECT_EQ(f.grid.rows(), 2);
    EXPECT_EQ(f.grid.cols(), 2);
    for (Control c : entryButtons)
        EXPECT_FALSE(f.controls.isEnabled(c));
}

TEST_F(Entry, AcceptNAgainWipesWhatWasEntered)
{
    acceptN("2");
    acceptA(1, 1, "3");
    acceptB(2, "4");
    f.grid.setText(1, 7, "0.5");  // a solution shown by a sweep
    acceptN("2");
    SystemGrid fresh;
    fresh.fill_data(2);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(f.grid.text(r, c), fresh.text(r, c)) << r << "," << c;
}

TEST_F(Entry, AcceptAWritesTheTextExactlyAsTyped)
{
    acceptN("3");
    f.state.iter = 4;
    acceptA(2, 3, "2.5E3");
    acceptA(3, 1, " -0.5 ");
    acceptA(1, 2, "+1e-50");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(f.grid.text(2, 5), "2.5E3");
    EXPECT_EQ(f.grid.text(3, 1), " -0.5 ");
    EXPECT_EQ(f.grid.text(1, 3), "+1e-50");
    EXPECT_EQ(f.grid.text(2, 3), "a(2,2)");
    EXPECT_EQ(f.state.iter, 4);
    // The field keeps its text and the indexes stay where they were.
    EXPECT_EQ(f.controls.text(Control::txtA), "+1e-50");
    EXPECT_EQ(f.controls.text(Control::txtIndex0), "1");
    EXPECT_EQ(f.controls.text(Control::txtIndex1), "2");
    // Overwriting a value.
    acceptA(2, 3, "1");
    EXPECT_EQ(f.grid.text(2, 5), "1");
}

TEST_F(Entry, AcceptARefusesTextThatIsNotANumber)
{
    acceptN("3");
    acceptA(1, 1, "5");
    const auto before = allTexts();
    for (const char* text : {"", "abc", "1e39", "nan", "1,5", "a(1,1)"}) {
        f.user.messages.clear();
        acceptA(1, 1, text);
        EXPECT_EQ(messages(), std::vector<std::string>{format()}) << '"' << text << '"';
        EXPECT_EQ(allTexts(), before);
    }
    EXPECT_EQ(f.grid.text(1, 1), "5");
}

TEST_F(Entry, AcceptARefusesCellsOutsideTheSystem)
{
    acceptN("3");
    const auto before = allTexts();
    // Rows beyond the grid, the header row, and unknowns whose column would be the right-hand
    // side (j = N+1), the solution column (j = N+2) or beyond the grid.
    for (auto [i, j] : {std::pair{4, 1}, {0, 1}, {1, 0}, {1, 4}, {1, 5}, {1, 6}, {-1, 1}}) {
        f.user.messages.clear();
        acceptA(i, j, "1");
        EXPECT_EQ(messages(), std::vector<std::string>{format()}) << i << "," << j;
        EXPECT_EQ(allTexts(), before) << i << "," << j;
    }
    // Index texts that do not convert.
    f.user.messages.clear();
    f.controls.setText(Control::txtIndex0, "x");
    f.controls.setText(Control::txtIndex1, "1");
    cmdA_Click(f.form);
    EXPECT_EQ(messages(), std::vector<std::string>{format()});
    f.controls.setText(Control::txtIndex0, "1");
    f.controls.setText(Control::txtIndex1, "99999");
    cmdA_Click(f.form);
    EXPECT_EQ(messages().size(), 2u);
    EXPECT_EQ(allTexts(), before);
}

TEST_F(Entry, AcceptBWritesTheRightHandSideColumn)
{
    acceptN("3");
    acceptB(2, "-7");
    acceptB(3, "1E+07");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(f.grid.text(2, 7), "-7");
    EXPECT_EQ(f.grid.text(3, 7), "1E+07");
    EXPECT_EQ(f.grid.text(1, 7), "b(1)");

    const auto before = allTexts();
    acceptB(2, "");
    acceptB(2, "b(2)");
    acceptB(4, "1");
    acceptB(0, "1");
    EXPECT_EQ(messages(), std::vector<std::string>(4, format()));
    EXPECT_EQ(allTexts(), before);
}

TEST_F(Entry, AcceptUsesTheUsersSeparator)
{
    setDecimalSeparator(",");
    acceptN("2");
    acceptA(1, 1, "1,5");
    acceptB(1, "-0,25E1");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(f.grid.text(1, 1), "1,5");
    EXPECT_EQ(f.grid.text(1, 5), "-0,25E1");
    acceptA(1, 2, "1.5");
    EXPECT_EQ(messages(), std::vector<std::string>{format()});
    EXPECT_EQ(f.grid.text(1, 3), "a(1,2)");
}

TEST_F(Entry, AcceptIsRefusedWhileTheApproximationAloneIsShown)
{
    f.state.N = 3;
    f.state.StorageMode = i16{2};
    f.grid.fill_x(3, std::vector<float>{0.0f, 1.0f, 2.0f, 3.0f});
    const auto before = allTexts();
    acceptA(1, 1, "5");
    acceptB(1, "5");
    EXPECT_EQ(messages(), std::vector<std::string>(2, format()));
    EXPECT_EQ(allTexts(), before);
    EXPECT_EQ(f.grid.text(1, 1), "1");
}

TEST_F(Entry, SpinnersClampToOneAndN)
{
    acceptN("3");
    for (int k = 0; k < 3; ++k) {
        const Control field = k == 0 ? Control::txtIndex0 : k == 1 ? Control::txtIndex1 : Control::txtIndex2;
        cmdUp_Click(f.form, k);
        EXPECT_EQ(f.controls.text(field), "2");
        cmdUp_Click(f.form, k);
        cmdUp_Click(f.form, k);
        EXPECT_EQ(f.controls.text(field), "3") << k;
        cmdDown_Click(f.form, k);
        EXPECT_EQ(f.controls.text(field), "2");
        cmdDown_Click(f.form, k);
        cmdDown_Click(f.form, k);
        EXPECT_EQ(f.controls.text(field), "1") << k;
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(Entry, SpinnersKeepTheirValueAcrossAcceptN)
{
    acceptN("8");
    for (int k = 0; k < 5; ++k)
        cmdUp_Click(f.form, 0);
    EXPECT_EQ(f.controls.text(Control::txtIndex0), "6");
    acceptN("3");
    EXPECT_EQ(f.controls.text(Control::txtIndex0), "6");
    f.controls.setText(Control::txtA, "1");
    cmdA_Click(f.form);
    EXPECT_EQ(messages(), std::vector<std::string>{format()});
    cmdUp_Click(f.form, 0);
    EXPECT_EQ(f.controls.text(Control::txtIndex0), "3");
    cmdA_Click(f.form);
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(f.grid.text(3, 1), "1");
}

TEST_F(Entry, SpinnersBeforeAnySystem)
{
    // N is 0: ">" gives 0 and "<" brings the index back to 1.
    cmdUp_Click(f.form, 1);
    EXPECT_EQ(f.controls.text(Control::txtIndex1), "0");
    cmdDown_Click(f.form, 1);
    EXPECT_EQ(f.controls.text(Control::txtIndex1), "1");

    // After a start that wrote the sample systems N is 256.
    f.state.N = 256;
    for (int k = 0; k < 300; ++k)
        cmdUp_Click(f.form, 2);
    EXPECT_EQ(f.controls.text(Control::txtIndex2), "256");
    EXPECT_EQ(f.controls.text(Control::txtIndex0), "1");
}

} // namespace
} // namespace quenta
