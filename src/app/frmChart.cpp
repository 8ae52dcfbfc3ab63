#include "app/frmChart.h"

#include <QAction>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>

#include "files/text_writer.h"
#include "model/messages.h"
#include "model/numbers.h"

namespace quenta {

namespace {

// The step between two labels of the sweep axis for sweeps 1..last: a whole number 1, 2 or 5
// times a power of ten, with at most eight steps.
int sweepStep(int last)
{
    for (int power = 1;; power *= 10)
        for (int m : {1, 2, 5})
            if (m * power * 8 >= last - 1)
                return m * power;
}

// The points a series draws of `all` (in sweep order): all of them up to 256; beyond, the least
// and the largest value of each of 128 runs of consecutive sweeps, and the last sweep. A long run
// then draws as fast as a short one and keeps its envelope.
QList<QPointF> drawn(const std::vector<QPointF>& all)
{
    constexpr std::size_t Buckets = 128;
    if (all.size() <= 2 * Buckets)
        return QList<QPointF>(all.begin(), all.end());
    const std::size_t per = (all.size() + Buckets - 1) / Buckets;
    QList<QPointF> out;
    for (std::size_t a = 0; a < all.size(); a += per) {
        auto [least, largest] = std::minmax_element(all.begin() + static_cast<std::ptrdiff_t>(a),
                                                    all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), a + per)),
                                                    [](const QPointF& p, const QPointF& q) { return p.y() < q.y(); });
        if (largest < least)
            std::swap(least, largest);  // in sweep order
        out.append(*least);
        if (largest != least)
            out.append(*largest);
    }
    if (out.last() != all.back())
        out.append(all.back());
    return out;
}

QColor mix(const QColor& a, const QColor& b, double share)
{
    return QColor::fromRgbF(static_cast<float>(a.redF() * share + b.redF() * (1 - share)),
                            static_cast<float>(a.greenF() * share + b.greenF() * (1 - share)),
                            static_cast<float>(a.blueF() * share + b.blueF() * (1 - share)));
}

} // namespace

frmChart::frmChart(UserDialogs& user, QString folder, std::string separator, QWidget* parent)
    : QWidget(parent, Qt::Window),
      user_(user),
      folder_(std::move(folder)),
      separator_(std::move(separator)),
      chart_(new QChart),
      view_(new QChartView(chart_, this)),
      accuracy_(new QLineSeries),
      largest_(new QLineSeries),
      desired_(new QLineSeries),
      sweepAxis_(new QValueAxis),
      values_(new QLogValueAxis)
{
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("QUENTA - Convergence"));
    accuracy_->setName(QStringLiteral("Current accuracy"));
    largest_->setName(QStringLiteral("Max |r|"));
    desired_->setName(QStringLiteral("Desired accuracy"));
    for (QLineSeries* s : {accuracy_, largest_, desired_})
        chart_->addSeries(s);
    sweepAxis_->setTitleText(QStringLiteral("Sweep"));
    sweepAxis_->setLabelFormat(QStringLiteral("%d"));
    // Labels at whole sweeps only, however few there are.
    sweepAxis_->setTickType(QValueAxis::TicksDynamic);
    sweepAxis_->setTickAnchor(0);
    values_->setTitleText(QStringLiteral("Accuracy"));
    values_->setLabelFormat(QStringLiteral("%.0e"));
    values_->setBase(10);
    chart_->addAxis(sweepAxis_, Qt::AlignBottom);
    chart_->addAxis(values_, Qt::AlignLeft);
    for (QLineSeries* s : {accuracy_, largest_, desired_}) {
        s->attachAxis(sweepAxis_);
        s->attachAxis(values_);
    }
    chart_->legend()->setAlignment(Qt::AlignBottom);

    view_->setRenderHint(QPainter::Antialiasing);
    view_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* png = new QAction(QStringLiteral("Save as &PNG..."), view_);
    auto* csv = new QAction(QStringLiteral("Save as &CSV..."), view_);
    connect(png, &QAction::triggered, this, &frmChart::savePng);
    connect(csv, &QAction::triggered, this, &frmChart::saveCsv);
    view_->addActions({png, csv});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    resize(560, 380);
    applyPalette();
    setHistory({}, std::nullopt);
}

