// The grid store against a plain map, through SystemGrid's public interface only: the input is
// a sequence of operations (write, read, clear, resize, both layouts) and after each one the
// grid must read as the map says. Long texts (past the 255-byte record form and past a store
// block) and many rewrites make the store compact itself now and then.
//
// The model: written cells keep their text (an empty text too) until a resize drops their row
// or column, clear() or fill_data() forgets them all, or fill_x() takes column 0 for its labels.
// A cell never written shows the placeholder of the last layout, but only within the part of
// it that every resize since has kept.
//
// Beside its text a cell gives its number, ParseSingle(text, separator) bit for bit, exactly when
// it was written under the grid's separator (the first write's since the grid was made, cleared
// or laid out in memory), is read under that one, and the parse does not raise.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "model/errors.h"
#include "model/grid.h"
#include "model/numbers.h"

namespace {

using namespace quenta;
using quenta::fuzz::check;
using quenta::fuzz::Input;

enum class Layout { None, InMemory, FileBacked };

// The decimal separators writes and reads use: one byte, two, and the one most texts are written in.
constexpr std::string_view separators[] = {".", ",", "\xd9\xab"};

struct Written {
    std::string text;
    bool underGridSeparator;
};

struct Model {
    int rows = 2, cols = 2;
    std::map<std::pair<int, int>, Written> written;
    std::optional<std::string> separator;  // the grid's
    Layout layout = Layout::None;
    int n = 0, extentRows = 0, extentCols = 0;

    std::string placeholder(int r, int c) const
    {
        if (layout == Layout::None || r >= extentRows || c >= extentCols)
            return {};
        const std::string R = std::to_string(r), C = std::to_string(c);
        if (layout == Layout::FileBacked) {
            if (c != 0)
                return {};
            return r == 0 ? "Solution" : "X(" + R + ")=";
        }
        if (r == 0)
            return c == 0 ? "System" : c == 2 * n + 3 ? "Solution" : "";
        if (c == 0 || c == 2 * n + 2)
            return {};
        if (c <= 2 * n && c % 2 == 1)
            return "a(" + R + "," + std::to_string((c + 1) / 2) + ")";
        if (c <= 2 * n)
            return "*x(" + std::to_string(c / 2) + (c / 2 == n ? ")=" : ")+");
        return c == 2 * n + 1 ? "b(" + R + ")" : "0";
    }

    // What the cell must read; valid until the next call.
    std::string_view text(int r, int c)
    {
        const auto it = written.find({r, c});
        if (it != written.end())
            return it->second.text;
        shown = placeholder(r, c);
        return shown;
    }
    std::string shown;

    void setRows(int k)
    {
        for (auto it = written.begin(); it != written.end();)
            it = it->first.first >= k ? written.erase(it) : std::next(it);
        rows = k;
        extentRows = std::min(extentRows, k);
    }

    void setCols(int k)
    {
        for (auto it = written.begin(); it != written.end();)
            it = it->first.second >= k ? written.erase(it) : std::next(it);
        cols = k;
        extentCols = std::min(extentCols, k);
    }

    // A write of `text` under `sep` into cell (r, c) inside the grid.
    void write(int r, int c, std::string text, std::string_view sep)
    {
        if (!separator)
            separator = std::string(sep);
        written[{r, c}] = Written{std::move(text), sep == *separator};
    }

    // The number cell (r, c) must give under `sep`, if any.
    std::optional<float> number(int r, int c, std::string_view sep) const
    {
        const auto it = written.find({r, c});
        if (it == written.end() || !it->second.underGridSeparator || sep != *separator)
            return std::nullopt;
        try {
            return ParseSingle(it->second.text, sep);
        } catch (const QuentaError&) {
            return std::nullopt;
        }
    }

