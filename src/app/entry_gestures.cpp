#include "app/entry_gestures.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QWheelEvent>

#include "app/grid_view.h"
#include "app/main_controls.h"
#include "app/run_controller.h"
#include "files/system_text.h"
#include "model/entry.h"

namespace quenta {

EntryGestures::EntryGestures(MainControls& controls, Form& form, const RunController& run, RunNow runNow,
                             QAction* paste, QObject* parent)
    : QObject(parent), controls_(controls), form_(form), run_(run), runNow_(std::move(runNow))
{
    GridView* grid = controls.gridView();
    // A plain click chooses; with Shift or Ctrl it only extends the selection.
    connect(grid, &QAbstractItemView::clicked, this, [this](const QModelIndex& cell) {
        if (run_.running() || QApplication::keyboardModifiers() != Qt::NoModifier)
            return;
        std::optional<Control> field;
        runNow_([&field, cell](Form& f) { field = msfgData_Click(f, cell.row() + 1, cell.column() + 1); });
        focusValue(field);
    });

    const auto onEnter = [this](Control c, std::optional<Control> (*command)(Form&)) {
        connect(qobject_cast<QLineEdit*>(controls_.widget(c)), &QLineEdit::returnPressed, this, [this, command] {
            std::optional<Control> field;
            runNow_([&field, command](Form& f) { field = command(f); });
            focusValue(field);
        });
    };
    onEnter(Control::txtA, &txtA_Enter);
    onEnter(Control::txtB, &txtB_Enter);
    // Accept N as its button has it, and not while the button is disabled.
    connect(qobject_cast<QLineEdit*>(controls.widget(Control::txtN)), &QLineEdit::returnPressed,
            controls.button(Control::cmdN), &QPushButton::click);

    for (int k = 0; k < 3; ++k) {
        QWidget* frame = controls.widget(QStringLiteral("frmIndex(%1)").arg(k));
        frame->installEventFilter(this);
        for (QWidget* inside : frame->findChildren<QWidget*>())
            inside->installEventFilter(this);
    }

    const auto gridAction = [this, grid](const char* caption, auto slot) {
        auto* a = new QAction(QString::fromLatin1(caption), grid);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    copy_ = gridAction("&Copy", [this] { copySelection(); });
    copy_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    copySystem_ = gridAction("Copy &System", [this] { copy(&CopySystem_Click); });
    copySolution_ = gridAction("Copy S&olution", [this] { copy(&CopySolution_Click); });
    QAction* selectAll = gridAction("Select &All", [grid] { grid->selectAll(); });
    // Shift+Insert in the grid is Paste System; elsewhere it keeps its meaning.
    QAction* pasteHere = gridAction("", [paste] { paste->trigger(); });
    pasteHere->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Insert));
    for (QAction* a : {copy_, pasteHere}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        grid->addAction(a);
    }
    gridMenu_ = new QMenu(grid);
    gridMenu_->addActions({copy_, copySystem_, copySolution_});
    gridMenu_->addSeparator();
    gridMenu_->addAction(selectAll);
    gridMenu_->addSeparator();
    gridMenu_->addAction(paste);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this, &EntryGestures::showGridMenu);
}

void EntryGestures::focusValue(std::optional<Control> field)
{
    if (!field)
        return;
    auto* edit = qobject_cast<QLineEdit*>(controls_.widget(*field));
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

void EntryGestures::copy(const std::function<std::optional<std::string>(Form&)>& command)
{
    if (run_.running())
        return;  // the worker is writing the grid
    std::optional<std::string> text;
    runNow_([&text, &command](Form& f) { text = command(f); });
    if (text)
        QApplication::clipboard()->setText(QString::fromStdString(*text));
}

void EntryGestures::copySelection()
{
    std::vector<CellRange> selection;
    for (const QItemSelectionRange& r : controls_.gridView()->selectionModel()->selection())
        selection.push_back({r.top() + 1, r.left() + 1, r.bottom() + 1, r.right() + 1});
    copy([&selection](Form& f) { return Copy_Click(f, selection); });
}

void EntryGestures::showGridMenu(const QPoint& at)
{
    GridView* grid = controls_.gridView();
    const bool idle = !run_.running();
    const int n = form_.state.N;
    copy_->setEnabled(idle && grid->selectionModel()->hasSelection());
    copySystem_->setEnabled(idle && showsSystem(form_));
    copySolution_->setEnabled(idle && n >= 1 && form_.grid.rows() == n + 1);
    gridMenu_->popup(grid->viewport()->mapToGlobal(at));
}

bool EntryGestures::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    // A spinner's frame, or a control in it.
    auto* frame = static_cast<QWidget*>(watched);
    if (!frame->objectName().startsWith(QStringLiteral("frmIndex")))
        frame = frame->parentWidget();
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !frame->isAncestorOf(focus))
        return false;
    const QString k = frame->objectName().mid(frame->objectName().indexOf(u'('));  // "(0)"
    auto* up = frame->findChild<QPushButton*>(QStringLiteral("cmdUp") + k);
    auto* down = frame->findChild<QPushButton*>(QStringLiteral("cmdDown") + k);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down)
            return false;
        (key == Qt::Key_Up ? up : down)->click();
        return true;
    }
    // A notch of the wheel (120) is one step; finer wheels add up to it.
    wheelRest_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
    for (; wheelRest_ >= 120; wheelRest_ -= 120)
        up->click();
    for (; wheelRest_ <= -120; wheelRest_ += 120)
        down->click();
    return true;
}

} // namespace quenta
