#include "model/grid.h"

#include <QString>
#include <QThread>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "model/errors.h"
#include "model/numbers.h"

namespace quenta {

namespace {

// ---------------------------------------------------------------------------------------------
// Text arena: written texts live in fixed-size blocks addressed by one 32-bit offset. A record
// is a length byte and the text; texts of 255 bytes or more carry the byte 255 and a 32-bit
// length instead. A record may run across blocks; short ones are kept inside one block so that
// they can be read in place.

constexpr unsigned BlockShift = 18;
constexpr std::uint64_t BlockSize = std::uint64_t(1) << BlockShift;  // 256 KB
constexpr std::uint64_t BlockMask = BlockSize - 1;
constexpr std::uint64_t ArenaLimit = 0xFFFFFFF0ULL;  // offsets must fit an entry

// A cell entry: 0 = never written (the layout's placeholder shows), EmptyText = written empty,
// otherwise the record's offset + 1.
constexpr std::uint32_t NotWritten = 0;
constexpr std::uint32_t EmptyText = 0xFFFFFFFFu;

constexpr std::size_t LongMark = 255;

std::size_t headerSize(std::size_t len) { return len < LongMark ? 1 : 5; }

class Arena {
public:
    std::uint64_t used() const { return used_; }
    std::size_t blockBytes() const { return blocks_.size() * BlockSize; }

    void release()
    {
        std::vector<std::unique_ptr<char[]>>().swap(blocks_);
        used_ = 0;
    }

    void swap(Arena& other)
    {
        blocks_.swap(other.blocks_);
        std::swap(used_, other.used_);
    }

    // Where a record of `size` bytes would go: short records never straddle a block.
    std::uint64_t placeFor(std::uint64_t at, std::size_t size) const
    {
        if (size <= BlockSize && (at & BlockMask) + size > BlockSize)
            at = (at + BlockMask) & ~BlockMask;
        return at;
    }

    // Appends a record for `text` and returns its offset.
    std::uint64_t append(std::string_view text)
    {
        const std::size_t size = headerSize(text.size()) + text.size();
        const std::uint64_t at = placeFor(used_, size);
        if (at + size > ArenaLimit)
            throw MemoryError("grid store full");
        ensure(at + size);
        used_ = at + size;
        writeRecord(at, text);
        return at;
    }

    void writeRecord(std::uint64_t at, std::string_view text)
    {
        const std::size_t len = text.size();
        if (len < LongMark) {
            const unsigned char b = static_cast<unsigned char>(len);
            put(at, &b, 1);
            put(at + 1, text.data(), len);
        } else {
            unsigned char h[5];
            h[0] = static_cast<unsigned char>(LongMark);
            const std::uint32_t l = static_cast<std::uint32_t>(len);
            std::memcpy(h + 1, &l, 4);
            put(at, h, 5);
            put(at + 5, text.data(), len);
        }
    }

    // Length of the text of the record at `at`, and where its bytes start.
    std::size_t length(std::uint64_t at, std::uint64_t* dataAt) const
    {
        const unsigned char b = static_cast<unsigned char>(byte(at));
        if (b < LongMark) {
            *dataAt = at + 1;
            return b;
        }
        std::uint32_t l = 0;
        get(at + 1, &l, 4);
        *dataAt = at + 5;
        return l;
    }

    // A pointer to `n` bytes at `at` when they lie in one block, else nullptr.
    const char* direct(std::uint64_t at, std::size_t n) const
    {
        if ((at & BlockMask) + n > BlockSize)
            return nullptr;
        return blocks_[at >> BlockShift].get() + (at & BlockMask);
    }

    char byte(std::uint64_t at) const { return blocks_[at >> BlockShift][at & BlockMask]; }

    void get(std::uint64_t at, void* dst, std::size_t n) const
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

