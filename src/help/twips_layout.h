#pragma once
// Places a window's widgets from a table in twips, as its form was drawn: 15 twips a pixel, the
// whole table enlarged by one factor so that every caption fits its control in the control's
// font. The main window and the help window both use it; neither measures its captions itself.
#include <QObject>
#include <QRect>
#include <QSize>
#include <vector>

class QFont;
class QWidget;

namespace quenta {

class TwipsLayout : public QObject {
public:
    static constexpr int TwipsPerPixel = 15;  // 1440 twips to the inch at 96 dpi

    // Where a widget goes when the client area is larger than the table.
    enum class Anchor {
        Top,     // stays at its place (also any widget inside a frame: it moves with the frame)
        Bottom,  // keeps its distance from the bottom edge
        Grow,    // takes all the extra width and height
        Rule,    // a vertical rule three pixels wide, centred on the rect's left edge from its top
                 // to its bottom; keeps its distance from the bottom edge
    };

    // client is the widget whose area clientTwips describes; from now on the layout places the
    // widgets again whenever client changes size.
    TwipsLayout(QWidget* client, QSize clientTwips);

    // twips is relative to the widget's parent: the client, or a frame placed in it.
    void add(QWidget* widget, QRect twips, Anchor anchor = Anchor::Top);

    // Sets the scale to the smallest enlargement, in steps of 1 % up to 4, at which every caption
    // fits (1 when the fonts need nothing), and places the widgets.
    void fit();
    double scale() const { return scale_; }
    // A length in twips as pixels at the given scale.
    static int px(int twips, double scale);
    // The client area of the table at the scale: the window's smallest size.
    QSize clientSize() const;
    void place() const;

    // The font of both windows: the platform's sans-serif at 8 points.
    static QFont windowFont();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Item {
        QWidget* widget;
        QRect twips;
        Anchor anchor;
    };
    bool captionsFitAt(double scale) const;

    QWidget* client_;
    QSize clientTwips_;
    std::vector<Item> items_;
    double scale_ = 1.0;
};

} // namespace quenta
