#pragma once
// The view of the system grid: nobody edits it, its fixed row and column keep their sizes, and
// its corner cell shows the grid's corner text ("System", "Solution") as a header section.
#include <QTableView>

class QAbstractButton;

namespace quenta {

class SystemGrid;

class GridView : public QTableView {
public:
    GridView(SystemGrid* grid, QWidget* parent);
    // The cell size of the twips layout at scale; the fixed column wide enough for the corner.
    void setScale(double scale);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintCorner();

    SystemGrid* grid_;
    QAbstractButton* corner_;
};

} // namespace quenta
