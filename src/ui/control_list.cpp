#include "ui/control_list.h"

#include "ui/field_events.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVariant>

namespace px316t {

QString controlTag(const QObject* control) { return control->property(TagProperty).toString(); }

void setControlTag(QObject* control, const QString& tag) { control->setProperty(TagProperty, tag); }

QString geometrySuffix(const std::optional<QRect>& r, const std::optional<double>& fontPt)
{
    QString suffix = QStringLiteral(",#");
    if (!r)
        return suffix;
    for (int v : {r->x(), r->y(), r->width(), r->height()})
        suffix += QString::number(v) + QLatin1Char('#');
    if (fontPt)
        suffix += QString::number(*fontPt) + QLatin1Char('#');
    return suffix;
}

void ControlList::appendGeometrySuffixes()
{
    for (QObject* control : controls_) {
        const QVariant rect = control->property(DesignRectProperty);
        const QVariant font = control->property(DesignFontProperty);
        std::optional<QRect> r;
        std::optional<double> pt;
        if (rect.isValid())
            r = rect.toRect();
        if (font.isValid())
            pt = font.toDouble();
        setControlTag(control, controlTag(control) + geometrySuffix(r, pt));
    }
}

void placeAtTwips(QWidget* widget, const QRect& twips)
{
    widget->setProperty(DesignRectProperty, twips);
    widget->setProperty(CurrentRectProperty, twips);
    widget->setGeometry(twipsToPixels(twips));
}

QRect designRect(const QObject* control) { return control->property(DesignRectProperty).toRect(); }

QRect currentTwips(const QObject* control)
{
    const QVariant current = control->property(CurrentRectProperty);
    return current.isValid() ? current.toRect() : designRect(control);
}

bool keepsFontHeight(const QObject* control) { return control->objectName().startsWith(QLatin1String("cbo")); }

void setCurrentTwips(QWidget* widget, const QRect& twips)
{
    widget->setProperty(CurrentRectProperty, twips);
    QRect pixels = twipsToPixels(twips);
    if (keepsFontHeight(widget))
        pixels.setHeight(widget->height());
    widget->setGeometry(pixels);
}

void moveToTopTwips(QWidget* widget, int topTwips)
{
    QRect r = currentTwips(widget);
    r.moveTop(topTwips);
    setCurrentTwips(widget, r);
}

template <typename W>
W* ControlFactory::place(W* widget, QWidget* parent, const QString& name, const QRect& twips,
                         const std::optional<QFont>& font)
{
    // Made inside its parent already: moving a finished top-level widget into a
    // parent costs most of what making it cost.
    if (widget->parentWidget() != parent)
        widget->setParent(parent);
    widget->setObjectName(name);
    const QFont f = font.value_or(font_);
    // A widget already shows its parent's font when it is the same: setting it
    // again would only have a combo box build its list view ahead of time.
    if (widget->font() != f)
        widget->setFont(f);
    widget->setProperty(DesignFontProperty, f.pointSizeF());
    if (!widget->property(TagProperty).isValid())
        setControlTag(widget, QString());
    placeAtTwips(widget, twips);
    widget->show();
    list_.add(widget);
    return widget;
}

QLabel* ControlFactory::label(QWidget* parent, const QString& name, const QString& caption,
                              const QRect& twips, std::optional<QFont> font)
{
    return place(new QLabel(caption, parent), parent, name, twips, font);
}

QCheckBox* ControlFactory::checkBox(QWidget* parent, const QString& name, const QString& caption,
                                    const QRect& twips, const QString& tag)
{
    auto* box = new QCheckBox(caption, parent);
    setControlTag(box, tag);
    return place(box, parent, name, twips, std::nullopt);
}

QComboBox* ControlFactory::comboBox(QWidget* parent, const QString& name, const QStringList& items,
                                    const QRect& twips, const QString& tag)
{
    auto* combo = new QComboBox(parent);
    combo->addItems(items);
    combo->setCurrentIndex(-1);   // no selection until the image is shown
    setControlTag(combo, tag);
    return place(combo, parent, name, twips, std::nullopt);
}

QLineEdit* ControlFactory::textBox(QWidget* parent, const QString& name, int maxLength, const QRect& twips)
{
    auto* edit = new QLineEdit(parent);
    if (maxLength > 0)
        limitTypedLength(edit, maxLength);
    // Text reaches a box by typing or by a paste into the box being edited, both
    // of which the box's checks and its commit see. A drop would land in a box
    // that was never entered, shown but neither checked nor stored: drops are
    // refused, and the pointer says so while the text is dragged over the box.
    edit->setAcceptDrops(false);
    return place(edit, parent, name, twips, std::nullopt);
}

QGroupBox* ControlFactory::frame(QWidget* parent, const QString& name, const QString& caption,
                                 const QRect& twips)
{
    return place(new QGroupBox(caption, parent), parent, name, twips, std::nullopt);
}

QWidget* ControlFactory::pictureBox(QWidget* parent, const QString& name, const QRect& twips)
{
    auto* picture = new QWidget(parent);
    // A picture box can hold the focus (taking it commits the field being left);
    // Tab passes it by, as it holds nothing to type into.
    picture->setFocusPolicy(Qt::ClickFocus);
    return place(picture, parent, name, twips, std::nullopt);
}

QPushButton* ControlFactory::button(QWidget* parent, const QString& name, const QString& caption,
                                    const QRect& twips)
{
    return place(new QPushButton(caption, parent), parent, name, twips, std::nullopt);
}

QRadioButton* ControlFactory::optionButton(QWidget* parent, const QString& name, const QString& caption,
                                           const QRect& twips)
{
    return place(new QRadioButton(caption, parent), parent, name, twips, std::nullopt);
}

QFrame* ControlFactory::box(QWidget* parent, const QString& name, const QRect& twips)
{
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    return place(frame, parent, name, twips, std::nullopt);
}

void ControlFactory::placeWithoutFont(QWidget* widget, QWidget* parent, const QString& name,
                                      const QRect& twips)
{
    if (widget->parentWidget() != parent)
        widget->setParent(parent);
    widget->setObjectName(name);
    if (!widget->property(TagProperty).isValid())
        setControlTag(widget, QString());
    placeAtTwips(widget, twips);
    widget->show();
    list_.add(widget);
}

void ControlFactory::registerWithoutGeometry(QObject* object, const QString& name)
{
    object->setObjectName(name);
    if (!object->property(TagProperty).isValid())
        setControlTag(object, QString());
    list_.add(object);
}

} // namespace px316t
