#include "ui/line_view.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace px316t {

namespace {

constexpr int RefreshMs = 5000;
const QColor StationColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd),
                                 QColor(0x8c, 0x56, 0x4b), QColor(0x17, 0xbe, 0xcf), QColor(0x7f, 0x7f, 0x7f)};

double perHour(int count, std::chrono::minutes bucket) { return count * 60.0 / static_cast<double>(bucket.count()); }

} // namespace

LineRatePlot::LineRatePlot(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(520, 260);
    setAutoFillBackground(true);
    setPalette(QPalette(Qt::white));
}

void LineRatePlot::show(const LineFigures& figures, double limitPerHour)
{
    figures_ = figures;
    limitPerHour_ = limitPerHour;
    update();
}

void LineRatePlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The top margin holds the axis caption on the left and the stations' key on
    // the right, clear of the lines and of the limit's caption.
    const QRectF area = QRectF(rect()).adjusted(48, 22, -12, -28);
    const std::size_t buckets = figures_.line.pagers.size();
    double top = std::max(limitPerHour_ * 1.1, 10.0);
    for (const StationFigures& s : figures_.stations)
        for (int count : s.pagers)
            top = std::max(top, perHour(count, figures_.bucket) * 1.1);
    const auto x = [&](std::size_t i) {
        return area.left() + area.width() * (static_cast<double>(i) + 0.5) / static_cast<double>(std::max<std::size_t>(buckets, 1));
    };
    const auto y = [&](double rate) { return area.bottom() - area.height() * rate / top; };

    // Axes with rounded steps of pagers per hour, and the hours back from now.
    const QColor grid(0xdd, 0xdd, 0xdd);
    const QColor axisText(0x66, 0x66, 0x66);
    const double step = std::pow(10.0, std::floor(std::log10(top / 2)));
    for (double v = 0; v <= top; v += step) {
        p.setPen(grid);
        p.drawLine(QPointF(area.left(), y(v)), QPointF(area.right(), y(v)));
        p.setPen(axisText);
        p.drawText(QRectF(0, y(v) - 8, area.left() - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v, 'f', 0));
    }
    const int perHourBuckets = static_cast<int>(60 / std::max<long long>(1, figures_.bucket.count()));
    for (std::size_t i = 0; i < buckets; ++i)
        if (perHourBuckets > 0 && (buckets - i) % static_cast<std::size_t>(perHourBuckets) == 0)
            p.drawText(QRectF(x(i) - 30, area.bottom() + 4, 60, 20), Qt::AlignCenter,
                       QStringLiteral("-%1 h").arg((buckets - i) / static_cast<std::size_t>(perHourBuckets)));
    p.drawText(QRectF(4, 0, area.left() + 100, area.top() - 4), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("pagers per hour"));
    // The key, right-aligned: a short stroke of each station's colour before its name.
    double keyRight = area.right();
    const double middle = (area.top() - 4) / 2;
    for (std::size_t s = figures_.stations.size(); s-- > 0;) {
        const QString name = QString::fromStdString(figures_.stations[s].station);
        const double width = p.fontMetrics().horizontalAdvance(name);
        p.setPen(QPen(StationColours[s % std::size(StationColours)], 2));
        p.drawText(QRectF(keyRight - width, 0, width, area.top() - 4), Qt::AlignLeft | Qt::AlignVCenter, name);
        p.drawLine(QPointF(keyRight - width - 18, middle), QPointF(keyRight - width - 4, middle));
        keyRight -= width + 30;
    }

    if (limitPerHour_ > 0) {
        p.setPen(QPen(Qt::darkRed, 1, Qt::DashLine));
        p.drawLine(QPointF(area.left(), y(limitPerHour_)), QPointF(area.right(), y(limitPerHour_)));
        p.drawText(QPointF(area.right() - 140, y(limitPerHour_) - 4), QStringLiteral("the wires' limit"));
    }
    for (std::size_t s = 0; s < figures_.stations.size(); ++s) {
        const StationFigures& station = figures_.stations[s];
        const QColor colour = StationColours[s % std::size(StationColours)];
        QPainterPath line;
        for (std::size_t i = 0; i < station.pagers.size(); ++i) {
            const QPointF point(x(i), y(perHour(station.pagers[i], figures_.bucket)));
            i == 0 ? line.moveTo(point) : line.lineTo(point);
        }
        p.setPen(QPen(colour, 2));
        p.drawPath(line);
        for (std::size_t i = 0; i < station.pagers.size(); ++i) {
            const double base = y(perHour(station.pagers[i], figures_.bucket));
            if (station.failures[i] > 0) {
                p.setPen(QPen(Qt::red, 2));
                p.drawLine(QPointF(x(i) - 4, base - 4), QPointF(x(i) + 4, base + 4));
                p.drawLine(QPointF(x(i) - 4, base + 4), QPointF(x(i) + 4, base - 4));
            }
            if (station.uncertain[i] > 0) {
                QPolygonF triangle({QPointF(x(i), base - 12), QPointF(x(i) - 5, base - 4), QPointF(x(i) + 5, base - 4)});
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0xff, 0x8c, 0x00));
                p.drawPolygon(triangle);
                p.setBrush(Qt::NoBrush);
            }
        }
    }
}