    void put(std::uint64_t at, const void* src, std::size_t n)
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

private:
    void ensure(std::uint64_t end)
    {
        const std::size_t need = static_cast<std::size_t>((end + BlockMask) >> BlockShift);
        while (blocks_.size() < need)
            blocks_.push_back(std::unique_ptr<char[]>(new char[BlockSize]));
    }

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::uint64_t used_ = 0;
};

// A written cell of a sparse lane: its slot (the column halved) and its entry.
struct SparseCell {
    std::uint32_t slot;
    std::uint32_t entry;
};

// The written cells of one grid row in the columns of one parity, slot s standing for column
// 2s + parity. Even and odd columns are kept apart so that a row whose text cells sit in every
// other column (the in-memory layout) costs one entry per text cell.
//
// A lane starts sparse: (slot, entry) pairs in slot order, so that a written column costs one
// pair per row however wide the rows are. It turns dense, one entry per slot of the row's
// width, when its pairs would outgrow half of that array; from then on it costs at most twice
// what the pairs did and a cell is read by index.
struct Lane {
    std::vector<SparseCell> sparse;   // while dense is empty
    std::vector<std::uint32_t> dense;

    std::size_t bytes() const
    {
        return sparse.capacity() * sizeof(SparseCell) + dense.capacity() * sizeof(std::uint32_t);
    }

    std::vector<SparseCell>::const_iterator sparseAt(std::uint32_t s) const
    {
        return std::lower_bound(sparse.begin(), sparse.end(), s,
                                [](const SparseCell& a, std::uint32_t b) { return a.slot < b; });
    }

    std::uint32_t entry(std::uint32_t s) const
    {
        if (s < dense.size())
            return dense[s];
        if (sparse.empty())
            return NotWritten;
        const auto it = sparseAt(s);
        return it != sparse.end() && it->slot == s ? it->entry : NotWritten;
    }

    // The entry of slot s, made NotWritten if the lane had none; `width` is the row's slot count.
    std::uint32_t& entryForWrite(std::uint32_t s, std::uint32_t width)
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
            it = sparse.begin() + (sparseAt(s) - sparse.cbegin());
            if (it->slot == s)
                return it->entry;
        }
        if ((sparse.size() + 1) * sizeof(SparseCell) > width * sizeof(std::uint32_t) / 2) {
            makeDense(width);
            return dense[s];
        }
        return sparse.insert(it, SparseCell{s, NotWritten})->entry;
    }

    // Moves the entries into an array of at least `width` slots, allocated to size.
    void makeDense(std::uint32_t width)
    {
        if (!sparse.empty())
            width = std::max(width, sparse.back().slot + 1);
        width = std::max(width, static_cast<std::uint32_t>(dense.size()));
        std::vector<std::uint32_t> grown;
        grown.reserve(width);
        grown.assign(dense.begin(), dense.end());
        grown.resize(width, NotWritten);
        for (const SparseCell& cell : sparse)
            grown[cell.slot] = cell.entry;
        dense.swap(grown);
        std::vector<SparseCell>().swap(sparse);
    }

    template <class Visit> void forEachEntry(Visit&& visit)
    {
        for (std::uint32_t& e : dense)
            visit(e);
        for (SparseCell& cell : sparse)
            visit(cell.entry);
    }

    // Calls `forget` on the entries of slots from `first` on and drops them.
    template <class Forget> void dropFrom(std::uint32_t first, Forget&& forget)
    {
        for (std::uint32_t s = first; s < dense.size(); ++s)
            forget(dense[s]);
        const auto it = sparse.begin() + (sparseAt(first) - sparse.cbegin());
        for (auto k = it; k != sparse.end(); ++k)
            forget(k->entry);
        sparse.erase(it, sparse.end());
    }

