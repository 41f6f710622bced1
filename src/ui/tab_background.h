#pragma once
// The window background behind the pages: a mottled tile in four light greys,
// repeated over the whole surface. Moving the mouse over it gives it the focus,
// which commits the field being edited.
#include <QPixmap>
#include <QWidget>

namespace px316t {

class TabBackground : public QWidget {
public:
    explicit TabBackground(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPixmap tile_;
};

} // namespace px316t