LineView::LineView(Fetch fetch, QString source, double limitPerBoardPerHour, QWidget* parent)
    : QDialog(parent), fetch_(std::move(fetch)), limitPerBoard_(limitPerBoardPerHour),
      self_(std::make_shared<LineView*>(this))
{
    setWindowTitle(QStringLiteral("Production"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(source, this);
    plot_ = new LineRatePlot(this);
    summary_ = new QLabel(this);
    summary_->setFont(QFont(QStringLiteral("Liberation Mono")));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_ = new QLabel(this);
    auto* legend = new QLabel(QStringLiteral("Lines: verified pagers per hour, per half hour. Red cross: failed "
                                             "writes. Orange triangle: uncertain capcodes."),
                              this);
    layout->addWidget(heading);
    layout->addWidget(plot_, 1);
    layout->addWidget(legend);
    layout->addWidget(summary_);
    layout->addWidget(status_);
    timer_ = new QTimer(this);
    timer_->setInterval(RefreshMs);
    connect(timer_, &QTimer::timeout, this, &LineView::refresh);
    timer_->start();
    refresh();
}

LineView::~LineView()
{
    *self_ = nullptr;
    if (worker_.joinable())
        worker_.join();   // a database call ends within its own time-outs
}

void LineView::refresh()
{
    if (busy_ || !fetch_)
        return;
    busy_ = true;
    if (worker_.joinable())
        worker_.join();
    const LineFigureOptions options;
    const SystemTime since = std::chrono::system_clock::now() - options.span;
    worker_ = std::thread([fetch = fetch_, since, self = self_] {
        auto entries = fetch(since);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [self, entries = std::move(entries)]() mutable {
                if (*self)
                    (*self)->refreshEnded(std::move(entries));
            },
            Qt::QueuedConnection);
    });
}

void LineView::refreshEnded(Outcome<std::vector<RecordEntry>> entries)
{
    busy_ = false;
    if (!entries.ok()) {
        status_->setText(QStringLiteral("The record could not be read: ") + QString::fromStdString(entries.message()));
        return;
    }
    status_->setText(QStringLiteral("Refreshed %1").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    showFigures(computeLineFigures(entries.value(), std::chrono::system_clock::now()));
}

void LineView::showFigures(const LineFigures& figures)
{
    plot_->show(figures, limitPerBoard_ * std::max(1, figures.line.boards));
    summary_->setText(QString::fromStdString(formatLineFigures(figures, limitPerBoard_)));
}

QString LineView::summaryText() const { return summary_->text(); }

QString LineView::statusText() const { return status_->text(); }

} // namespace px316t
