#pragma once
// Whether a window shows the whole caption of every push button it holds.
#include <QPushButton>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

namespace quenta::testing {

inline void expectCaptionsFit(const QWidget& window)
{
    for (QPushButton* b : window.findChildren<QPushButton*>()) {
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
        EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()), room.width()) << b->objectName().toStdString();
        EXPECT_LE(b->fontMetrics().height(), room.height()) << b->objectName().toStdString();
    }
}

} // namespace quenta::testing
