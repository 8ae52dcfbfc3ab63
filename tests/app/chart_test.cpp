// The convergence chart: whole sweeps on its axis, and its sweeps saved as CSV.
#include <QChartView>
#include <QGraphicsTextItem>
#include <QXYSeries>
#include <algorithm>

#include "app/frmChart.h"
#include "model/messages.h"
#include "app_fixture.h"

using namespace quenta;
using namespace quenta::testing;

namespace {

// The numbers drawn below the plot area, left to right: the sweep axis's labels.
std::vector<int> sweepLabels(frmChart& chart)
{
    QCoreApplication::processEvents();
    QChart* c = chart.findChild<QChartView*>()->chart();
    std::vector<std::pair<qreal, int>> found;
    for (QGraphicsItem* item : c->scene()->items()) {
        auto* t = dynamic_cast<QGraphicsTextItem*>(item);
        bool number = false;
        const int value = t ? t->toPlainText().toInt(&number) : 0;
        if (number && t->isVisible() && t->sceneBoundingRect().top() >= c->plotArea().bottom())
            found.emplace_back(t->sceneBoundingRect().center().x(), value);
    }
    std::sort(found.begin(), found.end());
    std::vector<int> out;
    for (const auto& [x, value] : found)
        out.push_back(value);
    return out;
}

} // namespace

TEST(Chart, WholeSweepsOnTheAxisAndTheSweepsAsCsv)
{
    TempProgramDir dir;
    ScriptedDialogs user;
    frmChart chart(user, dir.path(), ",");
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    chart.setHistory({{0.5f, 0.84f}}, 0.2f);
    EXPECT_EQ(sweepLabels(chart), (std::vector<int>{1, 2}));
    chart.setHistory(std::vector<SweepRecord>(37, {0.25f, 1.5f}), std::nullopt);
    const std::vector<int> labels = sweepLabels(chart);
    ASSERT_GE(labels.size(), 3u);
    EXPECT_TRUE(std::adjacent_find(labels.begin(), labels.end(), std::greater_equal<int>()) == labels.end());
    EXPECT_GE(labels.back(), 37);

    // A long run draws at most 256 points a series, its least and largest values among them.
    std::vector<SweepRecord> run(5000);
    for (int k = 0; k < 5000; ++k)
        run[std::size_t(k)] = {1.0f, 2.0f + float(k * 31 % 1001)};
    chart.setHistory(run, std::nullopt);
    const QList<QAbstractSeries*> series = chart.findChild<QChartView*>()->chart()->series();
    const QList<QPointF> drawn = static_cast<QXYSeries*>(series[1])->points();
    const auto [least, largest] = std::minmax_element(drawn.begin(), drawn.end(), [](auto p, auto q) { return p.y() < q.y(); });
    EXPECT_EQ(series[1]->name().toStdString() + " " + std::to_string(least->y()) + " " + std::to_string(largest->y()),
              "Max |r| 2.000000 1002.000000");
    EXPECT_LE(drawn.size(), 256 + 1) << "the last sweep may come on top";

    // A decimal comma: the fields are separated by semicolons. A file that cannot be written is
    // named in a message.
    chart.setHistory({{0.5f, 0.84f}, {0.25f, 1.5f}}, 0.2f);
    user.files = {dir.file("sweeps.csv"), dir.file("none/sweeps.csv")};
    chart.saveCsv();
    chart.saveCsv();
    EXPECT_EQ(dir.read("sweeps.csv"), "sweep;accuracy;max |r|\r\n1;0,5;0,84\r\n2;0,25;1,5\r\n");
    EXPECT_EQ(user.messages, Texts{messages::saveFailed(dir.file("none/sweeps.csv"))});
}
