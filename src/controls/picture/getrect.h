// The crop rectangle control: a thin frame (lines a to d) and four corner handles (coin1
// to coin4) over a picture, dragged to choose a rectangle; a drag inside the rectangle
// moves it whole and the arrow keys move it by a picture pixel (Shift: ten). Its rules
// live in GetrectModel; this widget converts the mouse to twips, places its children and
// lets every click outside the rectangle through to what lies beneath.
#pragma once

#include "controls/picture/getrect_model.h"

#include <QString>
#include <QWidget>

#include <array>
#include <optional>

namespace orvix {

class getrect : public QWidget {
    Q_OBJECT

public:
    explicit getrect(QWidget* parent = nullptr);

    QString get_selrect() const;
    // Written with the user's locale's decimal separator.
    QString get_selrect_as_percents() const;
    void set_selrect(qint32 left, qint32 top, qint32 width, qint32 height);
    void set_selrect_as_percents(float a, float b, float c, float d);

    // The picture beneath, its pixels; the selection's shape is kept in them.
    void set_picture_size(Size picture);
    void set_picture_selection(const Rect& pixels);
    void set_ratio(AspectRatio ratio);

    const GetrectModel& model() const { return m_model; }
    double twips_per_pixel_x() const;
    double twips_per_pixel_y() const;

signals:
    // The handle's own mouse event: x and y in twips relative to the handle.
    void MouseDown(qint16 Button, qint16 Shift, float x, float y);
    void MouseUp(qint16 Button, qint16 Shift, float x, float y);
    void MouseMove(qint16 Button, qint16 Shift, float x, float y);
    void RectangleRefreshed();
    // The frame has moved (during a drag too).
    void SelectionChanged();
    // A double click inside the rectangle.
    void DblClick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The model's inner size from the widget's, which a hidden widget has before any
    // resize event.
    void take_size();
    QRect to_pixels(const Rect& twips) const;
    // The handle under a point of the widget, -1 for none.
    int handle_at(const QPoint& point) const;
    void place_frame();
    void place_handles();
    void update_mask();
    // The pointer relative to the handle, twips.
    QPointF relative_to_handle(int index, const QPointF& point) const;
    QPointF to_twips(const QPointF& point) const;
    void show_pointer(const QPoint& point);

    GetrectModel m_model;
    std::array<QWidget*, kHandleCount> m_coins{};
    std::array<QWidget*, 4> m_lines{};
    int m_pressed = -1;
    // Where a drag inside the rectangle began, widget pixels.
    std::optional<QPointF> m_move_from;
};

} // namespace orvix
