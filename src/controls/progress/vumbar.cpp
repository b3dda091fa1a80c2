#include "controls/progress/vumbar.h"

#include "platform/qt/system_colours.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QStringList>

#include <array>
#include <cmath>
#include <optional>

namespace orvix {

const QString Vumbar::default_Caption =
    QStringLiteral("Vumbar 1.0 - 2000 / {percents} % ({value}/{max})");

namespace {

// Steps of the relief of the background and of the bar.
constexpr qint16 background_steps = 63;
constexpr qint16 bar_steps = 20;

// A rectangle as DrawGradient takes it: "x1,y1,x2,y2".
QString rect_text(const Rect& rect) {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(rect.left)
        .arg(rect.top)
        .arg(rect.right)
        .arg(rect.bottom);
}

// The edge of the pixels whose centres lie before `twips`.
int pixel_edge(int twips, double twips_per_pixel) {
    return static_cast<int>(std::ceil(twips / twips_per_pixel - 0.5));
}

// Every let stores, paints at once (the transfer run never returns to the event loop in
// between) and tells the container.
template <typename T>
void store(Vumbar& bar, T& member, const T& value, void (Vumbar::*changed)()) {
    member = value;
    bar.repaint();
    emit(bar.*changed)();
}

} // namespace

Vumbar::Vumbar(QWidget* parent) : QWidget(parent) {}

void Vumbar::setBackColor(quint32 colour) {
    store(*this, m_BackColor, colour, &Vumbar::BackColorChanged);
}

void Vumbar::setBarColor(quint32 colour) {
    store(*this, m_BarColor, colour, &Vumbar::BarColorChanged);
}

void Vumbar::setTextColor(quint32 colour) {
    store(*this, m_TextColor, colour, &Vumbar::TextColorChanged);
}

void Vumbar::setCaption(const QString& caption) {
    store(*this, m_Caption, caption, &Vumbar::CaptionChanged);
}

void Vumbar::setValue(qint32 value) {
    store(*this, m_Value, value, &Vumbar::ValueChanged);
}

void Vumbar::setMin(qint32 min) {
    store(*this, m_Min, min, &Vumbar::MinChanged);
}

void Vumbar::setMax(qint32 max) {
    store(*this, m_Max, max, &Vumbar::MaxChanged);
}

void Vumbar::setCaptionAlign(qint16 align) {
    store(*this, m_CaptionAlign, align, &Vumbar::CaptionAlignChanged);
}

void Vumbar::setAppearance(qint16 appearance) {
    store(*this, m_Appearance, appearance, &Vumbar::AppearanceChanged);
}

void Vumbar::setBackColor_Relief(bool relief) {
    store(*this, m_BackColor_Relief, relief, &Vumbar::BackColor_ReliefChanged);
}

void Vumbar::setBarColor_Relief(bool relief) {
    store(*this, m_BarColor_Relief, relief, &Vumbar::BarColor_ReliefChanged);
}

void Vumbar::set_value(qint32 value) {
    m_Value = value;
    repaint();
}

void Vumbar::set_max(qint32 max) {
    m_Max = max;
    repaint();
}

void Vumbar::set_min(qint32 min) {
    m_Min = min;
    repaint();
}

qint32 Vumbar::translated_colour(quint32 colour) const {
    return translate_colour(colour, palette());
}

QSize Vumbar::sizeHint() const {
    return {200, fontMetrics().height() + 6};
}

double Vumbar::twips_per_pixel_x() const {
    return twips_per_pixel(logicalDpiX());
}

double Vumbar::twips_per_pixel_y() const {
    return twips_per_pixel(logicalDpiY());
}

QRect Vumbar::to_pixels(const Rect& rect) const {
    const int left = pixel_edge(std::min(rect.left, rect.right), twips_per_pixel_x());
    const int right = pixel_edge(std::max(rect.left, rect.right), twips_per_pixel_x());
    const int top = pixel_edge(std::min(rect.top, rect.bottom), twips_per_pixel_y());
    const int bottom = pixel_edge(std::max(rect.top, rect.bottom), twips_per_pixel_y());
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void Vumbar::DrawGradient(QPainter& target, const QString& rect, int& r, int& g, int& b,
                          bool TopToBottom, bool toblack, qint16 nbsteps) const {
    for (const GradientBand& band :
         gradient_bands(rect.toStdString(), r, g, b, TopToBottom, toblack, nbsteps))
        target.fillRect(to_pixels(band.rect), to_qcolor(rgb(band.r, band.g, band.b)));
}

void Vumbar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    redraw(painter);
}

void Vumbar::redraw(QPainter& painter) {
    const Rect whole{0, 0, static_cast<int>(std::lround(width() * twips_per_pixel_x())),
                     static_cast<int>(std::lround(height() * twips_per_pixel_y()))};
    draw_background(painter, whole);
    m_inner = whole;
    if (m_Appearance == 1) {
        draw_frame(painter);
        m_inner = frame_inner_rect(whole);
    }
    const int fill_right = filled_right(m_inner, bar_fraction(m_Value, m_Min, m_Max));
    draw_bar(painter, fill_right);
    draw_caption(painter, fill_right);
}

// A colour that cannot be translated leaves its part undrawn; the rest still paints.
void Vumbar::draw_background(QPainter& painter, const Rect& whole) {
    const qint32 back = translated_colour(m_BackColor);
    if (back == -1)
        return;
    painter.fillRect(rect(), to_qcolor(back));
    if (!m_BackColor_Relief)
        return;
    int r = 0;
    int g = 0;
    int b = 0;
    split_rgb(back, r, g, b);
    DrawGradient(painter, rect_text(whole), r, g, b, false, true, background_steps);
}

void Vumbar::draw_frame(QPainter& painter) {
    const int right = width() - 1;
    const int bottom = height() - 1;
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, 0, right, 0);
    painter.drawLine(0, 0, 0, bottom);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(0, bottom, right, bottom);
    painter.drawLine(right, 0, right, bottom);
}

