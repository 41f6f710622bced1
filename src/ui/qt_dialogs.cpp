#include "ui/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace px316t {
namespace {
const QString kMessageTitle = QStringLiteral("PX316T");
}

void QtMessageBoxes::message(const QString& text, Icon icon)
{
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    kMessageTitle, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool QtMessageBoxes::askYesNo(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, kMessageTitle, text, QMessageBox::Yes | QMessageBox::No,
                    parent_);
    return box.exec() == QMessageBox::Yes;
}

QString toQtFilter(const QString& filter)
{
    // Pairs of description|pattern; Qt needs only the descriptions, which carry
    // their patterns in brackets.
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList descriptions;
    for (int i = 0; i < parts.size(); i += 2)
        descriptions << parts[i];
    return descriptions.join(QStringLiteral(";;"));
}

std::optional<QString> QtFileDialogs::openFile(const QString& folder, const QString& filter)
{
    const QString path = QFileDialog::getOpenFileName(parent_, QString(), folder, toQtFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtFileDialogs::saveFile(const QString& folder, const QString& filter)
{
    const QString path = QFileDialog::getSaveFileName(parent_, QString(), folder, toQtFilter(filter),
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace px316t