void frmChart::setHistory(const std::vector<SweepRecord>& sweeps, std::optional<float> desired)
{
    sweeps_ = sweeps;
    std::vector<QPointF> accuracy, largest;
    accuracy.reserve(sweeps.size());
    largest.reserve(sweeps.size());
    double lo = HUGE_VAL, hi = 0;
    const auto add = [&lo, &hi](std::vector<QPointF>& points, std::size_t k, double v) {
        if (!(v > 0) || !std::isfinite(v))
            return;
        points.emplace_back(static_cast<double>(k + 1), v);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    for (std::size_t k = 0; k < sweeps.size(); ++k) {
        add(accuracy, k, sweeps[k].accuracy);
        add(largest, k, sweeps[k].largest);
    }
    const int step = sweepStep(std::max<int>(2, static_cast<int>(sweeps.size())));
    const int last = std::max<int>(2, static_cast<int>(sweeps.size()));
    sweepAxis_->setTickInterval(step);
    sweepAxis_->setRange(1, step == 1 ? last : (last + step - 1) / step * step);
    if (desired && *desired > 0 && std::isfinite(*desired)) {
        desired_->replace({QPointF(sweepAxis_->min(), *desired), QPointF(sweepAxis_->max(), *desired)});
        lo = std::min<double>(lo, *desired);
        hi = std::max<double>(hi, *desired);
    } else {
        desired_->clear();
    }
    plotted_ = static_cast<int>(accuracy.size());
    accuracy_->replace(drawn(accuracy));
    largest_->replace(drawn(largest));
    if (hi == 0) {  // nothing to show yet
        lo = 0.1;
        hi = 10;
    }
    // Whole decades around the values: the range, and with it the axis's layout, changes only
    // now and then during a run.
    values_->setRange(std::pow(10.0, std::floor(std::log10(lo) - 1e-9)), std::pow(10.0, std::floor(std::log10(hi)) + 1));
}

int frmChart::points() const { return plotted_; }

void frmChart::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyPalette();
    QWidget::changeEvent(event);
}

// The chart in the window's colours, dark palettes as light ones: its background and texts, grid
// lines halfway between, the accuracy in the highlight colour, the desired accuracy dashed in the
// text colour.
void frmChart::applyPalette()
{
    const QPalette p = palette();
    const QColor back = p.color(QPalette::Base), text = p.color(QPalette::Text);
    const bool dark = back.lightness() < 128;
    chart_->setBackgroundBrush(back);
    view_->setBackgroundBrush(back);
    chart_->legend()->setLabelColor(text);
    for (QAbstractAxis* axis : {static_cast<QAbstractAxis*>(sweepAxis_), static_cast<QAbstractAxis*>(values_)}) {
        axis->setLabelsColor(text);
        axis->setTitleBrush(text);
        axis->setLinePenColor(mix(text, back, 0.6));
        axis->setGridLineColor(mix(text, back, 0.2));
    }
    const auto pen = [](QColor color, Qt::PenStyle style) {
        QPen pen(color, 2);
        pen.setStyle(style);
        return pen;
    };
    accuracy_->setPen(pen(p.color(QPalette::Highlight), Qt::SolidLine));
    largest_->setPen(pen(dark ? QColor(255, 160, 70) : QColor(200, 80, 0), Qt::SolidLine));
    desired_->setPen(pen(text, Qt::DashLine));
}

void frmChart::savePng()
{
    save([this] {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        view_->grab().save(&buffer, "PNG");
        return bytes.toStdString();
    });
}

void frmChart::saveCsv()
{
    save([this] {
        // A decimal comma makes the semicolon the field separator, as spreadsheets expect.
        const char field = separator_ == "," ? ';' : ',';
        std::string text = std::string("sweep") + field + "accuracy" + field + "max |r|\r\n";
        for (std::size_t k = 0; k < sweeps_.size(); ++k)
            text += FormatInteger(static_cast<long long>(k + 1)) + field + FormatSingle(sweeps_[k].accuracy, separator_) +
                    field + FormatSingle(sweeps_[k].largest, separator_) + "\r\n";
        return text;
    });
}

void frmChart::save(const std::function<std::string()>& content)
{
    const std::optional<QString> path = user_.saveFile(folder_);
    if (!path)
        return;
    try {
        TextFileWriter out(*path);
        out.append(content());
        out.commit();
    } catch (const std::exception&) {
        user_.message(messages::saveFailed(*path));
    }
}

} // namespace quenta
