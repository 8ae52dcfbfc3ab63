#include "help/twips_layout.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace quenta {

namespace {

// Whether a widget's caption (or initial text) fits into the given size, with the room its
// frame takes. Labels that wrap must fit with all their lines.
bool captionFits(const QWidget* w, QSize size)
{
    const QFontMetrics fm(w->font());
    const int frame = w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
    if (auto* b = qobject_cast<const QPushButton*>(w))
        return fm.horizontalAdvance(b->text()) + 2 * (frame + 1) <= size.width()
            && fm.height() + 2 * frame <= size.height();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return fm.horizontalAdvance(e->text()) + 2 * frame + 4 <= size.width()
            && fm.height() + 2 * frame <= size.height();
    if (auto* l = qobject_cast<const QLabel*>(w)) {
        // Measured as the label lays its text out, with the glyphs' overhangs.
        const int flags = int(l->alignment()) | (l->wordWrap() ? int(Qt::TextWordWrap) : 0);
        const QRect need = fm.boundingRect(QRect(0, 0, size.width(), 100000), flags, l->text());
        return need.width() <= size.width() && need.height() <= size.height();
    }
    return true;
}

} // namespace

TwipsLayout::TwipsLayout(QWidget* client, QSize clientTwips)
    : QObject(client), client_(client), clientTwips_(clientTwips)
{
    client->installEventFilter(this);
}

void TwipsLayout::add(QWidget* widget, QRect twips, Anchor anchor) { items_.push_back({widget, twips, anchor}); }

int TwipsLayout::px(int twips, double scale) { return static_cast<int>(std::lround(twips * scale / TwipsPerPixel)); }

QSize TwipsLayout::clientSize() const { return {px(clientTwips_.width(), scale_), px(clientTwips_.height(), scale_)}; }

QFont TwipsLayout::windowFont()
{
    QFont font = QApplication::font();
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.0);
    font.setWeight(QFont::Normal);
    return font;
}

bool TwipsLayout::captionsFitAt(double scale) const
{
    return std::all_of(items_.begin(), items_.end(), [scale](const Item& i) {
        return captionFits(i.widget, QSize(px(i.twips.width(), scale), px(i.twips.height(), scale)));
    });
}

void TwipsLayout::fit()
{
    scale_ = 1.0;
    while (!captionsFitAt(scale_) && scale_ < 4.0)
        scale_ += 0.01;
    place();
}

void TwipsLayout::place() const
{
    const QSize least = clientSize();
    const int dw = std::max(0, client_->width() - least.width());
    const int dh = std::max(0, client_->height() - least.height());
    for (const Item& i : items_) {
        const QRect& t = i.twips;
        QRect r(px(t.x(), scale_), px(t.y(), scale_), px(t.width(), scale_), px(t.height(), scale_));
        switch (i.anchor) {
        case Anchor::Top:
            break;
        case Anchor::Bottom:
            r.translate(0, dh);
            break;
        case Anchor::Grow:
            r.adjust(0, 0, dw, dh);
            break;
        case Anchor::Rule:
            r = QRect(r.x() - 1, r.y() + dh, 3, px(t.y() + t.height(), scale_) - r.y());
            break;
        }
        i.widget->setGeometry(r);
    }
}

bool TwipsLayout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == client_ && event->type() == QEvent::Resize)
        place();
    return QObject::eventFilter(watched, event);
}

} // namespace quenta