    void clear()
    {
        separator.reset();
        written.clear();
        layout = Layout::None;
        n = extentRows = extentCols = 0;
    }
};

SystemGrid* grid;
Model* model;
std::size_t longBytesLeft;  // long texts per input, so that one input stays within memory

bool inside(int r, int c) { return r >= 0 && r < model->rows && c >= 0 && c < model->cols; }

void checkCell(int r, int c)
{
    if (inside(r, c)) {
        check(grid->text(r, c) == model->text(r, c));
        return;
    }
    bool refused = false;
    try {
        grid->text(r, c);
    } catch (const SubscriptError&) {
        refused = true;
    }
    check(refused);
}

// The numbers of cells (r, c), (r, c + 2), ... as far as the grid has them, `count` at most.
void checkNumbers(int r, int c, int count, std::string_view sep)
{
    std::vector<float> got(static_cast<std::size_t>(count) + 1, -1.0f);
    const std::size_t n = grid->numbers(r, c, static_cast<std::size_t>(count), sep, got.data());
    std::size_t want = 0;
    for (; inside(r, c + 2 * static_cast<int>(want)) && want < static_cast<std::size_t>(count); ++want) {
        const std::optional<float> v = model->number(r, c + 2 * static_cast<int>(want), sep);
        if (!v)
            break;
        check(want >= n || std::bit_cast<std::uint32_t>(got[want]) == std::bit_cast<std::uint32_t>(*v));
    }
    check(n == want);
    check(got[n] == -1.0f);  // nothing written past the cells given
}

void checkCounts()
{
    check(grid->rows() == model->rows && grid->cols() == model->cols);
    check(grid->rowCount() == model->rows - 1 && grid->columnCount() == model->cols - 1);
    check(grid->fileBackedLayout() == (model->layout == Layout::FileBacked));
}

// Every written cell (the long texts only when asked: each read of one is a fresh copy), and
// the cells at the two far corners, where the placeholders begin and end.
void checkAll(bool longTexts, int corner)
{
    checkCounts();
    for (const auto& [at, cell] : model->written)
        if (longTexts || cell.text.size() <= 4096) {
            check(grid->text(at.first, at.second) == cell.text);
            checkNumbers(at.first, at.second, 3, model->separator.value_or("."));
        }
    for (int r = 0; r < std::min(model->rows, corner); ++r)
        for (int c = 0; c < std::min(model->cols, corner); ++c) {
            checkCell(r, c);
            checkCell(model->rows - 1 - r, model->cols - 1 - c);
        }
}

// A cell position: mostly inside the grid, one step outside now and then.
int position(Input& in, int count)
{
    const std::uint16_t v = in.u16();
    if ((v & 0x1F) == 0x1F)
        return (v & 0x20) ? -1 : count;
    return static_cast<int>((v >> 6) % static_cast<unsigned>(count));
}

// A text: a few bytes of the input, or now and then a long one (up to 320 KiB, more than a
// store block) of one byte with markers every 509 bytes that depend on their place, so that a
// misplaced copy shows.
std::string text(Input& in)
{
    const std::uint8_t kind = in.u8();
    if (kind >= 0xC0 && kind != 0xFF) {
        // Mostly digits, with what else a number text may hold: a number more often than not.
        static constexpr std::string_view alphabet = "0123456789012345678901234567890123456789.,.-+eE \xd9\xab";
        std::string s;
        for (char b : in.bytes(kind % 16))
            s.push_back(alphabet[static_cast<std::uint8_t>(b) % alphabet.size()]);
        return s;
    }
    if (kind != 0xFF)
        return std::string(in.bytes(kind % 24));
    // Spread evenly over the powers of two up to 128 KiB, so that most long texts cost little;
    // one in 256 is longer than a store block and must run across two.
    const std::uint8_t scale = in.u8();
    std::size_t length = std::size_t(in.u8()) << (scale % 10);
    if (scale == 0xFF)
        length = (std::size_t(1) << 18) + 1 + std::size_t(in.u16());
    const std::uint8_t seed = in.u8();
    length = std::min(length, longBytesLeft);
    longBytesLeft -= length;
    std::string s(length, static_cast<char>(seed));
    for (std::size_t k = 0; k < length; k += 509)
        s[k] = static_cast<char>(seed + 1 + k / 509);
    return s;
}

// A count for a resize: small ones mostly, any 16-bit value now and then (a write into a wide
// grid costs a row of entries).
int count(Input& in)
{
    const std::uint8_t b = in.u8();
    if (b != 0xFF)
        return b % 40;
    return static_cast<std::int16_t>(in.u16());
}

template <class E, class Fn> bool raises(Fn&& fn)
{
    try {
        fn();
    } catch (const E&) {
        return true;
    }
    return false;
}

// A row or column count from the input: one beyond the grid's range must be refused.
void resize(Input& in, int most, void (SystemGrid::*onGrid)(int), void (Model::*onModel)(int))
{
    const int k = count(in);
    if (k < 1 || k > most) {
        check(raises<SubscriptError>([&] { (grid->*onGrid)(k); }));
        return;
    }
    (grid->*onGrid)(k);
    (model->*onModel)(k);
}

void step(Input& in)
{
    switch (in.u8() % 9) {
    case 0:
    case 1: {  // write
        const int r = position(in, model->rows), c = position(in, model->cols);
        std::string t = text(in);
        const std::string_view sep = separators[in.u8() % 3];
        if (!inside(r, c)) {
            check(raises<SubscriptError>([&] { grid->setText(r, c, t, sep); }));
            break;
        }
        grid->setText(r, c, t, sep);
        const bool longText = t.size() > 4096;
        model->write(r, c, std::move(t), sep);
        if (!longText)  // a long one is read back at the end: each read costs a fresh copy
            checkCell(r, c);
        checkNumbers(r, c, 1, sep);
        break;
    }
    case 2: {  // read
        const int r = position(in, model->rows), c = position(in, model->cols);
        checkCell(r, c);
        checkNumbers(r, c, in.u8() % 8, separators[in.u8() % 3]);
        break;
    }
    case 3:
        grid->clear();
        model->clear();
        break;
    case 4:
        resize(in, SystemGrid::MaxRows, &SystemGrid::setRows, &Model::setRows);
        break;
    case 5:
        resize(in, SystemGrid::MaxCols, &SystemGrid::setCols, &Model::setCols);
        break;
    case 6: {  // the in-memory layout
        const std::uint8_t b = in.u8();
        const int n = b != 0xFF ? b % 24 : static_cast<std::int16_t>(in.u16());
        if (n >= 0 && n <= 16381) {
            grid->fill_data(static_cast<i16>(n));
            model->clear();
            model->rows = n + 1;
            model->cols = 2 * n + 4;
            model->layout = Layout::InMemory;
            model->n = n;
            model->extentRows = n + 1;
            model->extentCols = 2 * n + 4;
            break;
        }
        // Refused: beyond 16381 with OverflowError. Whatever was in the grid is gone then; the
        // counts it is left with are not part of the contract, only their range.
        if (n >= 16382)
            check(raises<OverflowError>([&] { grid->fill_data(static_cast<i16>(n)); }));
        else
            check(raises<QuentaError>([&] { grid->fill_data(static_cast<i16>(n)); }));
        model->clear();
        model->rows = grid->rows();
        model->cols = grid->cols();
        check(model->rows >= 1 && model->rows <= SystemGrid::MaxRows);
        check(model->cols >= 1 && model->cols <= SystemGrid::MaxCols);
        break;
    }
    case 7: {  // the file-backed layout
        const int n = in.u8() % 40;
        const std::string_view sep = separators[in.u8() % 3];
        std::vector<float> x(static_cast<std::size_t>(n) + 1);
        for (float& v : x)
            v = static_cast<float>(static_cast<std::int32_t>(in.u32())) / 1024.0f;
        if (in.u8() % 8 == 0) {
            x.pop_back();
            check(raises<SubscriptError>([&] { grid->fill_x(static_cast<i16>(n), x, sep); }));
            break;
        }
        grid->fill_x(static_cast<i16>(n), x, sep);
        model->setRows(n + 1);
        model->setCols(2);
        for (auto it = model->written.begin(); it != model->written.end();)
            it = it->first.second == 0 ? model->written.erase(it) : std::next(it);
        model->layout = Layout::FileBacked;
        model->n = n;
        model->extentRows = n + 1;
        model->extentCols = 2;
        for (int i = 1; i <= n; ++i)
            model->write(i, 1, FormatSingle(x[static_cast<std::size_t>(i)], sep), sep);
        break;
    }
    case 8:
        checkAll(false, 3);
        break;
    }
    checkCounts();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Both live no longer than the input, so that libFuzzer's leak check sees every allocation
    // of an input freed by its end.
    // Most inputs get a small store that compacts after 16 KB of garbage, so that they cost a
    // few pages; one whose last byte is 0xFF gets the program's own threshold and room for texts
    // longer than a store block. Every page a store touches is a fresh mapping under the
    // address sanitizer, which is what made this target slow.
    const bool large = size > 0 && data[size - 1] == 0xFF;
    SystemGrid g(nullptr, large ? std::uint64_t(1) << 20 : std::uint64_t(1) << 14);
    Model m;
    grid = &g;
    model = &m;
    longBytesLeft = large ? std::size_t(3) << 19 : std::size_t(48) << 10;
    Input in(data, size);
    while (!in.empty())
        step(in);
    checkAll(true, 6);
    grid = nullptr;
    model = nullptr;
    return 0;
}
