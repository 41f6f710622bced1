#include "ui/form_resize.h"

#include "ui/control_list.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace px316t {
namespace {

// The number at the start of `text` (C locale, as written into the tag); 0 when
// the text does not start with one.
double leadingNumber(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    double value = 0;
    const auto result = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return 0;
    return value;
}

int roundTwips(double twips) { return static_cast<int>(std::lround(twips)); }

} // namespace

TagGeometry tagGeometry(const QString& tag)
{
    TagGeometry g;
    double* fields[] = {&g.left, &g.top, &g.width, &g.height, &g.fontSize};
    qsizetype from = tag.indexOf(QLatin1Char('#'));
    if (from < 0)
        return g;
    ++from;
    for (double* field : fields) {
        const qsizetype end = tag.indexOf(QLatin1Char('#'), from);
        if (end < 0)
            break;   // this number and all after it read as 0
        *field = leadingNumber(tag.mid(from, end - from));
        from = end + 1;
    }
    return g;
}

QRect scaledTwips(const TagGeometry& d, double ratioX, double ratioY)
{
    const int left = roundTwips(d.left * ratioX);
    const int top = roundTwips(d.top * ratioY);
    const int right = roundTwips((d.left + d.width) * ratioX);
    const int bottom = roundTwips((d.top + d.height) * ratioY);
    return QRect(left, top, right - left, bottom - top);
}

bool fontSizeAccepted(double points) { return std::isfinite(points) && points > 0; }

FormResize::FormResize(QWidget* client, const ControlList& controls, QSize designScale,
                       std::function<void()> layoutRows)
    : QObject(client), client_(client), controls_(controls), designScale_(designScale),
      layoutRows_(std::move(layoutRows))
{
    setObjectName(QStringLiteral("FormResize"));
    client->installEventFilter(this);
}

bool FormResize::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == client_ && event->type() == QEvent::Resize)
        Form_Resize();
    return false;
}

void FormResize::Form_Resize()
{
    if (designScale_.width() <= 0 || designScale_.height() <= 0)
        return;
    ratioX_ = pixelsToTwips(client_->width()) / designScale_.width();
    ratioY_ = pixelsToTwips(client_->height()) / designScale_.height();
    const double fontRatio = std::min(ratioX_, ratioY_);

    // Nothing is painted until every control stands in its new place, so the
    // window never shows a half-scaled layout. Controls are not hidden for their
    // move: hiding the one with the focus would move the focus on, which commits
    // the field being edited and enters the next one.
    const bool updatesWereEnabled = client_->updatesEnabled();
    client_->setUpdatesEnabled(false);
    for (QObject* control : controls_.all()) {
        auto* widget = qobject_cast<QWidget*>(control);
        if (!widget)
            continue;   // menu items and the timer have no position
        const bool hidden = widget->isHidden();
        const TagGeometry design = tagGeometry(controlTag(widget));

        const double points = fontRatio * design.fontSize;
        if (fontSizeAccepted(points) && widget->font().pointSizeF() != points) {
            QFont font = widget->font();
            font.setPointSizeF(points);
            widget->setFont(font);
        }

        QRect twips = scaledTwips(design, ratioX_, ratioY_);
        if (keepsFontHeight(widget)) {
            // A combo box is as high as its font makes it.
            if (auto* combo = qobject_cast<QComboBox*>(widget))
                widget->resize(widget->width(), combo->sizeHint().height());
            twips.setHeight(roundTwips(pixelsToTwips(widget->height())));
        }
        setCurrentTwips(widget, twips);

        if (widget->isHidden() != hidden)
            widget->setVisible(!hidden);
    }
    if (layoutRows_)
        layoutRows_();
    client_->setUpdatesEnabled(updatesWereEnabled);
}

} // namespace px316t
