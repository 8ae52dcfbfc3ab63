#include "app/frmChart.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace quenta {

frmChart::frmChart(QWidget* parent)
    : QWidget(parent, Qt::Window),
      chart_(new QChart),
      accuracy_(new QLineSeries),
      desired_(new QLineSeries),
      sweeps_(new QValueAxis),
      values_(new QLogValueAxis)
{
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("QUENTA - Convergence"));
    accuracy_->setName(QStringLiteral("Current accuracy"));
    desired_->setName(QStringLiteral("Desired accuracy"));
    QPen dashed = desired_->pen();
    dashed.setStyle(Qt::DashLine);
    desired_->setPen(dashed);
    chart_->addSeries(accuracy_);
    chart_->addSeries(desired_);
    sweeps_->setTitleText(QStringLiteral("Sweep"));
    sweeps_->setLabelFormat(QStringLiteral("%d"));
    values_->setTitleText(QStringLiteral("Accuracy"));
    values_->setLabelFormat(QStringLiteral("%.0e"));
    values_->setBase(10);
    chart_->addAxis(sweeps_, Qt::AlignBottom);
    chart_->addAxis(values_, Qt::AlignLeft);
    for (QLineSeries* s : {accuracy_, desired_}) {
        s->attachAxis(sweeps_);
        s->attachAxis(values_);
    }
    chart_->legend()->setAlignment(Qt::AlignBottom);

    auto* view = new QChartView(chart_, this);
    view->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    resize(560, 380);
    setHistory({}, std::nullopt);
}

void frmChart::setHistory(const std::vector<float>& accuracy, std::optional<float> desired)
{
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(accuracy.size()));
    double lo = HUGE_VAL, hi = 0;
    for (std::size_t k = 0; k < accuracy.size(); ++k) {
        const double v = accuracy[k];
        if (!(v > 0) || !std::isfinite(v))
            continue;
        points.append(QPointF(static_cast<double>(k + 1), v));
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    sweeps_->setRange(1, std::max<double>(2, static_cast<double>(accuracy.size())));
    sweeps_->applyNiceNumbers();
    if (desired && *desired > 0 && std::isfinite(*desired)) {
        desired_->replace({QPointF(sweeps_->min(), *desired), QPointF(sweeps_->max(), *desired)});
        lo = std::min<double>(lo, *desired);
        hi = std::max<double>(hi, *desired);
    } else {
        desired_->clear();
    }
    accuracy_->replace(points);
    if (hi == 0) {  // nothing to show yet
        lo = 0.1;
        hi = 10;
    }
    values_->setRange(lo / 2, hi * 2);
}

int frmChart::points() const { return static_cast<int>(accuracy_->count()); }

} // namespace quenta