    // Calls `forget` on the entry of slot s, if there is one, and drops it.
    template <class Forget> void drop(std::uint32_t s, Forget&& forget)
    {
        if (s < dense.size()) {
            forget(dense[s]);
            return;
        }
        const auto it = sparse.begin() + (sparseAt(s) - sparse.cbegin());
        if (it != sparse.end() && it->slot == s) {
            forget(it->entry);
            sparse.erase(it);
        }
    }
};

// The written cells of one grid row.
struct RowEntries {
    Lane lanes[2];        // even columns, odd columns
    bool listed = false;  // in usedRows
};

enum class Layout { None, InMemory, FileBacked };

// Writes "<prefix><a><mid><b><suffix>" into a small buffer.
struct SmallText {
    char buf[48];
    char* p = buf;
    void add(std::string_view s)
    {
        std::memcpy(p, s.data(), s.size());
        p += s.size();
    }
    void add(int v) { p = std::to_chars(p, buf + sizeof buf, v).ptr; }
    std::string str() const { return std::string(buf, static_cast<std::size_t>(p - buf)); }
};

} // namespace

struct SystemGrid::Store {
    // Guards the texts while a bulk write lets another thread read and write them.
    mutable std::mutex mutex;
    int bulk = 0;  // open bulk writes
    // The cells written since the last announcement: rows r0..r1, columns c0..c1 (none: r0 > r1).
    int r0 = 1, r1 = 0, c0 = 1, c1 = 0;
    bool resetPending = false;  // a layout change made on another thread, not announced yet

    int rows = 2;
    int cols = 2;

    // The layout whose placeholders show in cells never written, within the part of the layout
    // that every resize since it was made has kept.
    Layout layout = Layout::None;
    int layoutN = 0;
    int extentRows = 0;
    int extentCols = 0;

    std::vector<RowEntries> rowEntries;  // grows to the highest written row
    std::vector<int> usedRows;           // rows with entries, in the order first written
    Arena arena;
    std::uint64_t garbage = 0;           // bytes of records no cell refers to any more
    std::uint64_t minGarbage = 0;        // the store is compacted only once garbage reaches this
    std::size_t slotBytes = 0;

    // ---- entries

    std::uint32_t entry(int r, int c) const
    {
        if (static_cast<std::size_t>(r) >= rowEntries.size())
            return NotWritten;
        const Lane& lane = rowEntries[static_cast<std::size_t>(r)].lanes[static_cast<unsigned>(c) & 1u];
        return lane.entry(static_cast<std::uint32_t>(c) >> 1);
    }

    static std::uint32_t slotsFor(int columns, unsigned parity)
    {
        return static_cast<std::uint32_t>(parity == 0 ? (columns + 1) / 2 : columns / 2);
    }

    std::uint32_t& entryForWrite(int r, int c)
    {
        // Most writes land in a dense lane that already has the slot.
        const std::size_t ri = static_cast<std::size_t>(r);
        const std::uint32_t s = static_cast<std::uint32_t>(c) >> 1;
        if (ri < rowEntries.size()) {
            std::vector<std::uint32_t>& dense = rowEntries[ri].lanes[static_cast<unsigned>(c) & 1u].dense;
            if (s < dense.size())
                return dense[s];
        }
        return newEntry(r, c);
    }

    // The rest: a new row, a sparse lane, or a slot beyond the lane's array.
    std::uint32_t& newEntry(int r, int c)
    {
        const std::size_t ri = static_cast<std::size_t>(r);
        if (ri >= rowEntries.size())
            rowEntries.resize(ri + 1);
        RowEntries& row = rowEntries[ri];
        if (!row.listed) {
            usedRows.push_back(r);
            row.listed = true;
        }
        const unsigned p = static_cast<unsigned>(c) & 1u;
        Lane& lane = row.lanes[p];
        const std::size_t before = lane.bytes();
        std::uint32_t& e = lane.entryForWrite(static_cast<std::uint32_t>(c) >> 1, slotsFor(cols, p));
        slotBytes = slotBytes - before + lane.bytes();
        return e;
    }

