#pragma once
// The controls of the main window's client area, written once as a table (main_controls.cpp):
// each row names a widget and gives its kind, caption, place in twips, the Control the commands
// know it by, and what a run on the worker does to it. The widgets, their layout, the tab order
// and the set a run disables all come from the table. The object is also the commands' view of
// the controls (Controls), on the window's thread.
#include <QString>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "model/form.h"

class QObject;
class QProgressBar;
class QPushButton;
class QWidget;

namespace quenta {

class GridView;
class SystemGrid;
class TwipsLayout;

class MainControls : public Controls {
public:
    ~MainControls() override;  // gives the cursor back when a command left it busy

    // Builds the widgets of the table in client (the grid's view over grid), in the table's tab
    // order, and returns the twips layout that places them. Number texts use `separator`.
    TwipsLayout* create(QWidget* client, SystemGrid* grid, const std::string& separator);

    // The status line, which lives in the window's status bar rather than in the table.
    void attachStatus(QWidget* label) { byControl_[static_cast<std::size_t>(Control::sbrStatus)] = label; }

    QWidget* widget(Control c) const { return byControl_[static_cast<std::size_t>(c)]; }
    QPushButton* button(Control c) const;
    // The widget of the table called name ("cmdUp(0)"), or nullptr.
    QWidget* widget(const QString& name) const;
    GridView* gridView() const { return gridView_; }
    QProgressBar* progress() const { return progress_; }
    // The caption the table gives c.
    static QString caption(Control c);
    // Every widget a run changes, with its enabled flag while the run goes on.
    std::vector<std::pair<QObject*, bool>> changedDuringRun() const;

    std::string text(Control c) const override;
    void setText(Control c, const std::string& text) override;
    bool isEnabled(Control c) const override;
    void setEnabled(Control c, bool enabled) override;
    void setBusy(bool busy) override;

private:
    std::vector<QWidget*> widgets_;  // one a row of the table
    std::array<QWidget*, ControlCount> byControl_{};
    GridView* gridView_ = nullptr;
    QProgressBar* progress_ = nullptr;
    bool busy_ = false;
};

} // namespace quenta
