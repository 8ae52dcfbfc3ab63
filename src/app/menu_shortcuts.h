#pragma once
// The menu's shortcuts belong to the menu whatever control has the focus: a text field would
// take Ctrl+C, Ctrl+A, Ctrl+E, Ctrl+U ... for itself.
#include <QList>
#include <QObject>

class QAction;
class QWidget;

namespace quenta {

class MenuShortcuts : public QObject {
public:
    // Watches the widgets that window holds now.
    MenuShortcuts(QWidget* window, QList<QAction*> actions);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QAction*> actions_;
};

} // namespace quenta