    std::size_t recordSize(std::uint32_t e) const
    {
        std::uint64_t dataAt = 0;
        const std::size_t len = arena.length(e - 1, &dataAt);
        return headerSize(len) + len;
    }

    void forget(std::uint32_t& e)
    {
        if (e != NotWritten && e != EmptyText)
            garbage += recordSize(e);
        e = NotWritten;
    }

    // ---- reading

    std::string written(std::uint32_t e) const
    {
        if (e == EmptyText)
            return {};
        std::uint64_t dataAt = 0;
        const std::size_t len = arena.length(e - 1, &dataAt);
        if (const char* d = arena.direct(dataAt, len))
            return std::string(d, len);
        std::string s(len, '\0');
        arena.get(dataAt, s.data(), len);
        return s;
    }

    std::string placeholder(int r, int c) const
    {
        if (layout == Layout::None || r >= extentRows || c >= extentCols)
            return {};
        SmallText t;
        if (layout == Layout::FileBacked) {
            if (c != 0)
                return {};
            if (r == 0)
                return "Solution";
            t.add("X(");
            t.add(r);
            t.add(")=");
            return t.str();
        }
        const int n = layoutN;
        if (r == 0) {
            if (c == 0)
                return "System";
            if (c == 2 * n + 3)
                return "Solution";
            return {};
        }
        if (c == 0 || c == 2 * n + 2)
            return {};
        if (c <= 2 * n) {
            if (c & 1) {
                t.add("a(");
                t.add(r);
                t.add(",");
                t.add((c + 1) / 2);
                t.add(")");
            } else {
                t.add("*x(");
                t.add(c / 2);
                t.add(c / 2 == n ? ")=" : ")+");
            }
            return t.str();
        }
        if (c == 2 * n + 1) {
            t.add("b(");
            t.add(r);
            t.add(")");
            return t.str();
        }
        return "0";  // 2N+3, the solution column
    }

    // ---- writing

    void write(int r, int c, std::string_view text)
    {
        std::uint32_t& e = entryForWrite(r, c);
        if (text.empty()) {
            forget(e);
            e = EmptyText;
            return;
        }
        std::size_t oldSize = 0;
        if (e != NotWritten && e != EmptyText) {
            std::uint64_t dataAt = 0;
            const std::size_t oldLen = arena.length(e - 1, &dataAt);
            if (headerSize(oldLen) == headerSize(text.size()) && text.size() <= oldLen) {
                // Rewritten in place; the tail it no longer uses is dead.
                arena.writeRecord(e - 1, text);
                garbage += oldLen - text.size();
                return;
            }
            oldSize = headerSize(oldLen) + oldLen;
        }
        // The old text stays until the new one is stored.
        const std::uint64_t at = arena.append(text);
        e = static_cast<std::uint32_t>(at + 1);
        garbage += oldSize;
        maybeCompact();
    }

    void maybeCompact()
    {
        const std::uint64_t live = arena.used() - garbage;
        if (garbage < minGarbage || garbage < live / 4)
            return;
        compact();
    }

    template <class Visit> void forEachRecord(Visit&& visit)
    {
        for (int r : usedRows) {
            for (Lane& lane : rowEntries[static_cast<std::size_t>(r)].lanes)
                lane.forEachEntry([&](std::uint32_t& e) {
                    if (e != NotWritten && e != EmptyText)
                        visit(e);
                });
        }
    }

