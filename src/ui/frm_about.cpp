#include "ui/frm_about.h"

#include "ui/twips.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace px316t {

QString aboutTitle(LinkKind kind)
{
    const QString product = QStringLiteral("PX316T V5.02");
    return product.left(6) + (kind == LinkKind::USB ? QStringLiteral("(USB) Pager Programmer")
                                                    : QStringLiteral(" Pager Programmer"));
}

QIcon programIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(40, 40, 48));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(3, 6, 26, 20, 4, 4);          // the pager's case
    p.setBrush(QColor(150, 200, 150));
    p.drawRect(7, 10, 18, 8);                       // its display
    p.setBrush(QColor(200, 200, 200));
    p.drawEllipse(8, 20, 4, 4);                     // and two buttons
    p.drawEllipse(20, 20, 4, 4);
    return QIcon(pixmap);
}

frmAbout::frmAbout(LinkKind kind, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About "));
    setModal(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    setFixedSize(twipsToPixels(QRect(0, 0, 5730, 3000)).size());

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(programIcon().pixmap(32, 32));
    picIcon->setGeometry(twipsToPixels(QRect(240, 240, 540, 540)));

    lblTitle = new QLabel(aboutTitle(kind), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setFont(QFont(QStringLiteral("Arial"), 12));
    lblTitle->setGeometry(twipsToPixels(QRect(1050, 240, 4500, 480)));

    lblVersion = new QLabel(QStringLiteral("Version 5.02(2010.02.25)"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    QFont versionFont(QStringLiteral("Courier New"));
    versionFont.setPointSizeF(10.5);
    versionFont.setBold(true);
    lblVersion->setFont(versionFont);
    lblVersion->setGeometry(twipsToPixels(QRect(1050, 840, 4500, 360)));

    for (int i = 0; i < 2; ++i) {
        auto* line = new QFrame(this);
        line->setObjectName(QStringLiteral("Line%1").arg(i + 1));
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(i == 0 ? QFrame::Sunken : QFrame::Plain);
        line->setGeometry(twipsToPixels(QRect(240, 1560 + i * 30, 5250, 30)));
    }

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsToPixels(QRect(4200, 2160, 1260, 375)));
    cmdOK->setDefault(true);     // Enter presses it; Esc closes the dialog the same way
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace px316t
