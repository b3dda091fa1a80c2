#include "controls/picture/getrect.h"

#include "platform/qt/mouse_codes.h"
#include "text/text.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <utility>

namespace orvix {

namespace {

// A handle's side in pixels; the model works with its twips.
constexpr int kHandlePixels = 9;

// A frame line: a light line between two dark ones, so it shows on any picture. The
// widget is one pixel wider on each side than the line itself.
class FrameLineWidget : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.fillRect(rect().adjusted(1, 1, -1, -1), Qt::white);
    }
};

} // namespace

getrect::getrect(QWidget* parent) : QWidget(parent) {
    m_model = GetrectModel(to_int(kHandlePixels * twips_per_pixel_x()));
    const char* line_names[] = {"a", "b", "c", "d"};
    for (size_t i = 0; i < m_lines.size(); ++i) {
        m_lines[i] = new FrameLineWidget(this);
        m_lines[i]->setObjectName(QString::fromLatin1(line_names[i]));
        m_lines[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    for (size_t i = 0; i < m_coins.size(); ++i) {
        auto* coin = new QFrame(this);
        coin->setObjectName(QStringLiteral("coin%1").arg(i + 1));
        coin->setFrameStyle(QFrame::Box | QFrame::Plain);
        coin->setAutoFillBackground(true);
        QPalette colours = coin->palette();
        colours.setColor(QPalette::Window, Qt::white);
        colours.setColor(QPalette::WindowText, Qt::black);
        coin->setPalette(colours);
        coin->setAttribute(Qt::WA_TransparentForMouseEvents);
        coin->setCursor(Qt::CrossCursor);
        m_coins[i] = coin;
    }
    // The pointer shows what a press would do; the arrow keys need the focus.
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

double getrect::twips_per_pixel_x() const {
    return twips_per_pixel(logicalDpiX());
}

double getrect::twips_per_pixel_y() const {
    return twips_per_pixel(logicalDpiY());
}

QString getrect::get_selrect() const {
    return QString::fromStdString(m_model.get_selrect());
}

QString getrect::get_selrect_as_percents() const {
    return QString::fromStdString(
        m_model.get_selrect_as_percents(QLocale().decimalPoint().toStdString()));
}

void getrect::set_selrect(qint32 left, qint32 top, qint32 width, qint32 height) {
    take_size();
    m_model.set_selrect(left, top, width, height);
    place_handles();
}

void getrect::set_selrect_as_percents(float a, float b, float c, float d) {
    take_size();
    m_model.set_selrect_as_percents(a, b, c, d);
    place_handles();
}

void getrect::set_picture_size(Size picture) {
    take_size();
    m_model.set_picture_size(picture);
}

void getrect::set_picture_selection(const Rect& pixels) {
    take_size();
    m_model.set_picture_selection(pixels);
    place_handles();
}

void getrect::set_ratio(AspectRatio ratio) {
    take_size();
    m_model.set_ratio(ratio);
    place_handles();
}

void getrect::take_size() {
    const int32_t w = to_int(width() * twips_per_pixel_x());
    const int32_t h = to_int(height() * twips_per_pixel_y());
    if (w != m_model.inner_width() || h != m_model.inner_height())
        m_model.set_inner_size(w, h);
}

void getrect::resizeEvent(QResizeEvent*) {
    take_size();
    place_handles();
}

QRect getrect::to_pixels(const Rect& r) const {
    const double x = twips_per_pixel_x(), y = twips_per_pixel_y();
    return QRect(orvix::to_pixels(r.left, x), orvix::to_pixels(r.top, y),
                 orvix::to_pixels(r.width(), x), orvix::to_pixels(r.height(), y));
}

int getrect::handle_at(const QPoint& point) const {
    if (!m_model.handles_visible())
        return -1;
    // The handle made last lies on top where two overlap.
    for (int i = kHandleCount - 1; i >= 0; --i)
        if (m_coins[size_t(i)]->geometry().contains(point))
            return i;
    return -1;
}

void getrect::place_frame() {
    const double tx = twips_per_pixel_x(), ty = twips_per_pixel_y();
    const GetrectFrame& frame = m_model.frame();
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const FrameLine& l = frame.lines[i];
        const QPoint from(orvix::to_pixels(l.x1, tx), orvix::to_pixels(l.y1, ty));
        const QPoint to(orvix::to_pixels(l.x2, tx), orvix::to_pixels(l.y2, ty));
        const QRect line = QRect(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                                 QPoint(std::max(from.x(), to.x()), std::max(from.y(), to.y())));
        m_lines[i]->setGeometry(line.adjusted(-1, -1, 1, 1));
        m_lines[i]->show();
    }
    update_mask();
    emit SelectionChanged();
}

void getrect::place_handles() {
    for (size_t i = 0; i < m_coins.size(); ++i) {
        m_coins[i]->setGeometry(to_pixels(m_model.handle(int(i))));
        m_coins[i]->setVisible(m_model.handles_visible());
        m_coins[i]->raise();
    }
    place_frame();
    emit RectangleRefreshed();
}

void getrect::update_mask() {
    // Only the rectangle, its handles and its lines take the mouse; a click anywhere else
    // reaches the picture beneath (the crop window accepts on a double click there).
    QRegion region(to_pixels(m_model.reported()));
    for (QWidget* line : m_lines)
        region += line->geometry();
    if (m_model.handles_visible())
        for (QWidget* coin : m_coins)
            region += coin->geometry();
    setMask(region);
}

QPointF getrect::relative_to_handle(int index, const QPointF& point) const {
    const Rect handle = m_model.handle(index);
    return {point.x() * twips_per_pixel_x() - handle.left,
            point.y() * twips_per_pixel_y() - handle.top};
}

QPointF getrect::to_twips(const QPointF& point) const {
    return {point.x() * twips_per_pixel_x(), point.y() * twips_per_pixel_y()};
}

void getrect::show_pointer(const QPoint& point) {
    const int index = handle_at(point);
    const QPointF at = to_twips(point);
    if (index >= 0)
        setCursor(index % 2 == 0 ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    else if (m_model.inside(float(at.x()), float(at.y())))
        setCursor(Qt::SizeAllCursor);
    else
        unsetCursor();
}

void getrect::mousePressEvent(QMouseEvent* event) {
    if (m_pressed >= 0 || m_move_from) {
        event->ignore();
        return;
    }
    const int index = handle_at(event->position().toPoint());
    const QPointF at_twips = to_twips(event->position());
    if (index < 0 && event->button() == Qt::LeftButton &&
        m_model.inside(float(at_twips.x()), float(at_twips.y()))) {
        m_move_from = event->position();
        m_model.body_MouseDown();
        for (QWidget* coin : m_coins)
            coin->hide();
        update_mask();
        return;
    }
    if (index < 0) {
        event->ignore();
        return;
    }
    m_pressed = index;
    const QPointF at = relative_to_handle(index, event->position());
    m_model.handle_MouseDown(index);
    emit MouseDown(mouse_button_code(event->button()), shift_code(event->modifiers()),
                   float(at.x()), float(at.y()));
    for (QWidget* coin : m_coins)
        coin->hide();
    update_mask();
}

void getrect::mouseMoveEvent(QMouseEvent* event) {
    if (m_move_from) {
        const QPointF by = to_twips(event->position() - *m_move_from);
        if (m_model.body_MouseMove(float(by.x()), float(by.y())))
            place_frame();
        return;
    }
    if (m_pressed < 0) {
        show_pointer(event->position().toPoint());
        return;
    }
    const QPointF at = relative_to_handle(m_pressed, event->position());
    emit MouseMove(mouse_button_code(event->buttons()), shift_code(event->modifiers()),
                   float(at.x()), float(at.y()));
    if (m_model.handle_MouseMove(m_pressed, float(at.x()), float(at.y())))
        place_frame();
}

void getrect::mouseReleaseEvent(QMouseEvent* event) {
    if (m_move_from) {
        m_move_from.reset();
        if (m_model.body_MouseUp())
            place_handles();
        return;
    }
    if (m_pressed < 0)
        return;
    const int index = std::exchange(m_pressed, -1);
    const QPointF at = relative_to_handle(index, event->position());
    if (m_model.handle_MouseUp(index))
        place_handles();
    emit MouseUp(mouse_button_code(event->button()), shift_code(event->modifiers()), float(at.x()),
                 float(at.y()));
}

void getrect::mouseDoubleClickEvent(QMouseEvent* event) {
    if (handle_at(event->position().toPoint()) >= 0)
        return mousePressEvent(event);
    const QPointF at = to_twips(event->position());
    if (m_model.inside(float(at.x()), float(at.y())))
        emit DblClick();
    else
        event->ignore();
}

void getrect::keyPressEvent(QKeyEvent* event) {
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    QPoint by;
    switch (event->key()) {
    case Qt::Key_Left:
        by = {-step, 0};
        break;
    case Qt::Key_Right:
        by = {step, 0};
        break;
    case Qt::Key_Up:
        by = {0, -step};
        break;
    case Qt::Key_Down:
        by = {0, step};
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    // The mouse has the rectangle while it drags.
    if (m_pressed >= 0 || m_move_from)
        return;
    m_model.nudge(by.x(), by.y());
    place_handles();
}

} // namespace orvix
