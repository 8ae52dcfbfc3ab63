#pragma once
// The convergence chart: "Current accuracy" after every sweep against the sweep number, on a
// logarithmic scale, with the desired accuracy as a horizontal line.
#include <QWidget>
#include <optional>
#include <vector>

class QChart;
class QLineSeries;
class QLogValueAxis;
class QValueAxis;

namespace quenta {

class frmChart : public QWidget {
    Q_OBJECT
public:
    explicit frmChart(QWidget* parent = nullptr);

    // accuracy[k] is er after sweep k+1; desired is drawn when it is a positive number. Values the
    // log scale cannot show (0) are left out.
    void setHistory(const std::vector<float>& accuracy, std::optional<float> desired);
    // The sweeps plotted, for the tests.
    int points() const;

private:
    QChart* chart_;
    QLineSeries* accuracy_;
    QLineSeries* desired_;
    QValueAxis* sweeps_;
    QLogValueAxis* values_;
};

} // namespace quenta
