#include "app/main_controls.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <optional>

#include "app/grid_view.h"
#include "help/twips_layout.h"
#include "model/grid.h"
#include "model/numbers.h"

namespace quenta {

namespace {

enum class Kind { Grid, Frame, Label, BoldLabel, WrappedLabel, Field, Button, Progress, Rule };

// What a run on the worker does to a control, and how it starts.
enum Flags : unsigned {
    OffDuringRun = 1,  // disabled while a run goes on
    OnDuringRun = 2,   // enabled while a run goes on ("Find  solution" reads "Stop" then)
    CreatedOff = 4,    // disabled from the start
};

struct Row {
    const char* name;
    Kind kind;
    const char* caption;  // a field's initial text, its decimal point the user's separator
    QRect twips;          // in the client area, or in the frame `in`
    const char* in;       // the frame that holds the control, or nullptr
    std::optional<Control> control;
    unsigned flags;
};

// The client area, in twips.
constexpr QSize ClientTwips(10395, 5850);

// In the order of creation, which is also the tab order of the controls that take the focus.
constexpr Row Table[] = {
    {"msfgData", Kind::Grid, "", {240, 360, 9975, 2535}, nullptr, {}, 0},
    {"frmIndex(0)", Kind::Frame, "", {840, 3600, 735, 975}, nullptr, {}, 0},
    {"txtIndex(0)", Kind::Field, "1", {120, 240, 375, 285}, "frmIndex(0)", Control::txtIndex0, OffDuringRun},
    {"cmdUp(0)", Kind::Button, ">", {360, 600, 255, 255}, "frmIndex(0)", {}, OffDuringRun},
    {"cmdDown(0)", Kind::Button, "<", {120, 600, 255, 255}, "frmIndex(0)", {}, OffDuringRun},
    {"frmIndex(1)", Kind::Frame, "", {1920, 3600, 735, 975}, nullptr, {}, 0},
    {"txtIndex(1)", Kind::Field, "1", {120, 240, 375, 285}, "frmIndex(1)", Control::txtIndex1, OffDuringRun},
    {"cmdUp(1)", Kind::Button, ">", {360, 600, 255, 255}, "frmIndex(1)", {}, OffDuringRun},
    {"cmdDown(1)", Kind::Button, "<", {120, 600, 255, 255}, "frmIndex(1)", {}, OffDuringRun},
    {"frmIndex(2)", Kind::Frame, "", {840, 4800, 735, 975}, nullptr, {}, 0},
    {"txtIndex(2)", Kind::Field, "1", {120, 240, 375, 285}, "frmIndex(2)", Control::txtIndex2, OffDuringRun},
    {"cmdUp(2)", Kind::Button, ">", {360, 600, 255, 255}, "frmIndex(2)", {}, OffDuringRun},
    {"cmdDown(2)", Kind::Button, "<", {120, 600, 255, 255}, "frmIndex(2)", {}, OffDuringRun},
    {"lblN", Kind::BoldLabel, "N=", {480, 3120, 375, 255}, nullptr, {}, 0},
    {"txtN", Kind::Field, "", {960, 3120, 735, 285}, nullptr, Control::txtN, OffDuringRun},
    {"cmdN", Kind::Button, "Accept N", {4800, 3000, 1095, 375}, nullptr, Control::cmdN, OffDuringRun},
    {"lblA", Kind::BoldLabel, "A (", {480, 3840, 255, 375}, nullptr, {}, 0},
    {"lblA1", Kind::BoldLabel, ",", {1680, 3840, 135, 255}, nullptr, {}, 0},
    {"lblA2", Kind::BoldLabel, ") =", {2760, 3840, 255, 375}, nullptr, {}, 0},
    {"txtA", Kind::Field, "", {3120, 3720, 1335, 375}, nullptr, Control::txtA, OffDuringRun},
    {"cmdA", Kind::Button, "Accept A(i,j)", {4800, 3720, 1095, 375}, nullptr, Control::cmdA, OffDuringRun},
    {"lblB", Kind::BoldLabel, "B (", {480, 5040, 255, 255}, nullptr, {}, 0},
    {"lblB1", Kind::BoldLabel, ") =", {1680, 5040, 255, 255}, nullptr, {}, 0},
    {"txtB", Kind::Field, "", {3120, 4920, 1335, 375}, nullptr, Control::txtB, OffDuringRun},
    {"cmdB", Kind::Button, "Accept B(i)", {4800, 4920, 1095, 375}, nullptr, Control::cmdB, OffDuringRun},
    {"cmdSolution", Kind::Button, "Find  solution", {7200, 3120, 1335, 375}, nullptr, Control::cmdSolution, OnDuringRun},
    {"txtEr", Kind::Field, "", {8280, 5400, 1935, 375}, nullptr, Control::txtEr, 0},
    {"lblEr", Kind::Label, "Current accuracy", {6480, 5520, 1335, 255}, nullptr, {}, 0},
    {"cmdIter", Kind::Button, "Next Iteration", {7200, 3600, 1335, 375}, nullptr, Control::cmdIter, OffDuringRun | CreatedOff},
    {"lblEps", Kind::Label, "Desired accuracy", {6480, 4320, 1455, 255}, nullptr, {}, 0},
    {"txtEps", Kind::Field, "0.5", {8280, 4200, 1935, 375}, nullptr, Control::txtEps, OffDuringRun},
    {"txtTime", Kind::Field, "", {8280, 4800, 1815, 375}, nullptr, Control::txtTime, 0},
    {"lblTime", Kind::WrappedLabel, "Duration of the  last operation", {6480, 4800, 1455, 375}, nullptr, {}, 0},
    // Beside "Find  solution", which reads "Stop" while Open or Connect reads a file.
    {"progress", Kind::Progress, "", {8640, 3165, 1575, 285}, nullptr, {}, 0},
    // The vertical rule between the entry area and the solve area.
    {"Line1", Kind::Rule, "", {6240, 3000, 0, 2760}, nullptr, {}, 0},
};

QWidget* make(const Row& row, QWidget* parent, SystemGrid* grid, const std::string& separator)
{
    const QString caption = QString::fromLatin1(row.caption);
    switch (row.kind) {
    case Kind::Grid:
        return new GridView(grid, parent);
    case Kind::Frame: {
        auto* frame = new QFrame(parent);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        return frame;
    }
    case Kind::Label:
    case Kind::BoldLabel:
    case Kind::WrappedLabel: {
        auto* label = new QLabel(caption, parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(row.kind == Kind::WrappedLabel);
        if (row.kind == Kind::BoldLabel) {
            QFont bold = TwipsLayout::windowFont();
            bold.setWeight(QFont::Bold);  // 700
            label->setFont(bold);
        }
        return label;
    }
    case Kind::Field: {
        // 0.5 written with the user's decimal separator, so that it reads back as 0.5.
        const QString text = QString(caption).replace(u'.', QString::fromStdString(separator));
        return new QLineEdit(text, parent);
    }
    case Kind::Button: {
        auto* button = new QPushButton(caption, parent);
        button->setAutoDefault(false);
        return button;
    }
    case Kind::Progress: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 1000);
        bar->hide();
        return bar;
    }
    case Kind::Rule: {
        auto* rule = new QFrame(parent);
        rule->setFrameShape(QFrame::VLine);
        rule->setFrameShadow(QFrame::Plain);
        rule->setLineWidth(1);
        return rule;
    }
    }
    return nullptr;
}

TwipsLayout::Anchor anchorOf(const Row& row)
{
    if (row.in)
        return TwipsLayout::Anchor::Top;  // moves with its frame
    switch (row.kind) {
    case Kind::Grid: return TwipsLayout::Anchor::Grow;
    case Kind::Rule: return TwipsLayout::Anchor::Rule;
    default: return TwipsLayout::Anchor::Bottom;
    }
}

bool takesFocus(Kind kind) { return kind == Kind::Grid || kind == Kind::Field || kind == Kind::Button; }

} // namespace

