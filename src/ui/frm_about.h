#pragma once
// The About box: product title by link kind, version, one OK button that both
// Enter and Esc press.
#include "link/link_kind.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace px316t {

// "PX316T(USB) Pager Programmer" or "PX316T Pager Programmer".
QString aboutTitle(LinkKind kind);

class frmAbout : public QDialog {
public:
    explicit frmAbout(LinkKind kind, QWidget* parent = nullptr);

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QPushButton* cmdOK = nullptr;
};

// The program's icon: a small pager drawn in code.
QIcon programIcon();

} // namespace px316t