    // Copies the live records into a fresh arena. The copy is made first and the entries are
    // redirected only once it is complete, so that running out of memory here loses nothing.
    void compact()
    {
        Arena fresh;
        try {
            forEachRecord([&](std::uint32_t& e) {
                std::uint64_t dataAt = 0;
                const std::size_t len = arena.length(e - 1, &dataAt);
                if (const char* d = arena.direct(dataAt, len)) {
                    fresh.append(std::string_view(d, len));
                } else {
                    std::string s(len, '\0');
                    arena.get(dataAt, s.data(), len);
                    fresh.append(s);
                }
            });
        } catch (const std::bad_alloc&) {
            return;
        } catch (const MemoryError&) {
            return;
        }
        std::uint64_t at = 0;
        forEachRecord([&](std::uint32_t& e) {
            const std::size_t size = recordSize(e);
            at = fresh.placeFor(at, size);
            e = static_cast<std::uint32_t>(at + 1);
            at += size;
        });
        arena.swap(fresh);
        garbage = 0;
    }

    // ---- whole-grid changes

    void releaseEntries()
    {
        std::vector<RowEntries>().swap(rowEntries);
        std::vector<int>().swap(usedRows);
        arena.release();
        garbage = 0;
        slotBytes = 0;
    }

    void swapCells(Store& o)
    {
        std::swap(rows, o.rows);
        std::swap(cols, o.cols);
        std::swap(layout, o.layout);
        std::swap(layoutN, o.layoutN);
        std::swap(extentRows, o.extentRows);
        std::swap(extentCols, o.extentCols);
        rowEntries.swap(o.rowEntries);
        usedRows.swap(o.usedRows);
        arena.swap(o.arena);
        std::swap(garbage, o.garbage);
        std::swap(slotBytes, o.slotBytes);
    }

    // The text of a cell inside the grid.
    std::string cellText(int r, int c) const
    {
        const std::uint32_t e = entry(r, c);
        return e == NotWritten ? placeholder(r, c) : written(e);
    }

    void clearAll()
    {
        releaseEntries();
        layout = Layout::None;
        layoutN = 0;
        extentRows = extentCols = 0;
    }

    void setRowCount(int n)
    {
        if (n < 1 || n > SystemGrid::MaxRows)
            throw SubscriptError("row count out of range");
        if (n < rows) {
            // Rows that go lose what was written in them.
            std::vector<int> kept;
            for (int r : usedRows) {
                if (r < n) {
                    kept.push_back(r);
                    continue;
                }
                RowEntries& row = rowEntries[static_cast<std::size_t>(r)];
                for (Lane& lane : row.lanes) {
                    lane.forEachEntry([&](std::uint32_t& e) { forget(e); });
                    slotBytes -= lane.bytes();
                    lane = Lane{};
                }
                row.listed = false;
            }
            usedRows.swap(kept);
            if (rowEntries.size() > static_cast<std::size_t>(n))
                rowEntries.resize(static_cast<std::size_t>(n));
        }
        rows = n;
        extentRows = std::min(extentRows, n);
    }

    void setColCount(int n)
    {
        if (n < 1 || n > SystemGrid::MaxCols)
            throw SubscriptError("column count out of range");
        if (n < cols) {
            // Columns that go lose what was written in them; column 2s + p stays while
            // s < slotsFor(n, p).
            for (int r : usedRows) {
                RowEntries& row = rowEntries[static_cast<std::size_t>(r)];
                for (unsigned p = 0; p < 2; ++p)
                    row.lanes[p].dropFrom(slotsFor(n, p), [&](std::uint32_t& e) { forget(e); });
            }
        }
        cols = n;
        extentCols = std::min(extentCols, n);
    }

    void forgetColumn(int c, int lastRow)
    {
        for (int r : usedRows)
            if (r <= lastRow) {
                Lane& lane = rowEntries[static_cast<std::size_t>(r)].lanes[static_cast<unsigned>(c) & 1u];
                lane.drop(static_cast<std::uint32_t>(c) >> 1, [&](std::uint32_t& e) { forget(e); });
            }
    }
};

namespace {

// Runs `fn` when the scope ends, also when it ends with an exception: a layout change that
// fails half-way still closes the model's reset.
template <class Fn> class AtScopeEnd {
public:
    explicit AtScopeEnd(Fn fn) : fn_(std::move(fn)) {}
    ~AtScopeEnd() { fn_(); }
    AtScopeEnd(const AtScopeEnd&) = delete;
    AtScopeEnd& operator=(const AtScopeEnd&) = delete;

private:
    Fn fn_;
};

} // namespace

