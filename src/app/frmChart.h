#pragma once
// The convergence chart: "Current accuracy" and the largest |R(i)| after every sweep against the
// sweep number, on one logarithmic scale, with the desired accuracy as a horizontal line. It
// follows the window's palette, and its context menu saves it as a PNG image or its sweeps as CSV.
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/form.h"
#include "model/state.h"

class QChart;
class QChartView;
class QLineSeries;
class QLogValueAxis;
class QValueAxis;

namespace quenta {

class frmChart : public QWidget {
    Q_OBJECT
public:
    // The save dialogs start in `folder` and go through `user`, which also hears of a file that
    // cannot be written; CSV numbers use `separator`.
    frmChart(UserDialogs& user, QString folder, std::string separator, QWidget* parent = nullptr);

    // sweeps[k] is the record of sweep k+1; desired is drawn when it is a positive number. Values
    // the log scale cannot show (0) are left out.
    void setHistory(const std::vector<SweepRecord>& sweeps, std::optional<float> desired);
    // The sweeps whose accuracy is plotted, for the tests.
    int points() const;

    // Asks for a file and writes the chart there as a PNG image, or the sweeps as CSV (sweep,
    // accuracy, max |r|). A file that cannot be written gets a message naming it; an old file of
    // that name stays as it was.
    void savePng();
    void saveCsv();

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyPalette();
    // Asks for a file and writes the bytes that `content` gives into it.
    void save(const std::function<std::string()>& content);

    UserDialogs& user_;
    QString folder_;
    std::string separator_;
    std::vector<SweepRecord> sweeps_;
    int plotted_ = 0;  // sweeps with an accuracy the log scale shows

    QChart* chart_;
    QChartView* view_;
    QLineSeries* accuracy_;
    QLineSeries* largest_;
    QLineSeries* desired_;
    QValueAxis* sweepAxis_;
    QLogValueAxis* values_;
};

} // namespace quenta
