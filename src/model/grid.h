#pragma once
// The grid msfgData. In the in-memory mode its cells are the store of the system. It is a
// table model over a TextStore: placeholders ("a(3,7)", "*x(7)+", "b(3)", "0") are computed from
// the layout on the fly and only texts that were written are kept, so laying out any N costs
// O(1) and a written column of N cells O(N).
//
// Row 0 and column 0 are the fixed (header) row and column. As a Qt model, the view sees the
// cells of rows 1.. and columns 1.. as its data, and row 0 / column 0 through headerData;
// the corner cell (0, 0) is cornerText().
#include <QAbstractTableModel>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "model/int16.h"
#include "model/text_store.h"

namespace quenta {

class SystemGrid : public QAbstractTableModel {
    Q_OBJECT
public:
    // The largest counts the grid accepts.
    static constexpr int MaxRows = 32767;
    static constexpr int MaxCols = 32767;

    // The store is compacted when the bytes of texts no cell refers to any more reach both
    // minGarbage and a quarter of the live texts.
    explicit SystemGrid(QObject* parent = nullptr, std::uint64_t minGarbage = std::uint64_t(1) << 20);

    int rows() const;
    int cols() const;
    // Raise SubscriptError beyond the capacity or below 1. Cells that survive keep their text.
    void setRows(int rows);
    void setCols(int cols);

    // The text of a cell; SubscriptError outside the grid.
    std::string text(int row, int col) const;
    // The texts of cells (row, first), (row, first + step), ... (count of them) appended to
    // `out`, each followed by `after`, as text() gives them; SubscriptError, with nothing
    // appended, when one lies outside the grid. One lock for them all, no copy of each.
    void appendTexts(int row, int first, int count, int step, char after, std::string& out) const;
    // Writes a cell; SubscriptError outside the grid. `separator` is the decimal separator of
    // whoever writes (the user's, WorkingState::separator): the grid keeps the text's number
    // under it for numbers() (see TextStore::write).
    void setText(int row, int col, std::string_view text, std::string_view separator);
    // The numbers of cells (row, col), (row, col + 2), ..., at most `count` of them, into out[0],
    // out[outStride], ...: each ParseSingle(text(row, col + 2k), separator) bit for bit. Stops at
    // the first cell the grid has no number for (outside the grid, never written, not a number,
    // written under another separator) and returns how many it gave; that cell is the caller's
    // to read and parse.
    std::size_t numbers(int row, int col, std::size_t count, std::string_view separator, float* out,
                        std::ptrdiff_t outStride = 1) const;
    // Bulk writing: from beginBulk() to the matching endBulk() (they nest) setText announces nothing; the cells written
    // meanwhile are gathered into one range, which flushBulk() and endBulk() announce with one
    // dataChanged (and headerDataChanged for the fixed row or column). While a bulk write is open
    // one other thread may call text() and setText(); announcing stays with the grid's thread.
    // A layout change made on that other thread meanwhile is announced as a model reset by the
    // next flushBulk() or endBulk(). Outside a bulk write the grid is its own thread's alone, and
    // setText takes no lock.
    void beginBulk();
    void flushBulk();
    void endBulk();
    // Every cell's text becomes empty; the counts stay.
    void clear();
    // Exchanges the cells, counts and layout with `other` in one change. A reader fills a grid of
    // its own and hands it over whole, so that this one stays as it was until then.
    void take(SystemGrid& other);

    // In-memory layout for a system of order N: N+1 rows, 2N+4 columns (16-bit arithmetic,
    // OverflowError from N = 16382 on), a(i,j) in column 2j-1, b(i) in 2N+1, "0" in 2N+3.
    void fill_data(i16 N);
    // File-backed layout: N+1 rows, 2 columns, "Solution" / "X(i)=" / FormatSingle(X(i)) with
    // the separator given. SubscriptError when X does not cover 1..N.
    void fill_x(i16 N, const std::vector<float>& X, std::string_view separator);
    bool fileBackedLayout() const;

    std::string cornerText() const;

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Memory the store holds for written cells, in bytes (for the benchmarks).
    std::size_t storeBytes() const;

protected:
    // Something connected to a signal of the grid: from then on each write outside a bulk write
    // is announced. Until then nothing listens, and the grid skips announcing.
    void connectNotify(const QMetaMethod& signal) override;

private:
    enum class Layout { None, InMemory, FileBacked };

    // Makes a change of the whole grid under the lock and announces it as a model reset.
    template <class Change> void changeAll(Change&& change);
    // Under the lock:
    std::string cellText(int r, int c) const;
    std::string placeholder(int r, int c) const;
    void setRowCount(int n);
    void setColCount(int n);
    void clearAll();
    void swapCells(SystemGrid& other);

    // Guards everything below while a bulk write lets another thread read and write cells.
    mutable std::mutex mutex_;
    TextStore store_;
    std::atomic<int> bulk_ = 0;          // open bulk writes; changed on the grid's thread only
    std::atomic<bool> watched_ = false;  // connectNotify() has been called
    // The cells written since the last announcement: rows r0..r1, columns c0..c1 (none: r0 > r1).
    int r0_ = 1, r1_ = 0, c0_ = 1, c1_ = 0;
    bool resetPending_ = false;  // a layout change made on another thread, not announced yet

    int rows_ = 2;
    int cols_ = 2;
    // The layout whose placeholders show in cells never written, within the part of the layout
    // that every resize since it was made has kept.
    Layout layout_ = Layout::None;
    int layoutN_ = 0;
    int extentRows_ = 0;
    int extentCols_ = 0;
};

// Where the layouts put a system of order N; row i holds equation i. In memory: a(i,j) in column
// 2j-1, b(i) in column 2N+1, x(i) in column 2N+3 (16-bit arithmetic: OverflowError past 32767).
// File-backed: x(i) in column 1.
inline int aColumn(int j) { return 2 * j - 1; }
inline int bColumn(i16 N) { return add16(mul16(2, N), 1); }
inline int xColumn(i16 N, bool fileBacked = false) { return fileBacked ? 1 : add16(mul16(2, N), 3); }

} // namespace quenta
