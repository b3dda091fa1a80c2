// The progress bar control: a horizontal bar with a caption built from a template, a relief
// background and bar, and a sunken frame. The transfer run drives it through Min, Max,
// Value and Caption without returning to the event loop, so every change paints at once.
#pragma once

#include "controls/progress/vumbar_drawing.h"

#include <QString>
#include <QWidget>

class QPainter;

namespace orvix {

class Vumbar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE setBackColor NOTIFY BackColorChanged)
    Q_PROPERTY(quint32 BarColor READ BarColor WRITE setBarColor NOTIFY BarColorChanged)
    Q_PROPERTY(quint32 TextColor READ TextColor WRITE setTextColor NOTIFY TextColorChanged)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption NOTIFY CaptionChanged)
    Q_PROPERTY(qint32 Value READ Value WRITE setValue NOTIFY ValueChanged)
    Q_PROPERTY(qint32 Min READ Min WRITE setMin NOTIFY MinChanged)
    Q_PROPERTY(qint32 Max READ Max WRITE setMax NOTIFY MaxChanged)
    Q_PROPERTY(
        qint16 CaptionAlign READ CaptionAlign WRITE setCaptionAlign NOTIFY CaptionAlignChanged)
    Q_PROPERTY(qint16 Appearance READ Appearance WRITE setAppearance NOTIFY AppearanceChanged)
    Q_PROPERTY(bool BackColor_Relief READ BackColor_Relief WRITE setBackColor_Relief NOTIFY
                   BackColor_ReliefChanged)
    Q_PROPERTY(bool BarColor_Relief READ BarColor_Relief WRITE setBarColor_Relief NOTIFY
                   BarColor_ReliefChanged)

public:
    // System colours: application workspace, highlight and highlight text.
    static constexpr quint32 default_BackColor = system_colour_flag | 12;
    static constexpr quint32 default_BarColor = system_colour_flag | 13;
    static constexpr quint32 default_TextColor = system_colour_flag | 14;
    static const QString default_Caption;

    explicit Vumbar(QWidget* parent = nullptr);

    quint32 BackColor() const { return m_BackColor; }
    quint32 BarColor() const { return m_BarColor; }
    quint32 TextColor() const { return m_TextColor; }
    QString Caption() const { return m_Caption; }
    qint32 Value() const { return m_Value; }
    qint32 Min() const { return m_Min; }
    qint32 Max() const { return m_Max; }
    qint16 CaptionAlign() const { return m_CaptionAlign; }
    qint16 Appearance() const { return m_Appearance; }
    bool BackColor_Relief() const { return m_BackColor_Relief; }
    bool BarColor_Relief() const { return m_BarColor_Relief; }

    void setBackColor(quint32 colour);
    void setBarColor(quint32 colour);
    void setTextColor(quint32 colour);
    void setCaption(const QString& caption);
    void setValue(qint32 value);
    void setMin(qint32 min);
    void setMax(qint32 max);
    void setCaptionAlign(qint16 align);
    void setAppearance(qint16 appearance);
    void setBackColor_Relief(bool relief);
    void setBarColor_Relief(bool relief);

    // Store and paint, without telling the container: the transfer run's per-picture calls.
    void set_value(qint32 value);
    void set_max(qint32 max);
    void set_min(qint32 min);

    // Draws gradient_bands() on target; rect and the bands are in this control's twips.
    void DrawGradient(QPainter& target, const QString& rect, int& r, int& g, int& b,
                      bool TopToBottom, bool toblack, qint16 nbsteps) const;

    // Plain RGB of a colour value through this widget's palette; -1 when untranslatable.
    qint32 translated_colour(quint32 colour) const;

    QSize sizeHint() const override;

signals:
    void BackColorChanged();
    void BarColorChanged();
    void TextColorChanged();
    void CaptionChanged();
    void ValueChanged();
    void MinChanged();
    void MaxChanged();
    void CaptionAlignChanged();
    void AppearanceChanged();
    void BackColor_ReliefChanged();
    void BarColor_ReliefChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double twips_per_pixel_x() const;
    double twips_per_pixel_y() const;
    QRect to_pixels(const Rect& rect) const;
    Rect frame_inner_rect(const Rect& whole) const;

    void redraw(QPainter& painter);
    void draw_background(QPainter& painter, const Rect& whole);
    void draw_frame(QPainter& painter);
    void draw_bar(QPainter& painter, int fill_right);
    void draw_caption(QPainter& painter, int fill_right);

    quint32 m_BackColor = default_BackColor;
    quint32 m_BarColor = default_BarColor;
    quint32 m_TextColor = default_TextColor;
    QString m_Caption = default_Caption;
    qint32 m_Value = 0;
    qint32 m_Min = 0;
    qint32 m_Max = 100;
    qint16 m_CaptionAlign = 0;
    qint16 m_Appearance = 1;
    bool m_BackColor_Relief = true;
    bool m_BarColor_Relief = true;

    // The area inside the frame at the last paint, in twips.
    Rect m_inner;
};

} // namespace orvix
