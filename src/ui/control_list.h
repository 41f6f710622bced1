#pragma once
// The window's controls in creation order, each with its name, its tag and its
// design geometry. Every control is created through the factory below so that
// nothing escapes the list: the tag suffixes, the refresh from the pager image and
// the mode switch all walk it.
#include <QFont>
#include <QObject>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

class QWidget;
class QLabel;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QFrame;

namespace px316t {

// Dynamic properties every control carries.
inline constexpr const char* TagProperty = "tag";
inline constexpr const char* DesignRectProperty = "designRect";     // QRect, twips
inline constexpr const char* DesignFontProperty = "designFontPt";   // double, points
// Where the control stands now, in twips at the window's present scale.
inline constexpr const char* CurrentRectProperty = "twipsRect";     // QRect, twips

QString controlTag(const QObject* control);
void setControlTag(QObject* control, const QString& tag);

// ",#" then Left#Top#Width#Height# and FontSize#, each part present only when the
// control has it: a menu item gets ",#", a scroll bar ",#L#T#W#H#".
QString geometrySuffix(const std::optional<QRect>& designRect, const std::optional<double>& fontPt);

class ControlList {
public:
    void add(QObject* control) { controls_.push_back(control); }
    const std::vector<QObject*>& all() const { return controls_; }

    // Appends the geometry suffix to every control's tag, in creation order.
    void appendGeometrySuffixes();

private:
    std::vector<QObject*> controls_;
};

// Creates controls at design positions (twips) and registers them in the list.
class ControlFactory {
public:
    ControlFactory(ControlList& list, const QFont& defaultFont) : list_(list), font_(defaultFont) {}

    QLabel* label(QWidget* parent, const QString& name, const QString& caption, const QRect& twips,
                  std::optional<QFont> font = std::nullopt);
    QCheckBox* checkBox(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& twips, const QString& tag = {});
    QComboBox* comboBox(QWidget* parent, const QString& name, const QStringList& items,
                        const QRect& twips, const QString& tag = {});
    QLineEdit* textBox(QWidget* parent, const QString& name, int maxLength, const QRect& twips);
    QGroupBox* frame(QWidget* parent, const QString& name, const QString& caption, const QRect& twips);
    QWidget* pictureBox(QWidget* parent, const QString& name, const QRect& twips);
    QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QRect& twips);
    QRadioButton* optionButton(QWidget* parent, const QString& name, const QString& caption,
                               const QRect& twips);
    QFrame* box(QWidget* parent, const QString& name, const QRect& twips);
    // A control without a font of its own (a scroll bar, the slider).
    void placeWithoutFont(QWidget* widget, QWidget* parent, const QString& name, const QRect& twips);
    // A control without position (a menu item, a timer).
    void registerWithoutGeometry(QObject* object, const QString& name);

    const QFont& defaultFont() const { return font_; }
    void setDefaultFont(const QFont& font) { font_ = font; }

private:
    template <typename W>
    W* place(W* widget, QWidget* parent, const QString& name, const QRect& twips,
             const std::optional<QFont>& font);

    ControlList& list_;
    QFont font_;
};

// Moves a control to a design rectangle in twips and remembers it as its design.
void placeAtTwips(QWidget* widget, const QRect& twips);
// The design rectangle a control was created with.
QRect designRect(const QObject* control);
// The rectangle a control stands at now (twips at the window's present scale);
// its design rectangle until the window is scaled.
QRect currentTwips(const QObject* control);
// Moves a control to a rectangle in twips at the window's present scale. A combo
// box (a name beginning with "cbo") keeps the height its font gives it.
void setCurrentTwips(QWidget* widget, const QRect& twips);
bool keepsFontHeight(const QObject* control);
// Moves a control to a new top (twips at the present scale), keeping the rest of
// where it stands.
void moveToTopTwips(QWidget* widget, int topTwips);

} // namespace px316t