MainControls::~MainControls() { setBusy(false); }

TwipsLayout* MainControls::create(QWidget* client, SystemGrid* grid, const std::string& separator)
{
    auto* layout = new TwipsLayout(client, ClientTwips);
    QList<QWidget*> tabOrder;
    for (const Row& row : Table) {
        QWidget* parent = row.in ? widget(QString::fromLatin1(row.in)) : client;
        QWidget* w = make(row, parent, grid, separator);
        w->setObjectName(QString::fromLatin1(row.name));
        if (row.flags & CreatedOff)
            w->setEnabled(false);
        layout->add(w, row.twips, anchorOf(row));
        widgets_.push_back(w);
        if (row.control)
            byControl_[static_cast<std::size_t>(*row.control)] = w;
        if (takesFocus(row.kind))
            tabOrder.append(w);
        if (row.kind == Kind::Grid)
            gridView_ = static_cast<GridView*>(w);
        if (row.kind == Kind::Progress)
            progress_ = static_cast<QProgressBar*>(w);
    }
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    return layout;
}

QWidget* MainControls::widget(const QString& name) const
{
    for (QWidget* w : widgets_)
        if (w->objectName() == name)
            return w;
    return nullptr;
}

QPushButton* MainControls::button(Control c) const { return qobject_cast<QPushButton*>(widget(c)); }

QString MainControls::caption(Control c)
{
    for (const Row& row : Table)
        if (row.control == c)
            return QString::fromLatin1(row.caption);
    return {};
}

std::vector<std::pair<QObject*, bool>> MainControls::changedDuringRun() const
{
    std::vector<std::pair<QObject*, bool>> out;
    for (std::size_t k = 0; k < widgets_.size(); ++k)
        if (Table[k].flags & (OffDuringRun | OnDuringRun))
            out.emplace_back(widgets_[k], (Table[k].flags & OnDuringRun) != 0);
    return out;
}

std::string MainControls::text(Control c) const
{
    if (auto* e = qobject_cast<QLineEdit*>(widget(c)))
        return e->text().toStdString();
    if (QPushButton* b = button(c))
        return b->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(widget(c)))
        return l->text().toStdString();
    return {};
}

void MainControls::setText(Control c, const std::string& text)
{
    if (auto* e = qobject_cast<QLineEdit*>(widget(c)))
        e->setText(QString::fromStdString(text));
    else if (QPushButton* b = button(c))
        b->setText(QString::fromStdString(text));
    else if (auto* l = qobject_cast<QLabel*>(widget(c))) {
        l->setText(QString::fromStdString(text));
        l->setToolTip(l->text());  // the whole line where the window is too narrow for it
    }
}

bool MainControls::isEnabled(Control c) const
{
    QWidget* w = widget(c);
    return w && !w->testAttribute(Qt::WA_Disabled);
}

void MainControls::setEnabled(Control c, bool enabled)
{
    if (QWidget* w = widget(c))
        w->setEnabled(enabled);
}

void MainControls::setBusy(bool busy)
{
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace quenta