template <class Change> void SystemGrid::changeAll(Change&& change)
{
    Store& s = *store_;
    bool deferred;
    {
        const std::lock_guard lock(s.mutex);
        deferred = s.bulk > 0 && QThread::currentThread() != thread();
    }
    if (deferred) {
        // The view reads the grid on its own thread meanwhile: it hears of the change at the next
        // flush, and until then finds every cell it asks for inside the counts or gets nothing.
        const std::lock_guard lock(s.mutex);
        AtScopeEnd pending([&s] {
            s.resetPending = true;
            s.r0 = 1;
            s.r1 = 0;
        });
        change();
        return;
    }
    beginResetModel();
    AtScopeEnd endReset([this] { endResetModel(); });
    const std::lock_guard lock(s.mutex);
    change();
}

SystemGrid::SystemGrid(QObject* parent, std::uint64_t minGarbage) : QAbstractTableModel(parent), store_(new Store)
{
    store_->minGarbage = minGarbage;
}

SystemGrid::~SystemGrid() { delete store_; }

int SystemGrid::rows() const { return store_->rows; }
int SystemGrid::cols() const { return store_->cols; }

void SystemGrid::setRows(int rows)
{
    if (rows < 1 || rows > MaxRows)
        throw SubscriptError("row count out of range");
    changeAll([&] { store_->setRowCount(rows); });
}

void SystemGrid::setCols(int cols)
{
    if (cols < 1 || cols > MaxCols)
        throw SubscriptError("column count out of range");
    changeAll([&] { store_->setColCount(cols); });
}

std::string SystemGrid::text(int row, int col) const
{
    const Store& s = *store_;
    const std::lock_guard lock(s.mutex);
    if (row < 0 || row >= s.rows || col < 0 || col >= s.cols)
        throw SubscriptError("cell outside the grid");
    return s.cellText(row, col);
}

void SystemGrid::setText(int row, int col, std::string_view text)
{
    Store& s = *store_;
    {
        const std::lock_guard lock(s.mutex);
        if (row < 0 || row >= s.rows || col < 0 || col >= s.cols)
            throw SubscriptError("cell outside the grid");
        try {
            s.write(row, col, text);
        } catch (const std::bad_alloc&) {
            throw MemoryError("not enough memory for the grid");
        }
        if (s.bulk > 0) {
            if (s.r0 > s.r1) {
                s.r0 = s.r1 = row;
                s.c0 = s.c1 = col;
            } else {
                s.r0 = std::min(s.r0, row);
                s.r1 = std::max(s.r1, row);
                s.c0 = std::min(s.c0, col);
                s.c1 = std::max(s.c1, col);
            }
            return;
        }
    }
    if (row == 0 && col == 0)
        return;
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
    } else if (col == 0) {
        emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
    } else {
        const QModelIndex at = createIndex(row - 1, col - 1);
        emit dataChanged(at, at);
    }
}

void SystemGrid::beginBulk()
{
    const std::lock_guard lock(store_->mutex);
    ++store_->bulk;
}

void SystemGrid::flushBulk()
{
    int r0, r1, c0, c1;
    bool reset;
    {
        Store& s = *store_;
        const std::lock_guard lock(s.mutex);
        reset = std::exchange(s.resetPending, false);
        // What a layout change since then removed is gone from the view already.
        r0 = s.r0;
        r1 = std::min(s.r1, s.rows - 1);
        c0 = s.c0;
        c1 = std::min(s.c1, s.cols - 1);
        s.r0 = 1;
        s.r1 = 0;
    }
    if (reset) {
        beginResetModel();
        endResetModel();
        return;
    }
    if (r0 > r1 || c0 > c1)
        return;
    if (r0 == 0 && c1 >= 1)
        emit headerDataChanged(Qt::Horizontal, std::max(c0, 1) - 1, c1 - 1);
    if (c0 == 0 && r1 >= 1)
        emit headerDataChanged(Qt::Vertical, std::max(r0, 1) - 1, r1 - 1);
    if (r1 >= 1 && c1 >= 1)
        emit dataChanged(createIndex(std::max(r0, 1) - 1, std::max(c0, 1) - 1), createIndex(r1 - 1, c1 - 1));
}

