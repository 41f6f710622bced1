#pragma once
// The option controls of the page "Alerts and Status": the frames "Alerts",
// "Manual Write", "Status" and "Prompts" with their bound check boxes and combo
// boxes, and the controls whose encodings are their own (personal alert length,
// sequential lockout, prompt language, logo font, screen contrast).
#include "ui/editor_context.h"

#include <QObject>

class QComboBox;
class QGroupBox;
class QLabel;
class QWidget;

namespace px316t {

class ControlFactory;
class ctlEBSlider;

class OptionControls : public QObject {
public:
    OptionControls(EditorContext& context, ControlFactory& factory, QWidget* page);

    // Refresh steps that have encodings of their own.
    void showSequentialLockout();
    void showLogoFont();
    // Shows the language only: the prompts of the image stay as they are.
    void showLanguage();
    void showContrast();
    void showPersonalAlert();
    // "Direct Show Lamp On" is offered only with the paging display mode "Direct".
    void applyDisplayModeRule();

    QGroupBox* fraAlerts = nullptr;
    QGroupBox* fraManualWrite = nullptr;
    QGroupBox* fraStatus = nullptr;
    QGroupBox* fraPrompts = nullptr;
    QComboBox* cboPersonAlert = nullptr;
    QComboBox* cboSLC = nullptr;
    QComboBox* cboLng = nullptr;
    QComboBox* cbologo = nullptr;
    ctlEBSlider* Slider1 = nullptr;
    QLabel* lblValue = nullptr;
    QLabel* lblContrast = nullptr;

private:
    void Slider1_Changed(int value);

    EditorContext& ctx_;
};

} // namespace px316t
