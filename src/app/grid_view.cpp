#include "app/grid_view.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHeaderView>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <algorithm>

#include "help/twips_layout.h"
#include "model/grid.h"

namespace quenta {

namespace {

// Default cell size of the grid, in twips.
constexpr int GridColumnTwips = 900;
constexpr int GridRowTwips = 240;

} // namespace

GridView::GridView(SystemGrid* grid, QWidget* parent) : QTableView(parent), grid_(grid)
{
    setModel(grid);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTabKeyNavigation(false);  // Tab goes on to the next control, as it does from any other
    for (QHeaderView* h : {horizontalHeader(), verticalHeader()}) {
        h->setSectionResizeMode(QHeaderView::Fixed);
        h->setHighlightSections(false);
    }
    // The corner cell of the fixed row and column is the view's corner button, drawn with the
    // grid's corner text; a new layout changes that text.
    corner_ = findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
    if (corner_) {
        corner_->setObjectName(QStringLiteral("msfgDataCorner"));
        corner_->installEventFilter(this);
        connect(grid, &QAbstractItemModel::modelReset, corner_, qOverload<>(&QWidget::update));
    }
}

void GridView::setScale(double scale)
{
    // The fixed column is wide enough for the corner's "System" and "Solution".
    const QFontMetrics fm(font());
    const int headerMargin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    const int cornerWidth = std::max(fm.horizontalAdvance(QStringLiteral("System")),
                                     fm.horizontalAdvance(QStringLiteral("Solution")));
    verticalHeader()->setMinimumWidth(cornerWidth + 2 * headerMargin + 4);
    horizontalHeader()->setDefaultSectionSize(TwipsLayout::px(GridColumnTwips, scale));
    verticalHeader()->setDefaultSectionSize(std::max(TwipsLayout::px(GridRowTwips, scale), fm.height() + 4));
}

bool GridView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != corner_)
        return QTableView::eventFilter(watched, event);
    if (event->type() != QEvent::Paint)
        return false;
    paintCorner();
    return true;
}

void GridView::paintCorner()
{
    QStyleOptionHeader opt;
    opt.initFrom(corner_);
    QStyle::State state = QStyle::State_None;
    if (corner_->isEnabled())
        state |= QStyle::State_Enabled;
    if (corner_->isActiveWindow())
        state |= QStyle::State_Active;
    if (corner_->isDown())
        state |= QStyle::State_Sunken;
    opt.state = state;
    opt.rect = corner_->rect();
    opt.position = QStyleOptionHeader::OnlyOneSection;
    opt.text = QString::fromStdString(grid_->cornerText());
    opt.textAlignment = Qt::AlignCenter;
    QStylePainter painter(corner_);
    painter.drawControl(QStyle::CE_Header, opt);
}

} // namespace quenta
