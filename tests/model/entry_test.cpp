// Accept N, Accept A(i,j), Accept B(i) and the index spinners on a form without a window.
#include <gtest/gtest.h>

#include "common/fake_form.h"
#include "common/grid_dump.h"
#include "common/temp_dir.h"
#include "model/entry.h"
#include "model/numbers.h"

namespace quenta {
namespace {

const Control entryButtons[] = {Control::cmdA, Control::cmdB, Control::cmdSolution, Control::cmdIter};

class Entry : public ::testing::Test {
protected:
    void acceptN(const std::string& text) { set(Control::txtN, text); cmdN_Click(f.form); }
    void acceptA(int i, int j, const std::string& text)
    {
        set(Control::txtIndex0, FormatInteger(i)); set(Control::txtIndex1, FormatInteger(j)); set(Control::txtA, text);
        cmdA_Click(f.form);
    }
    void acceptB(int i, const std::string& text)
    {
        set(Control::txtIndex2, FormatInteger(i)); set(Control::txtB, text); cmdB_Click(f.form);
    }
    void set(Control c, const std::string& text) { f.controls.setText(c, text); }
    std::string cells() const { return testing::shown(f.grid); }
    std::vector<std::string> formatMessages(std::size_t k) const { return std::vector(k, f.state.msgFormat); }
    // Every refusal shows msgFormat once and leaves the grid as it was.
    template <class Action> void expectRefused(Action action, const std::string& what)
    {
        const auto before = cells();
        f.user.messages.clear();
        action();
        EXPECT_EQ(f.user.messages, formatMessages(1)) << what;
        EXPECT_EQ(cells(), before) << what;
    }

