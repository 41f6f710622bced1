#pragma once
// What the link shows on the main window: the message line under the pages and
// the enabled state of the "Pager" menu. The main window implements it.
#include <QColor>
#include <QString>

namespace px316t {

class BoardStatusView {
public:
    virtual ~BoardStatusView() = default;
    virtual void setMessageLine(const QString& text, const QColor& color) = 0;
    virtual void setPagerMenuEnabled(bool enabled) = 0;
};

} // namespace px316t
