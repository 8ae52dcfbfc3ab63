#include "app/menu_shortcuts.h"

#include <QAction>
#include <QKeyEvent>
#include <QWidget>

namespace quenta {

MenuShortcuts::MenuShortcuts(QWidget* window, QList<QAction*> actions) : QObject(window), actions_(std::move(actions))
{
    for (QWidget* w : window->findChildren<QWidget*>())
        w->installEventFilter(this);
}

bool MenuShortcuts::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* a : std::as_const(actions_)) {
            if (a->shortcut() == pressed) {
                event->ignore();  // not the control's: the window's shortcut takes it
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quenta
