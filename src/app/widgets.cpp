#include "app/widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace orvix {

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

SplitterBar::SplitterBar(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SplitHCursor);
}

void SplitterBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_grab_x = event->position().toPoint().x();
}

void SplitterBar::mouseMoveEvent(QMouseEvent* event) {
    if (m_grab_x < 0 || !parentWidget())
        return;
    const int wanted = mapToParent(event->position().toPoint()).x() - m_grab_x;
    // Keep a quarter of the page on each side so neither column can vanish.
    const int room = parentWidget()->width();
    move(std::clamp(wanted, room / 4, std::max(room / 4, room * 3 / 4 - width())), y());
}

void SplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_grab_x < 0)
        return;
    m_grab_x = -1;
    emit EndMoving();
}

void SplitterBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= QStyle::State_Horizontal;
    style()->drawControl(QStyle::CE_Splitter, &option, &painter, this);
}

void place_widget(QWidget& widget, const Rect& box, double twips_per_pixel) {
    widget.setGeometry(to_pixels(box.left, twips_per_pixel), to_pixels(box.top, twips_per_pixel),
                       to_pixels(box.width(), twips_per_pixel),
                       to_pixels(box.height(), twips_per_pixel));
}

} // namespace orvix
