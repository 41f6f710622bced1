#pragma once
// The "Production" window a line lead keeps open during a shift: pagers per
// hour per station over the last hours as a plot (failures and uncertain
// capcodes marked), and each station's current rate against what its boards'
// wires allow. It refreshes every few seconds; the record is read on a thread
// of its own, so a slow database never holds up the window.
#include "production/line_stats.h"
#include "production/outcome.h"

#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>
#include <thread>

class QLabel;
class QTimer;

namespace px316t {

// The plot of one LineFigures: a line per station, a cross per bucket with
// failures, a triangle per bucket with uncertain capcodes, and the line's
// limit as a dashed line.
class LineRatePlot : public QWidget {
public:
    explicit LineRatePlot(QWidget* parent = nullptr);
    void show(const LineFigures& figures, double limitPerHour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LineFigures figures_;
    double limitPerHour_ = 0;
};

class LineView : public QDialog {
public:
    // Reads the record's entries since a time; called on the view's own thread.
    using Fetch = std::function<Outcome<std::vector<RecordEntry>>(SystemTime since)>;

    LineView(Fetch fetch, QString source, double limitPerBoardPerHour, QWidget* parent = nullptr);
    ~LineView() override;

    // Starts a refresh unless one runs; the figures follow when it ends.
    void refresh();
    // Shows figures computed elsewhere (the refresh ends here).
    void showFigures(const LineFigures& figures);
    QString summaryText() const;
    QString statusText() const;

private:
    void refreshEnded(Outcome<std::vector<RecordEntry>> entries);

    Fetch fetch_;
    double limitPerBoard_;
    LineRatePlot* plot_;
    QLabel* summary_;
    QLabel* status_;
    QTimer* timer_;
    std::thread worker_;
    bool busy_ = false;
    // Cleared when the view goes, so a refresh that ends later finds no view.
    std::shared_ptr<LineView*> self_;
};

} // namespace px316t
