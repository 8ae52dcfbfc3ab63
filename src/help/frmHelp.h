#pragma once
// The help window: an HTML browser over the pages that lie beside the program, and two buttons
// that walk the browser's history. It is a top-level window of its own (no parent), discarded
// with its history when the user closes it.
#include <QTextBrowser>
#include <QWidget>

class QPushButton;

namespace quenta {

class TwipsLayout;

// The browser of the help window. Local pages only; a page that is missing shows a short notice
// of its own instead of an empty view (the same thing a web browser does for a missing file).
class HelpBrowser : public QTextBrowser {
public:
    explicit HelpBrowser(QWidget* parent);
    QVariant loadResource(int type, const QUrl& name) override;
};

class frmHelp : public QWidget {
public:
    frmHelp();

    // Controls, in tab order.
    HelpBrowser* WebBrowser1;
    QPushButton* cmdBack;
    QPushButton* cmdForward;

    // Back and Forward: one page along the browser's history; nothing at either end.
    // Neither touches the caption.
    void cmdBack_Click();
    void cmdForward_Click();

    // Uses the given font for the controls and places them again: the twips table enlarged as
    // far as the captions need in that font. The window starts with TwipsLayout::windowFont().
    void applyFont(const QFont& font);

private:
    TwipsLayout* layout_;
};

} // namespace quenta