Rect Vumbar::frame_inner_rect(const Rect& whole) const {
    const int dx = static_cast<int>(std::lround(twips_per_pixel_x()));
    const int dy = static_cast<int>(std::lround(twips_per_pixel_y()));
    return {whole.left + dx, whole.top + dy, whole.right - dx, whole.bottom - dy};
}

void Vumbar::draw_bar(QPainter& painter, int fill_right) {
    const qint32 bar = translated_colour(m_BarColor);
    if (fill_right <= m_inner.left || bar == -1)
        return;
    const Rect filled{m_inner.left, m_inner.top, fill_right, m_inner.bottom};
    const QRect pixels = to_pixels(filled);
    // The bands may stop short of the top when their step rounds down, or overshoot it.
    painter.fillRect(pixels, to_qcolor(bar));
    if (!m_BarColor_Relief)
        return;
    int r = 0;
    int g = 0;
    int b = 0;
    split_rgb(bar, r, g, b);
    painter.save();
    painter.setClipRect(pixels);
    DrawGradient(painter, rect_text(filled), r, g, b, false, false, bar_steps);
    painter.restore();
}

void Vumbar::draw_caption(QPainter& painter, int fill_right) {
    const qint32 colour = translated_colour(m_TextColor);
    if (colour == -1)
        return;
    QString text =
        QString::fromStdString(caption_text(m_Caption.toStdString(), m_Value, m_Min, m_Max));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));

    const QFontMetrics metrics = painter.fontMetrics();
    // One pixel of slack so a text measured to fit is not wrapped by rounding to pixels.
    const int natural = metrics.size(0, text).width() + 1;
    const CaptionPlace place =
        caption_place(m_inner, fill_right,
                      static_cast<int>(std::ceil(natural * twips_per_pixel_x())), m_CaptionAlign);
    const QRect box = to_pixels(place.rect);
    if (box.width() <= 0 || box.height() <= 0)
        return;

    Qt::Alignment horizontal = Qt::AlignLeft;
    if (place.alignment == CaptionAlignment::Right)
        horizontal = Qt::AlignRight;
    else if (place.alignment == CaptionAlignment::Centre)
        horizontal = Qt::AlignHCenter;

    painter.setPen(to_qcolor(colour));
    const int wrapped = Qt::TextWordWrap | horizontal;
    if (metrics.boundingRect(box, wrapped, text).height() <= box.height()) {
        painter.drawText(box, wrapped | Qt::AlignVCenter, text);
        return;
    }
    // Too tall once wrapped: one line per caption line, shortened in the middle.
    QStringList lines = text.split(QChar('\n'));
    for (QString& line : lines)
        line = metrics.elidedText(line, Qt::ElideMiddle, box.width());
    text = lines.join(QChar('\n'));
    const bool fits = metrics.size(0, text).height() <= box.height();
    painter.drawText(box, horizontal | (fits ? Qt::AlignVCenter : Qt::AlignTop), text);
}

} // namespace orvix
