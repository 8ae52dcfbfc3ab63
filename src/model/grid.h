#pragma once
// The grid msfgData. In the in-memory mode its cells are the store of the system. It is a
// table model: placeholders ("a(3,7)", "*x(7)+", "b(3)", "0") are computed from the layout on
// the fly and only texts that were written are kept, so laying out any N costs O(1) and a
// written column of N cells O(N).
//
// Row 0 and column 0 are the fixed (header) row and column. As a Qt model, the view sees the
// cells of rows 1.. and columns 1.. as its data, and row 0 / column 0 through headerData;
// the corner cell (0, 0) is cornerText().
#include <QAbstractTableModel>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/int16.h"

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
    ~SystemGrid() override;

    int rows() const;
    int cols() const;
    // Raise SubscriptError beyond the capacity or below 1. Cells that survive keep their text.
    void setRows(int rows);
    void setCols(int cols);

    // The text of a cell; SubscriptError outside the grid.
    std::string text(int row, int col) const;
    // Writes a cell; SubscriptError outside the grid.
    void setText(int row, int col, std::string_view text);
    // Bulk writing: from beginBulk() to the matching endBulk() (they nest) setText announces nothing; the cells written
    // meanwhile are gathered into one range, which flushBulk() and endBulk() announce with one
    // dataChanged (and headerDataChanged for the fixed row or column). While a bulk write is open
    // one other thread may call text() and setText(); announcing stays with the grid's thread.
    // A layout change made on that other thread meanwhile is announced as a model reset by the
    // next flushBulk() or endBulk().
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

    // Memory the store holds for written texts, in bytes (for the benchmarks).
    std::size_t storeBytes() const;

private:
    // Makes a change of the whole grid under the lock and announces it as a model reset.
    template <class Change> void changeAll(Change&& change);

    struct Store;
    Store* store_;
};

// Where the layouts put a system of order N; row i holds equation i. In memory: a(i,j) in column
// 2j-1, b(i) in column 2N+1, x(i) in column 2N+3 (16-bit arithmetic: OverflowError past 32767).
// File-backed: x(i) in column 1.
inline int aColumn(int j) { return 2 * j - 1; }
inline int bColumn(i16 N) { return add16(mul16(2, N), 1); }
inline int xColumn(i16 N, bool fileBacked = false) { return fileBacked ? 1 : add16(mul16(2, N), 3); }

} // namespace quenta