    testing::TempProgramDir dir;
    testing::FakeForm f{dir.path()};
};

TEST_F(Entry, AcceptNLaysOutTheSystemOrChangesOnlyTheStorageMode)
{
    f.state.iter = 7;
    set(Control::txtEps, "0.25");
    expectRefused([&] { acceptN("abc"); }, "before any system");  // the buttons stay disabled
    EXPECT_EQ(*f.state.StorageMode, 1);
    EXPECT_FALSE(f.controls.isEnabled(Control::cmdIter));
    for (auto [text, n] : {std::pair{"4.5", 4}, {" 2 ", 2}, {"5.5", 6}, {"1e1", 10}, {"0", 0}, {"16381", 16381}, {"3", 3}}) {
        acceptN(text);
        EXPECT_EQ(f.state.N, n) << text;
        EXPECT_EQ(std::pair(f.grid.rows(), f.grid.cols()), std::pair(n + 1, 2 * n + 4));
    }
    EXPECT_EQ(f.user.messages, formatMessages(1));  // the refusal above only
    EXPECT_TRUE(*f.state.StorageMode == 1 && f.state.iter == 1);
    for (Control c : entryButtons)
        EXPECT_TRUE(f.controls.isEnabled(c));
    EXPECT_EQ(f.controls.text(Control::txtEps), "0.25");
    EXPECT_TRUE(f.state.A.order() == 0 && f.state.B.empty() && f.state.X.empty());
    // Accepting N again wipes what was entered and shown, also beyond the new layout.
    acceptA(3, 3, "3"); acceptB(2, "4"); f.grid.setText(1, 9, "0.5", f.state.separator);
    acceptN("2");
    acceptN("3");
    SystemGrid fresh;
    fresh.fill_data(3);
    EXPECT_EQ(cells(), testing::shown(fresh));
    // A refused N changes only the storage mode.
    acceptA(2, 2, "7");
    f.state.iter = 5;
    for (const char* text : {"abc", "", "40000", "-1", "16382", "inf", "2,5"}) {
        f.state.StorageMode = i16{2};
        expectRefused([&] { acceptN(text); }, text);
        EXPECT_EQ(*f.state.StorageMode, 1);
        EXPECT_TRUE(f.state.N == 3 && f.state.iter == 5) << text;
    }
}

TEST_F(Entry, AcceptAAndBWriteTheTextAsTypedOrRefuseIt)
{
    acceptN("3");
    acceptA(2, 3, "2.5E3"); acceptA(3, 1, " -0.5 "); acceptA(1, 2, "+1e-50"); acceptB(3, "1E+07");
    EXPECT_TRUE(f.user.messages.empty());
    EXPECT_EQ(f.grid.text(2, 5), "2.5E3");
    EXPECT_EQ(f.grid.text(3, 1), " -0.5 ");
    EXPECT_EQ(f.grid.text(1, 3), "+1e-50");
    EXPECT_EQ(f.grid.text(3, 7), "1E+07");
    EXPECT_EQ(f.controls.text(Control::txtIndex1), "2");  // the fields keep their texts
    EXPECT_EQ(f.controls.text(Control::txtA), "+1e-50");
    for (const char* text : {"", "abc", "1e39", "nan", "1,5", "a(1,1)"}) {
        expectRefused([&] { acceptA(2, 3, text); }, text);
        expectRefused([&] { acceptB(3, text); }, text);
    }
    // Rows outside 1..N and unknowns whose column would be the right-hand side, the solution or beyond.
    for (auto [i, j] : {std::pair{4, 1}, {0, 1}, {-1, 1}, {1, 0}, {1, 4}, {1, 5}, {1, 6}})
        expectRefused([&] { acceptA(i, j, "1"); }, std::to_string(i) + "," + std::to_string(j));
    for (int i : {0, 4})
        expectRefused([&] { acceptB(i, "1"); }, std::to_string(i));
    for (auto [i, j] : {std::pair{"x", "1"}, {"1", "99999"}})
        expectRefused([&] { set(Control::txtIndex0, i); set(Control::txtIndex1, j); cmdA_Click(f.form); }, i);
    f.state.separator = ",";  // the user's
    acceptA(1, 1, "1,5"); acceptB(1, "-0,25E1");
    EXPECT_EQ(f.grid.text(1, 1), "1,5");
    EXPECT_EQ(f.grid.text(1, 7), "-0,25E1");
    expectRefused([&] { acceptA(1, 2, "1.5"); }, "1.5");
    // While the approximation alone is shown, as after Connect, nothing can be entered.
    f.state.StorageMode = i16{2};
    f.grid.fill_x(3, {0.0f, 1.0f, 2.0f, 3.0f}, ".");
    expectRefused([&] { acceptA(1, 1, "5"); }, "A");
    expectRefused([&] { acceptB(1, "5"); }, "B");
    EXPECT_EQ(f.grid.text(1, 1), "1");
}

TEST_F(Entry, SpinnersClampToOneAndN)
{
    const Control fields[] = {Control::txtIndex0, Control::txtIndex1, Control::txtIndex2};
    cmdUp_Click(f.form, 1);  // before any system N is 0: ">" gives 0 and "<" brings it back to 1
    EXPECT_EQ(f.controls.text(Control::txtIndex1), "0");
    cmdDown_Click(f.form, 1);
    EXPECT_EQ(f.controls.text(Control::txtIndex1), "1");
    acceptN("8");
    for (int k = 0; k < 3; ++k) {
        std::string seen;
        for (int step = 0; step < 9; ++step)
            cmdUp_Click(f.form, k), seen += f.controls.text(fields[k]);
        for (int step = 0; step < 9; ++step)
            cmdDown_Click(f.form, k), seen += f.controls.text(fields[k]);
        EXPECT_EQ(seen, "234567888765432111") << k;
    }
    for (int step = 0; step < 5; ++step)
        cmdUp_Click(f.form, 0);
    acceptN("3");  // the index keeps its value, beyond the new N, until a spinner clamps it
    expectRefused([&] { set(Control::txtA, "1"); cmdA_Click(f.form); }, "i = 6");
    cmdUp_Click(f.form, 0);
    EXPECT_EQ(f.controls.text(Control::txtIndex0), "3");
}

} // namespace
} // namespace quenta
