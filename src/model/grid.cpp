#include "model/grid.h"

#include <QString>
#include <QThread>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "model/errors.h"
#include "model/numbers.h"

namespace quenta {

namespace {

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

// A write into the store, with a refused allocation reported as the grid's own failure.
inline void writeCell(TextStore& store, int r, int c, const ParsedText& text)
{
    try {
        store.write(r, c, text);
    } catch (const std::bad_alloc&) {
        throw MemoryError("not enough memory for the grid");
    }
}

} // namespace

// ---- under the lock

std::string SystemGrid::placeholder(int r, int c) const
{
    if (layout_ == Layout::None || r >= extentRows_ || c >= extentCols_)
        return {};
    SmallText t;
    if (layout_ == Layout::FileBacked) {
        if (c != 0)
            return {};
        if (r == 0)
            return "Solution";
        t.add("X(");
        t.add(r);
        t.add(")=");
        return t.str();
    }
    const int n = layoutN_;
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

// The text of a cell inside the grid.
std::string SystemGrid::cellText(int r, int c) const
{
    std::string written;
    if (store_.appendText(r, c, written))
        return written;
    return placeholder(r, c);
}

void SystemGrid::setRowCount(int n)
{
    if (n < 1 || n > MaxRows)
        throw SubscriptError("row count out of range");
    if (n < rows_)
        store_.dropRowsFrom(n);  // rows that go lose what was written in them
    rows_ = n;
    extentRows_ = std::min(extentRows_, n);
}

void SystemGrid::setColCount(int n)
{
    if (n < 1 || n > MaxCols)
        throw SubscriptError("column count out of range");
    store_.setColumns(n);  // columns that go lose what was written in them
    cols_ = n;
    extentCols_ = std::min(extentCols_, n);
}

void SystemGrid::clearAll()
{
    store_.clear();
    layout_ = Layout::None;
    layoutN_ = 0;
    extentRows_ = extentCols_ = 0;
}

void SystemGrid::swapCells(SystemGrid& o)
{
    store_.swap(o.store_);
    std::swap(rows_, o.rows_);
    std::swap(cols_, o.cols_);
    std::swap(layout_, o.layout_);
    std::swap(layoutN_, o.layoutN_);
    std::swap(extentRows_, o.extentRows_);
    std::swap(extentCols_, o.extentCols_);
}

template <class Change> void SystemGrid::changeAll(Change&& change)
{
    bool deferred;
    {
        const std::lock_guard lock(mutex_);
        deferred = bulk_ > 0 && QThread::currentThread() != thread();
    }
    if (deferred) {
        // The view reads the grid on its own thread meanwhile: it hears of the change at the next
        // flush, and until then finds every cell it asks for inside the counts or gets nothing.
        const std::lock_guard lock(mutex_);
        AtScopeEnd pending([this] {
            resetPending_ = true;
            r0_ = 1;
            r1_ = 0;
        });
        change();
        return;
    }
    beginResetModel();
    AtScopeEnd endReset([this] { endResetModel(); });
    const std::lock_guard lock(mutex_);
    change();
}

// ---- the grid's interface

SystemGrid::SystemGrid(QObject* parent, std::uint64_t minGarbage) : QAbstractTableModel(parent), store_(minGarbage)
{
    store_.setColumns(cols_);
}

int SystemGrid::rows() const { return rows_; }
int SystemGrid::cols() const { return cols_; }

void SystemGrid::setRows(int rows)
{
    if (rows < 1 || rows > MaxRows)
        throw SubscriptError("row count out of range");
    changeAll([&] { setRowCount(rows); });
}

void SystemGrid::setCols(int cols)
{
    if (cols < 1 || cols > MaxCols)
        throw SubscriptError("column count out of range");
    changeAll([&] { setColCount(cols); });
}

std::string SystemGrid::text(int row, int col) const
{
    const std::lock_guard lock(mutex_);
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
        throw SubscriptError("cell outside the grid");
    return cellText(row, col);
}

void SystemGrid::appendTexts(int row, int first, int count, int step, char after, std::string& out) const
{
    const std::lock_guard lock(mutex_);
    const long long last = first + static_cast<long long>(step) * (count - 1);
    if (count > 0 && (row < 0 || row >= rows_ || std::min<long long>(first, last) < 0 || std::max<long long>(first, last) >= cols_))
        throw SubscriptError("cell outside the grid");
    for (int k = 0, c = first; k < count; ++k, c += step) {
        if (!store_.appendText(row, c, out))
            out += placeholder(row, c);
        out += after;
    }
}

void SystemGrid::setText(int row, int col, std::string_view text, std::string_view separator)
{
    const ParsedText parsed(text, separator);  // needs no lock
    {
        // Until a bulk write opens no other thread may touch the grid: only then does a write
        // need the lock.
        const bool bulk = bulk_.load(std::memory_order_relaxed) > 0;
        std::unique_lock lock(mutex_, std::defer_lock);
        if (bulk)
            lock.lock();
        if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
            throw SubscriptError("cell outside the grid");
        writeCell(store_, row, col, parsed);
        if (bulk) {
            if (r0_ > r1_) {
                r0_ = r1_ = row;
                c0_ = c1_ = col;
            } else {
                r0_ = std::min(r0_, row);
                r1_ = std::max(r1_, row);
                c0_ = std::min(c0_, col);
                c1_ = std::max(c1_, col);
            }
            return;
        }
    }
    if ((row == 0 && col == 0) || !watched_.load(std::memory_order_relaxed))
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

std::size_t SystemGrid::numbers(int row, int col, std::size_t count, std::string_view separator, float* out,
                                std::ptrdiff_t outStride) const
{
    const std::lock_guard lock(mutex_);
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
        return 0;
    count = std::min(count, static_cast<std::size_t>((cols_ - 1 - col) / 2 + 1));  // inside the grid
    return store_.copyNumbers(row, col, count, separator, out, outStride);
}

void SystemGrid::connectNotify(const QMetaMethod&)
{
    watched_.store(true, std::memory_order_relaxed);
}

void SystemGrid::beginBulk()
{
    const std::lock_guard lock(mutex_);
    ++bulk_;
}

void SystemGrid::flushBulk()
{
    int r0, r1, c0, c1;
    bool reset;
    {
        const std::lock_guard lock(mutex_);
        reset = std::exchange(resetPending_, false);
        // What a layout change since then removed is gone from the view already.
        r0 = r0_;
        r1 = std::min(r1_, rows_ - 1);
        c0 = c0_;
        c1 = std::min(c1_, cols_ - 1);
        r0_ = 1;
        r1_ = 0;
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
        const std::lock_guard lock(mutex_);
        --bulk_;
    }
    flushBulk();
}

void SystemGrid::clear()
{
    changeAll([this] { clearAll(); });
}

void SystemGrid::take(SystemGrid& other)
{
    changeAll([&] { swapCells(other); });
}

void SystemGrid::fill_data(i16 N)
{
    changeAll([&] {
        clearAll();
        setRowCount(add16(N, 1));
        setColCount(add16(mul16(2, N), 4));
        // Every cell now shows its placeholder.
        layout_ = Layout::InMemory;
        layoutN_ = N;
        extentRows_ = N + 1;
        extentCols_ = 2 * N + 4;
    });
}

void SystemGrid::fill_x(i16 N, const std::vector<float>& X, std::string_view separator)
{
    if (N < 0 || X.size() < static_cast<std::size_t>(N) + 1)
        throw SubscriptError("the approximation does not cover 1..N");
    changeAll([&] {
        setRowCount(add16(N, 1));
        setColCount(2);
        // Column 0 of rows 0..N shows the labels of this layout from now on; no earlier text
        // there may hide them. Cell (0, 1) is empty in every layout and keeps what was written.
        store_.dropColumn(0, N);
        layout_ = Layout::FileBacked;
        layoutN_ = N;
        extentRows_ = N + 1;
        extentCols_ = 2;
        for (int i = 1; i <= N; ++i)
            writeCell(store_, i, 1, ParsedText(FormatSingle(X[static_cast<std::size_t>(i)], separator), separator));
    });
}

bool SystemGrid::fileBackedLayout() const { return layout_ == Layout::FileBacked; }

std::string SystemGrid::cornerText() const { return text(0, 0); }

int SystemGrid::rowCount(const QModelIndex& parent) const
{
    const std::lock_guard lock(mutex_);
    return parent.isValid() ? 0 : rows_ - 1;
}

int SystemGrid::columnCount(const QModelIndex& parent) const
{
    const std::lock_guard lock(mutex_);
    return parent.isValid() ? 0 : cols_ - 1;
}

QVariant SystemGrid::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const int r = index.row() + 1, c = index.column() + 1;
    const std::lock_guard lock(mutex_);
    if (r >= rows_ || c >= cols_)
        return {};
    return QString::fromStdString(cellText(r, c));
}

QVariant SystemGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    const std::lock_guard lock(mutex_);
    if (orientation == Qt::Horizontal) {
        if (section + 1 >= cols_)
            return {};
        return QString::fromStdString(cellText(0, section + 1));
    }
    if (section + 1 >= rows_)
        return {};
    return QString::fromStdString(cellText(section + 1, 0));
}

Qt::ItemFlags SystemGrid::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

std::size_t SystemGrid::storeBytes() const
{
    const std::lock_guard lock(mutex_);
    return store_.bytes();
}

} // namespace quenta
