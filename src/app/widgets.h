// Two small controls the main window needs that Qt does not have as such: a label that
// reports clicks, and a splitter bar that the user drags sideways; and the placing of a
// control at a box worked out in twips.
#pragma once

#include "geometry/geometry.h"

#include <QLabel>
#include <QWidget>

namespace orvix {

class ClickableLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A vertical bar moved by dragging it within its parent; EndMoving tells that the drag is
// over, so the window places the controls on either side again.
class SplitterBar : public QWidget {
    Q_OBJECT

public:
    explicit SplitterBar(QWidget* parent = nullptr);

signals:
    void EndMoving();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_grab_x = -1; // where in the bar the drag started; -1 when not dragging
};

// Places the widget at the box, given in twips, with the screen's twips per pixel.
void place_widget(QWidget& widget, const Rect& box, double twips_per_pixel);

} // namespace orvix