void SystemGrid::endBulk()
{
    {
        const std::lock_guard lock(store_->mutex);
        --store_->bulk;
    }
    flushBulk();
}

void SystemGrid::clear()
{
    changeAll([this] { store_->clearAll(); });
}

void SystemGrid::take(SystemGrid& other)
{
    changeAll([&] { store_->swapCells(*other.store_); });
}

void SystemGrid::fill_data(i16 N)
{
    Store& s = *store_;
    changeAll([&] {
        s.clearAll();
        s.setRowCount(add16(N, 1));
        s.setColCount(add16(mul16(2, N), 4));
        // Every cell now shows its placeholder.
        s.layout = Layout::InMemory;
        s.layoutN = N;
        s.extentRows = N + 1;
        s.extentCols = 2 * N + 4;
    });
}

void SystemGrid::fill_x(i16 N, const std::vector<float>& X, std::string_view separator)
{
    if (N < 0 || X.size() < static_cast<std::size_t>(N) + 1)
        throw SubscriptError("the approximation does not cover 1..N");
    Store& s = *store_;
    changeAll([&] {
        s.setRowCount(add16(N, 1));
        s.setColCount(2);
        // Column 0 of rows 0..N shows the labels of this layout from now on; no earlier text
        // there may hide them. Cell (0, 1) is empty in every layout and keeps what was written.
        s.forgetColumn(0, N);
        s.layout = Layout::FileBacked;
        s.layoutN = N;
        s.extentRows = N + 1;
        s.extentCols = 2;
        try {
            for (int i = 1; i <= N; ++i)
                s.write(i, 1, FormatSingle(X[static_cast<std::size_t>(i)], separator));
        } catch (const std::bad_alloc&) {
            throw MemoryError("not enough memory for the grid");
        }
    });
}

bool SystemGrid::fileBackedLayout() const { return store_->layout == Layout::FileBacked; }

std::string SystemGrid::cornerText() const { return text(0, 0); }

int SystemGrid::rowCount(const QModelIndex& parent) const
{
    const std::lock_guard lock(store_->mutex);
    return parent.isValid() ? 0 : store_->rows - 1;
}

int SystemGrid::columnCount(const QModelIndex& parent) const
{
    const std::lock_guard lock(store_->mutex);
    return parent.isValid() ? 0 : store_->cols - 1;
}

QVariant SystemGrid::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const int r = index.row() + 1, c = index.column() + 1;
    const std::lock_guard lock(store_->mutex);
    if (r >= store_->rows || c >= store_->cols)
        return {};
    return QString::fromStdString(store_->cellText(r, c));
}

QVariant SystemGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    const std::lock_guard lock(store_->mutex);
    if (orientation == Qt::Horizontal) {
        if (section + 1 >= store_->cols)
            return {};
        return QString::fromStdString(store_->cellText(0, section + 1));
    }
    if (section + 1 >= store_->rows)
        return {};
    return QString::fromStdString(store_->cellText(section + 1, 0));
}

Qt::ItemFlags SystemGrid::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

std::size_t SystemGrid::storeBytes() const
{
    const Store& s = *store_;
    return s.arena.blockBytes() + s.slotBytes + s.rowEntries.capacity() * sizeof(RowEntries) +
           s.usedRows.capacity() * sizeof(int);
}

} // namespace quenta
