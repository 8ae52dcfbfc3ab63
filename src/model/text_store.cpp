#include "model/text_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "model/errors.h"
#include "model/numbers.h"

namespace quenta {

namespace {

// A cell's entry: 0 = never written, EmptyText = written empty, otherwise the record's offset + 1.
constexpr std::uint32_t NotWritten = 0;
constexpr std::uint32_t EmptyText = 0xFFFFFFFFu;

constexpr float NoNumber = std::numeric_limits<float>::quiet_NaN();

bool isRecord(std::uint32_t e) { return e != NotWritten && e != EmptyText; }

inline bool sameSeparator(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && (a.size() == 1 ? a[0] == b[0] : a == b);
}

} // namespace

ParsedText::ParsedText(std::string_view text, std::string_view separator)
    : text_(text), separator_(separator), value_(NoNumber)
{
    if (text.empty())
        return;
    // Most texts that are no number are told so without an exception: a grid being read can
    // hold thousands of them.
    try {
        TryParseSingle(text, separator, value_);  // left NaN for no number
    } catch (const QuentaError&) {
    } catch (const std::bad_alloc&) {
        // A reader parses the text again and meets what this parse met.
    }
}

// ---------------------------------------------------------------------------------------------
// TextArena

void TextArena::release()
{
    std::vector<std::unique_ptr<char[]>>().swap(blocks_);
    used_ = 0;
    capacity_ = 0;
}

void TextArena::swap(TextArena& other) noexcept
{
    blocks_.swap(other.blocks_);
    std::swap(used_, other.used_);
    std::swap(capacity_, other.capacity_);
}

void TextArena::rewriteLong(std::uint64_t at, std::string_view text)
{
    unsigned char h[5];
    h[0] = static_cast<unsigned char>(LongMark);
    const std::uint32_t l = static_cast<std::uint32_t>(text.size());
    std::memcpy(h + 1, &l, 4);
    put(at, h, 5);
    put(at + 5, text.data(), text.size());
}

std::size_t TextArena::longLength(std::uint64_t at, std::uint64_t* dataAt) const
{
    std::uint32_t l = 0;
    get(at + 1, &l, 4);
    *dataAt = at + 5;
    return l;
}

std::string_view TextArena::text(std::uint64_t at, std::string& scratch) const
{
    std::uint64_t dataAt = 0;
    const std::size_t len = length(at, &dataAt);
    if ((dataAt & BlockMask) + len <= BlockSize)
        return std::string_view(blocks_[dataAt >> BlockShift].get() + (dataAt & BlockMask), len);
    scratch.assign(len, '\0');
    get(dataAt, scratch.data(), len);
    return scratch;
}

void TextArena::grow(std::uint64_t end)
{
    if (end > Limit)
        throw MemoryError("grid store full");
    if (capacity_ < BlockSize) {
        // The first block: twice its size or what `end` needs, at most a block; its bytes move.
        std::uint64_t size = std::max(FirstBlockSize, 2 * capacity_);
        while (size < end && size < BlockSize)
            size *= 2;
        size = std::min(size, BlockSize);
        std::unique_ptr<char[]> first(new char[size]);
        if (blocks_.empty()) {
            blocks_.push_back(std::move(first));
        } else {
            std::memcpy(first.get(), blocks_[0].get(), static_cast<std::size_t>(used_));
            blocks_[0] = std::move(first);
        }
        capacity_ = size;
    }
    const std::size_t need = static_cast<std::size_t>((end + BlockMask) >> BlockShift);
    while (blocks_.size() < need) {
        blocks_.push_back(std::unique_ptr<char[]>(new char[BlockSize]));
        capacity_ = blocks_.size() * BlockSize;
    }
}

void TextArena::get(std::uint64_t at, void* dst, std::size_t n) const
{
    char* d = static_cast<char*>(dst);
    while (n > 0) {
        const std::size_t off = at & BlockMask;
        const std::size_t k = std::min<std::size_t>(n, BlockSize - off);
        std::memcpy(d, blocks_[at >> BlockShift].get() + off, k);
        d += k;
        at += k;
        n -= k;
    }
}

void TextArena::put(std::uint64_t at, const void* src, std::size_t n)
{
    const char* s = static_cast<const char*>(src);
    while (n > 0) {
        const std::size_t off = at & BlockMask;
        const std::size_t k = std::min<std::size_t>(n, BlockSize - off);
        std::memcpy(blocks_[at >> BlockShift].get() + off, s, k);
        s += k;
        at += k;
        n -= k;
    }
}

// ---------------------------------------------------------------------------------------------
// Lanes

std::size_t TextStore::Lane::bytes() const
{
    return sparse.capacity() * sizeof(SparseCell) + dense.capacity() * sizeof(Cell);
}

namespace {

template <class It> It sparseAt(It begin, It end, std::uint32_t s)
{
    return std::lower_bound(begin, end, s, [](const auto& a, std::uint32_t b) { return a.slot < b; });
}

} // namespace

const TextStore::Cell* TextStore::Lane::find(std::uint32_t s) const
{
    if (s < dense.size())
        return &dense[s];
    if (sparse.empty())
        return nullptr;
    const auto it = sparseAt(sparse.begin(), sparse.end(), s);
    return it != sparse.end() && it->slot == s ? &it->cell : nullptr;
}

TextStore::Cell& TextStore::Lane::forWrite(std::uint32_t s, std::uint32_t width)
{
    width = std::max(width, s + 1);
    if (!dense.empty()) {
        if (s >= dense.size())
            makeDense(width);
        return dense[s];
    }
    // Cells written in column order go on the end without a search.
    auto it = sparse.end();
    if (!sparse.empty() && sparse.back().slot >= s) {
        it = sparseAt(sparse.begin(), sparse.end(), s);
        if (it->slot == s)
            return it->cell;
    }
    // Dense once the pairs would outgrow half of the array.
    if ((sparse.size() + 1) * sizeof(SparseCell) > width * sizeof(Cell) / 2) {
        makeDense(width);
        return dense[s];
    }
    return sparse.insert(it, SparseCell{s, Cell{NotWritten, NoNumber}})->cell;
}

// Moves the cells into an array of at least `width` slots, allocated to size.
void TextStore::Lane::makeDense(std::uint32_t width)
{
    if (!sparse.empty())
        width = std::max(width, sparse.back().slot + 1);
    width = std::max(width, static_cast<std::uint32_t>(dense.size()));
    std::vector<Cell> grown;
    grown.reserve(width);
    grown.assign(dense.begin(), dense.end());
    grown.resize(width, Cell{NotWritten, NoNumber});
    for (const SparseCell& c : sparse)
        grown[c.slot] = c.cell;
    dense.swap(grown);
    std::vector<SparseCell>().swap(sparse);
}

template <class Visit> void TextStore::Lane::forEach(Visit&& visit)
{
    for (Cell& c : dense)
        visit(c);
    for (SparseCell& c : sparse)
        visit(c.cell);
}

// Calls `forget` on the cells of slots from `first` on and drops them.
template <class Forget> void TextStore::Lane::dropFrom(std::uint32_t first, Forget&& forget)
{
    for (std::uint32_t s = first; s < dense.size(); ++s)
        forget(dense[s]);
    const auto it = sparseAt(sparse.begin(), sparse.end(), first);
    for (auto k = it; k != sparse.end(); ++k)
        forget(k->cell);
    sparse.erase(it, sparse.end());
}

// Calls `forget` on the cell of slot s, if there is one, and drops it.
template <class Forget> void TextStore::Lane::drop(std::uint32_t s, Forget&& forget)
{
    if (s < dense.size()) {
        forget(dense[s]);
        return;
    }
    const auto it = sparseAt(sparse.begin(), sparse.end(), s);
    if (it != sparse.end() && it->slot == s) {
        forget(it->cell);
        sparse.erase(it);
    }
}

// ---------------------------------------------------------------------------------------------
// TextStore

TextStore::TextStore(std::uint64_t minGarbage) : minGarbage_(minGarbage) {}

std::uint32_t TextStore::slotsFor(int columns, unsigned parity)
{
    return static_cast<std::uint32_t>(parity == 0 ? (columns + 1) / 2 : columns / 2);
}

const TextStore::Cell* TextStore::find(int r, int c) const
{
    if (static_cast<std::size_t>(r) >= rows_.size())
        return nullptr;
    const Lane& lane = rows_[static_cast<std::size_t>(r)].lanes[static_cast<unsigned>(c) & 1u];
    return lane.find(static_cast<std::uint32_t>(c) >> 1);
}

inline TextStore::Cell& TextStore::forWrite(int r, int c)
{
    // Most writes land in a dense lane that already has the slot.
    const std::size_t ri = static_cast<std::size_t>(r);
    const std::uint32_t s = static_cast<std::uint32_t>(c) >> 1;
    if (ri < rows_.size()) {
        std::vector<Cell>& dense = rows_[ri].lanes[static_cast<unsigned>(c) & 1u].dense;
        if (s < dense.size())
            return dense[s];
    }
    return newCell(r, c);
}

// The rest: a new row, a sparse lane, or a slot beyond the lane's array.
TextStore::Cell& TextStore::newCell(int r, int c)
{
    const std::size_t ri = static_cast<std::size_t>(r);
    if (ri >= rows_.size())
        rows_.resize(ri + 1);
    Row& row = rows_[ri];
    if (!row.listed) {
        usedRows_.push_back(r);
        row.listed = true;
    }
    const unsigned p = static_cast<unsigned>(c) & 1u;
    Lane& lane = row.lanes[p];
    const std::size_t before = lane.bytes();
    Cell& cell = lane.forWrite(static_cast<std::uint32_t>(c) >> 1, slotsFor(columns_, p));
    laneBytes_ = laneBytes_ - before + lane.bytes();
    return cell;
}

void TextStore::forget(Cell& cell)
{
    if (isRecord(cell.entry)) {
        std::uint64_t dataAt = 0;
        garbage_ += TextArena::recordSize(arena_.length(cell.entry - 1, &dataAt));
    }
    cell = Cell{NotWritten, NoNumber};
}

bool TextStore::appendText(int r, int c, std::string& out) const
{
    const Cell* cell = find(r, c);
    if (!cell || cell->entry == NotWritten)
        return false;
    if (cell->entry != EmptyText) {
        std::string scratch;
        out += arena_.text(cell->entry - 1, scratch);
    }
    return true;
}

void TextStore::write(int r, int c, const ParsedText& parsed)
{
    const std::string_view text = parsed.text();
    if (!separator_)
        separator_ = std::string(parsed.separator());
    const float value = sameSeparator(parsed.separator(), *separator_) ? parsed.value() : NoNumber;
    Cell& cell = forWrite(r, c);
    if (text.empty()) {
        forget(cell);
        cell.entry = EmptyText;
        return;
    }
    std::size_t oldSize = 0;
    if (isRecord(cell.entry)) {
        std::uint64_t dataAt = 0;
        const std::size_t oldLen = arena_.length(cell.entry - 1, &dataAt);
        if (TextArena::headerSize(oldLen) == TextArena::headerSize(text.size()) && text.size() <= oldLen) {
            // Rewritten in place; the tail it no longer uses is dead.
            arena_.rewrite(cell.entry - 1, text);
            cell.value = value;
            garbage_ += oldLen - text.size();
            return;
        }
        oldSize = TextArena::recordSize(oldLen);
    }
    // The old text stays until the new one is stored.
    const std::uint64_t at = arena_.append(text);
    cell = Cell{static_cast<std::uint32_t>(at + 1), value};
    garbage_ += oldSize;
    maybeCompact();
}

std::size_t TextStore::copyNumbers(int r, int c, std::size_t count, std::string_view separator, float* out,
                                   std::ptrdiff_t outStride) const
{
    if (!separator_ || !sameSeparator(separator, *separator_) || r < 0 || c < 0 ||
        static_cast<std::size_t>(r) >= rows_.size())
        return 0;
    const Lane& lane = rows_[static_cast<std::size_t>(r)].lanes[static_cast<unsigned>(c) & 1u];
    const std::uint32_t first = static_cast<std::uint32_t>(c) >> 1;
    std::size_t k = 0;
    if (!lane.dense.empty()) {
        if (first >= lane.dense.size())
            return 0;
        const Cell* cells = lane.dense.data() + first;
        const std::size_t n = std::min(count, lane.dense.size() - first);
        for (; k < n && !std::isnan(cells[k].value); ++k, out += outStride)
            *out = cells[k].value;
        return k;
    }
    for (; k < count; ++k, out += outStride) {
        const Cell* cell = lane.find(first + static_cast<std::uint32_t>(k));
        if (!cell || std::isnan(cell->value))
            break;
        *out = cell->value;
    }
    return k;
}

void TextStore::maybeCompact()
{
    const std::uint64_t live = arena_.used() - garbage_;
    if (garbage_ < minGarbage_ || garbage_ < live / 4)
        return;
    compact();
}

template <class Visit> void TextStore::forEachRecord(Visit&& visit)
{
    for (int r : usedRows_)
        for (Lane& lane : rows_[static_cast<std::size_t>(r)].lanes)
            lane.forEach([&](Cell& cell) {
                if (isRecord(cell.entry))
                    visit(cell.entry);
            });
}

// Copies the live records into a fresh arena. The copy is made first and the entries are
// redirected only once it is complete, so that running out of memory here loses nothing.
void TextStore::compact()
{
    TextArena fresh;
    std::string scratch;
    try {
        forEachRecord([&](std::uint32_t e) { fresh.append(arena_.text(e - 1, scratch)); });
    } catch (const std::bad_alloc&) {
        return;
    } catch (const MemoryError&) {
        return;
    }
    std::uint64_t at = 0;
    forEachRecord([&](std::uint32_t& e) {
        std::uint64_t dataAt = 0;
        const std::size_t size = TextArena::recordSize(arena_.length(e - 1, &dataAt));
        at = TextArena::placeFor(at, size);
        e = static_cast<std::uint32_t>(at + 1);
        at += size;
    });
    arena_.swap(fresh);
    garbage_ = 0;
}

void TextStore::setColumns(int columns)
{
    if (columns < columns_) {
        // Column 2s + p stays while s < slotsFor(columns, p).
        for (int r : usedRows_) {
            Row& row = rows_[static_cast<std::size_t>(r)];
            for (unsigned p = 0; p < 2; ++p)
                row.lanes[p].dropFrom(slotsFor(columns, p), [&](Cell& cell) { forget(cell); });
        }
    }
    columns_ = columns;
}

void TextStore::dropRowsFrom(int first)
{
    std::vector<int> kept;
    for (int r : usedRows_) {
        if (r < first) {
            kept.push_back(r);
            continue;
        }
        Row& row = rows_[static_cast<std::size_t>(r)];
        for (Lane& lane : row.lanes) {
            lane.forEach([&](Cell& cell) { forget(cell); });
            laneBytes_ -= lane.bytes();
            lane = Lane{};
        }
        row.listed = false;
    }
    usedRows_.swap(kept);
    if (rows_.size() > static_cast<std::size_t>(first))
        rows_.resize(static_cast<std::size_t>(first));
}

void TextStore::dropColumn(int c, int lastRow)
{
    for (int r : usedRows_)
        if (r <= lastRow) {
            Lane& lane = rows_[static_cast<std::size_t>(r)].lanes[static_cast<unsigned>(c) & 1u];
            lane.drop(static_cast<std::uint32_t>(c) >> 1, [&](Cell& cell) { forget(cell); });
        }
}

void TextStore::clear()
{
    std::vector<Row>().swap(rows_);
    std::vector<int>().swap(usedRows_);
    arena_.release();
    garbage_ = 0;
    laneBytes_ = 0;
    separator_.reset();
}

void TextStore::swap(TextStore& other) noexcept
{
    rows_.swap(other.rows_);
    usedRows_.swap(other.usedRows_);
    arena_.swap(other.arena_);
    std::swap(garbage_, other.garbage_);
    std::swap(laneBytes_, other.laneBytes_);
    std::swap(columns_, other.columns_);
    separator_.swap(other.separator_);
}

std::size_t TextStore::bytes() const
{
    return arena_.blockBytes() + laneBytes_ + rows_.capacity() * sizeof(Row) + usedRows_.capacity() * sizeof(int);
}

} // namespace quenta
