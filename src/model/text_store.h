#pragma once
// The written cells of a grid: each one's text and, beside it, the number that text stands for,
// so that a run reads the system without parsing it again. Cells are addressed by row and column
// from 0; the store knows nothing of layouts or placeholders, only what was written.
//
// Texts live in an arena of fixed-size blocks addressed by one 32-bit offset. Each grid row keeps
// its written cells in two lanes, one for the even and one for the odd columns, so that a row
// whose cells sit in every other column (the in-memory layout) costs one entry per cell. A lane
// is a sorted list of (slot, cell) pairs while few of its cells are written and an array indexed
// by slot once the list would outgrow half of it. Texts rewritten or dropped leave dead bytes in
// the arena, which is compacted once they reach both minGarbage and a quarter of the live texts.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenta {

// The bytes of the texts: records of a length (one byte, or the byte 255 and a 32-bit length
// from 255 bytes on) and the text. A record may run across blocks; short ones are kept inside
// one block so that they can be read in place. The first block starts small and doubles, moving
// its bytes, until it has a block's size: the grid of a small system holds a few KB of texts.
class TextArena {
public:
    static constexpr unsigned BlockShift = 18;
    static constexpr std::uint64_t BlockSize = std::uint64_t(1) << BlockShift;  // 256 KB
    static constexpr std::uint64_t BlockMask = BlockSize - 1;
    static constexpr std::uint64_t FirstBlockSize = 4096;

    std::uint64_t used() const { return used_; }
    std::size_t blockBytes() const { return static_cast<std::size_t>(capacity_); }
    void release();
    void swap(TextArena& other) noexcept;

    static std::size_t headerSize(std::size_t length) { return length < LongMark ? 1 : 5; }
    static std::size_t recordSize(std::size_t length) { return headerSize(length) + length; }
    // Where a record of `size` bytes would go after `at`: short records never straddle a block.
    static std::uint64_t placeFor(std::uint64_t at, std::size_t size)
    {
        if (size <= BlockSize && (at & BlockMask) + size > BlockSize)
            at = (at + BlockMask) & ~BlockMask;
        return at;
    }

    // Appends a record for `text` and returns its offset; MemoryError when the offsets run out.
    std::uint64_t append(std::string_view text)
    {
        const std::size_t size = recordSize(text.size());
        const std::uint64_t at = placeFor(used_, size);
        if (at + size > capacity_ || at + size > Limit)
            grow(at + size);
        used_ = at + size;
        rewrite(at, text);
        return at;
    }
    // Rewrites the record at `at`; the new text must need a header of the same size and no more
    // bytes than the old one.
    void rewrite(std::uint64_t at, std::string_view text)
    {
        if (text.size() >= LongMark)
            return rewriteLong(at, text);
        char* p = blocks_[at >> BlockShift].get() + (at & BlockMask);  // inside one block
        *p = static_cast<char>(text.size());
        std::memcpy(p + 1, text.data(), text.size());
    }
    // The length of the text of the record at `at`, and where its bytes start.
    std::size_t length(std::uint64_t at, std::uint64_t* dataAt) const
    {
        const auto b = static_cast<unsigned char>(blocks_[at >> BlockShift][at & BlockMask]);
        *dataAt = at + 1;
        return b < LongMark ? b : longLength(at, dataAt);
    }
    // The text of the record at `at`: in place when it lies in one block, else copied to `scratch`.
    std::string_view text(std::uint64_t at, std::string& scratch) const;

private:
    static constexpr std::size_t LongMark = 255;
    static constexpr std::uint64_t Limit = 0xFFFFFFF0ULL;  // offsets must fit a cell's entry
    void grow(std::uint64_t end);
    void rewriteLong(std::uint64_t at, std::string_view text);
    std::size_t longLength(std::uint64_t at, std::uint64_t* dataAt) const;
    void get(std::uint64_t at, void* dst, std::size_t n) const;
    void put(std::uint64_t at, const void* src, std::size_t n);

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::uint64_t used_ = 0;
    std::uint64_t capacity_ = 0;  // bytes the blocks hold: the first one's size, then whole blocks
};

