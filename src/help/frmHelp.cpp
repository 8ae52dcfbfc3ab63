#include "help/frmHelp.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace quenta {

namespace {

constexpr double kTwipsPerPixel = 15.0; // 1440 twips to the inch at 96 dpi

struct TwipsRect {
    int left, top, width, height;
};

constexpr int kClientWidth = 8550;
constexpr int kClientHeight = 7560;
constexpr TwipsRect kBrowser{240, 600, 8055, 6255};
constexpr TwipsRect kBack{1080, 6960, 1215, 495};
constexpr TwipsRect kForward{2640, 6960, 1215, 495};

const char* const kBackCaption = "Back";
const char* const kForwardCaption = "Forward";

int toPixels(int twips, double scale)
{
    return static_cast<int>(std::lround(twips * scale / kTwipsPerPixel));
}

QRect toPixels(const TwipsRect& r, double scale)
{
    return QRect(toPixels(r.left, scale), toPixels(r.top, scale), toPixels(r.width, scale),
                 toPixels(r.height, scale));
}

// Room a push button needs around its caption: the style's margin and frame on both sides.
double buttonPadding()
{
    QStyle* style = QApplication::style();
    return style->pixelMetric(QStyle::PM_ButtonMargin) + 2.0 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
}

} // namespace

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

frmHelp::frmHelp() : QWidget(nullptr)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Help"));

    WebBrowser1 = new HelpBrowser(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setOpenLinks(true);
    WebBrowser1->setOpenExternalLinks(true);

    cmdBack = new QPushButton(QString::fromLatin1(kBackCaption), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    cmdBack->setAutoDefault(false);
    cmdForward = new QPushButton(QString::fromLatin1(kForwardCaption), this);
    cmdForward->setObjectName(QStringLiteral("cmdForward"));
    cmdForward->setAutoDefault(false);

    setTabOrder(WebBrowser1, cmdBack);
    setTabOrder(cmdBack, cmdForward);

    connect(cmdBack, &QPushButton::clicked, this, &frmHelp::cmdBack_Click);
    connect(cmdForward, &QPushButton::clicked, this, &frmHelp::cmdForward_Click);

    applyFont(defaultFont());
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

QFont frmHelp::defaultFont()
{
    QFont font = QApplication::font();
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.0);
    return font;
}

double frmHelp::scaleFor(const QFont& font)
{
    const QFontMetricsF fm(font);
    const double padding = buttonPadding();
    double scale = 1.0;
    for (const auto& [caption, rect] : {std::pair{kBackCaption, kBack}, std::pair{kForwardCaption, kForward}}) {
        const double needWidth = fm.horizontalAdvance(QString::fromLatin1(caption)) + padding;
        const double needHeight = fm.height() + padding;
        scale = std::max(scale, needWidth * kTwipsPerPixel / rect.width);
        scale = std::max(scale, needHeight * kTwipsPerPixel / rect.height);
    }
    // A hair more, so that rounding the scaled geometry to whole pixels never clips a caption.
    return scale > 1.0 ? scale * 1.02 : 1.0;
}

void frmHelp::applyFont(const QFont& font)
{
    scale_ = scaleFor(font);
    setFont(font);
    WebBrowser1->setFont(font);
    cmdBack->setFont(font);
    cmdForward->setFont(font);
    WebBrowser1->setGeometry(toPixels(kBrowser, scale_));
    cmdBack->setGeometry(toPixels(kBack, scale_));
    cmdForward->setGeometry(toPixels(kForward, scale_));
    setFixedSize(toPixels(kClientWidth, scale_), toPixels(kClientHeight, scale_));
}

} // namespace quenta
