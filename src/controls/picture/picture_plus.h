// The picture viewer control: one picture in a box, drawn at a zoom and centred, fitted
// to the box, or at the zoom with scroll bars. Its rules live in PicturePlusModel; this
// widget measures, loads the picture with Qt's reader, paints and forwards the mouse.
#pragma once

#include "controls/picture/picture_plus_model.h"

#include <QFrame>
#include <QImage>
#include <QString>
#include <QWidget>

class QScrollBar;

namespace orvix {

class PicturePlus;

// A picture box: `bk` shows the picture, the hidden `tmp` holds the loaded one.
class PictureBox : public QFrame {
    Q_OBJECT

public:
    explicit PictureBox(QWidget* parent = nullptr);

    const QImage& picture() const { return m_picture; }
    void set_picture(const QImage& picture) { m_picture = picture; }
    void clear_picture() { m_picture = QImage(); }

signals:
    void pressed(QMouseEvent* event);
    void released(QMouseEvent* event);
    void moved(QMouseEvent* event);
    void doubleClicked(QMouseEvent* event);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

class PicturePlus : public QWidget {
    Q_OBJECT
    Q_PROPERTY(quint32 ColorBackground READ ColorBackground WRITE setColorBackground NOTIFY
                   ColorBackgroundChanged)
    Q_PROPERTY(qint16 BorderStyle READ BorderStyle WRITE setBorderStyle NOTIFY BorderStyleChanged)
    Q_PROPERTY(qint16 IfBoxLargerThanPict READ IfBoxLargerThanPict WRITE setIfBoxLargerThanPict
                   NOTIFY IfBoxLargerThanPictChanged)
    Q_PROPERTY(qint16 IfBoxSmallerThanPict READ IfBoxSmallerThanPict WRITE setIfBoxSmallerThanPict
                   NOTIFY IfBoxSmallerThanPictChanged)
    Q_PROPERTY(float zoom READ zoom WRITE setZoom NOTIFY zoomChanged)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent NOTIFY TransparentChanged)
    Q_PROPERTY(QString FilePath READ FilePath WRITE setFilePath NOTIFY FilePathChanged)

public:
    // A new control: default properties, laid out, no picture.
    explicit PicturePlus(QWidget* parent = nullptr);

    quint32 ColorBackground() const { return m_model.properties().ColorBackground; }
    qint16 BorderStyle() const { return m_model.properties().BorderStyle; }
    qint16 IfBoxLargerThanPict() const { return m_model.properties().IfBoxLargerThanPict; }
    qint16 IfBoxSmallerThanPict() const { return m_model.properties().IfBoxSmallerThanPict; }
    float zoom() const { return m_model.properties().zoom; }
    bool Transparent() const { return m_model.properties().Transparent; }
    QString FilePath() const;

    void setColorBackground(quint32 colour);
    void setBorderStyle(qint16 style);
    void setIfBoxLargerThanPict(qint16 value);
    void setIfBoxSmallerThanPict(qint16 value);
    void setZoom(float zoom);
    void setTransparent(bool transparent);
    // Stores the path, lays out and loads the picture (unless it is "localpict").
    void setFilePath(const QString& path);

    // The container's property store.
    void WriteProperties(PropertyBag& bag) const;
    void ReadProperties(const PropertyBag& bag);

    // Gives target the loaded picture.
    void copy_picture_in(PictureBox& target) const;
    QString scrollbars_values() const;
    QString drawn_rectangle() const;
    QString picture_dimensions() const;
    // Shows the picture of source: FilePath becomes "localpict".
    void set_picture(const PictureBox& source);
    // Copies source onto target at (x, y), the colour transparent_colour left out.
    static void TransparentBlt(QImage& target, int x, int y, const QImage& source,
                               quint32 transparent_colour);
    static bool FileExists(const QString& path);

    const PicturePlusModel& model() const { return m_model; }

signals:
    void ColorBackgroundChanged();
    void BorderStyleChanged();
    void IfBoxLargerThanPictChanged();
    void IfBoxSmallerThanPictChanged();
    void zoomChanged();
    void TransparentChanged();
    void FilePathChanged();

    // The mouse on the picture box, pixels of the box.
    void MouseDown(qint16 Button, qint16 Shift, float x, float y);
    void MouseUp(qint16 Button, qint16 Shift, float x, float y);
    void MouseMove(qint16 Button, qint16 Shift, float x, float y);
    void DblClick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class PictureBox;

    void load_picture();
    void lay_out();
    void redraw();
    // Draws what the box shows onto painter, the box's drawing area at the origin.
    void paint_box(QPainter& painter);
    const QImage& zoomed_picture(const QSize& size);
    // The background as plain RGB (black when the colour cannot be translated).
    qint32 background_rgb() const;
    void forward(QMouseEvent* event, void (PicturePlus::*signal)(qint16, qint16, float, float));

    PicturePlusModel m_model;
    PictureBox* m_bk = nullptr;
    PictureBox* m_tmp = nullptr;
    QScrollBar* m_HScroll = nullptr;
    QScrollBar* m_VScroll = nullptr;
    QWidget* m_coin = nullptr;
    PicturePlusPaint m_paint;
    // The loaded picture at the size it is drawn, made once a size.
    QImage m_scaled;
    qint64 m_scaled_key = -1;
};

} // namespace orvix