// A text about to be written and the number it stands for under the writer's decimal
// separator: ParseSingle(text, separator), or none when that raises. It is made before the
// write, so that the parse needs no lock the store is guarded by.
class ParsedText {
public:
    ParsedText(std::string_view text, std::string_view separator);
    std::string_view text() const { return text_; }
    std::string_view separator() const { return separator_; }
    float value() const { return value_; }  // NaN when the text is no number

private:
    std::string_view text_, separator_;
    float value_;
};

class TextStore {
public:
    explicit TextStore(std::uint64_t minGarbage = std::uint64_t(1) << 20);

    // The text written in cell (r, c) appended to `out`; false, with `out` as it was, for a cell
    // never written or dropped since.
    bool appendText(int r, int c, std::string& out) const;

    // Writes cell (r, c), r and c from 0 (MemoryError when the store is full; std::bad_alloc).
    // Beside the text the store keeps ParseSingle(text, separator), or the mark that it raised,
    // when the writer's `separator` is the store's: the separator of the first write since the store was made
    // or cleared. A write under any other separator keeps no number; such a cell reads as having
    // none, and its reader parses the text itself.
    void write(int r, int c, const ParsedText& text);
    void write(int r, int c, std::string_view text, std::string_view separator)
    {
        write(r, c, ParsedText(text, separator));
    }

    // Copies the numbers kept for cells (r, c), (r, c + 2), (r, c + 4), ..., at most `count` of
    // them, to out[0], out[outStride], ...; stops at the first cell that has none: never
    // written, not a number, written under another separator than the store's, or `separator`
    // is not the store's. Returns how many it copied. Each is the parse of the cell's text under
    // `separator`, bit for bit.
    std::size_t copyNumbers(int r, int c, std::size_t count, std::string_view separator, float* out,
                            std::ptrdiff_t outStride) const;

    // The width of a row in columns, which decides when a lane turns into an array. Fewer
    // columns than before drop the cells beyond.
    void setColumns(int columns);
    // Drops the cells of rows `first` on.
    void dropRowsFrom(int first);
    // Drops the cells of column c in rows 0..lastRow.
    void dropColumn(int c, int lastRow);
    // Drops every cell and releases the memory; the width stays, the separator is forgotten.
    void clear();
    void swap(TextStore& other) noexcept;

    // Memory held for the written cells, in bytes.
    std::size_t bytes() const;

private:
    // A cell of a lane: the record's offset + 1 (NotWritten, EmptyText or a record), and the
    // number its text was parsed to under the store's separator, NaN when there is none (a
    // parse never gives NaN).
    struct Cell {
        std::uint32_t entry;
        float value;
    };
    struct SparseCell {
        std::uint32_t slot;
        Cell cell;
    };
    // The written cells of one row in the columns of one parity: slot s is column 2s + parity.
    struct Lane {
        std::vector<SparseCell> sparse;  // while dense is empty
        std::vector<Cell> dense;

        std::size_t bytes() const;
        const Cell* find(std::uint32_t s) const;
        // The cell of slot s, made empty if the lane had none; `width` is the row's slot count.
        Cell& forWrite(std::uint32_t s, std::uint32_t width);
        void makeDense(std::uint32_t width);
        template <class Visit> void forEach(Visit&& visit);
        template <class Forget> void dropFrom(std::uint32_t first, Forget&& forget);
        template <class Forget> void drop(std::uint32_t s, Forget&& forget);
    };
    struct Row {
        Lane lanes[2];        // even columns, odd columns
        bool listed = false;  // in usedRows_
    };

    static std::uint32_t slotsFor(int columns, unsigned parity);
    const Cell* find(int r, int c) const;
    Cell& forWrite(int r, int c);
    Cell& newCell(int r, int c);
    void forget(Cell& cell);
    void maybeCompact();
    void compact();
    template <class Visit> void forEachRecord(Visit&& visit);

    std::vector<Row> rows_;      // grows to the highest written row
    std::vector<int> usedRows_;  // rows with cells, in the order first written
    TextArena arena_;
    std::uint64_t garbage_ = 0;  // bytes of records no cell refers to any more
    std::uint64_t minGarbage_;
    std::size_t laneBytes_ = 0;
    int columns_ = 2;
    std::optional<std::string> separator_;  // the separator of the numbers kept
};

} // namespace quenta
