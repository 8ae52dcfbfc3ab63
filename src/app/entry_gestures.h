#pragma once
// The gestures that make numbers quick to put in and take out: a click on a value cell of the
// grid chooses it, Enter in a value field accepts it and chooses the next cell, the index
// spinners answer the arrow keys and the wheel, and the grid has a context menu with Copy, Copy
// System, Copy Solution, Select All and Paste System (Ctrl+Insert copies and Shift+Insert pastes
// while the grid has the focus). The commands behind them live with the entry commands and the
// system text; this only routes the events.
#include <QObject>
#include <functional>
#include <optional>
#include <string>

#include "model/form.h"

class QAction;
class QMenu;

namespace quenta {

class MainControls;
class RunController;

class EntryGestures : public QObject {
public:
    using RunNow = std::function<void(const std::function<void(Form&)>&)>;

    // The controls and the form of a window; runNow runs a command on the window's thread as the
    // window's own buttons do; paste is the window's Paste System.
    EntryGestures(MainControls& controls, Form& form, const RunController& run, RunNow runNow, QAction* paste,
                  QObject* parent);

protected:
    // The spinners (their frames and what they hold): the Up and Down keys and the wheel while
    // one of their buttons has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Gives the value field the focus with its text selected, ready to be overwritten.
    void focusValue(std::optional<Control> field);
    void copy(const std::function<std::optional<std::string>(Form&)>& command);
    void copySelection();
    void showGridMenu(const QPoint& at);

    MainControls& controls_;
    Form& form_;
    const RunController& run_;
    RunNow runNow_;
    QMenu* gridMenu_ = nullptr;
    QAction* copy_ = nullptr;
    QAction* copySystem_ = nullptr;
    QAction* copySolution_ = nullptr;
    int wheelRest_ = 0;  // of a turn of the wheel that has not made a step yet
};

} // namespace quenta
