#include "help/frmHelp.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTextDocument>

#include "help/twips_layout.h"

namespace quenta {

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent) {}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    const bool page = type == QTextDocument::HtmlResource || type == QTextDocument::MarkdownResource
                      || type == QTextDocument::UnknownResource;
    if (page && name.isLocalFile() && !QFileInfo(name.toLocalFile()).isFile()) {
        const QString path = name.toLocalFile().toHtmlEscaped();
        return QStringLiteral("<html><head><title>Page not found</title></head><body>"
                              "<h3>This page cannot be shown</h3>"
                              "<p>There is no file <tt>%1</tt>.</p></body></html>")
            .arg(path);
    }
    return QTextBrowser::loadResource(type, name);
}

frmHelp::frmHelp() : QWidget(nullptr), layout_(new TwipsLayout(this, {8550, 7560}))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Help"));

    WebBrowser1 = new HelpBrowser(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setOpenLinks(true);
    WebBrowser1->setOpenExternalLinks(true);

    cmdBack = new QPushButton(QStringLiteral("Back"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    cmdBack->setAutoDefault(false);
    cmdForward = new QPushButton(QStringLiteral("Forward"), this);
    cmdForward->setObjectName(QStringLiteral("cmdForward"));
    cmdForward->setAutoDefault(false);

    setTabOrder(WebBrowser1, cmdBack);
    setTabOrder(cmdBack, cmdForward);

    connect(cmdBack, &QPushButton::clicked, this, &frmHelp::cmdBack_Click);
    connect(cmdForward, &QPushButton::clicked, this, &frmHelp::cmdForward_Click);

    layout_->add(WebBrowser1, {240, 600, 8055, 6255});
    layout_->add(cmdBack, {1080, 6960, 1215, 495});
    layout_->add(cmdForward, {2640, 6960, 1215, 495});
    applyFont(TwipsLayout::windowFont());
}

void frmHelp::cmdBack_Click()
{
    try {
        WebBrowser1->backward(); // does nothing at the first page
    } catch (...) {
    }
}

void frmHelp::cmdForward_Click()
{
    try {
        WebBrowser1->forward(); // does nothing at the last page
    } catch (...) {
    }
}

void frmHelp::applyFont(const QFont& font)
{
    for (QWidget* w : std::initializer_list<QWidget*>{this, WebBrowser1, cmdBack, cmdForward})
        w->setFont(font);
    layout_->fit();
    setFixedSize(layout_->clientSize());
}

} // namespace quenta
