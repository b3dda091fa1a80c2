#include "controls/picture/picture_plus.h"

#include "controls/common/image_header.h"
#include "fs/file_io.h"
#include "fs/fs.h"
#include "platform/qt/mouse_codes.h"
#include "platform/qt/system_colours.h"
#include "platform/qt/text_codec.h"

#include <QBuffer>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace orvix {

namespace {

// Zoomed pictures up to this many pixels are scaled once and kept; larger ones are
// scaled at each paint, only where they show.
constexpr qint64 kCachedPixels = qint64(64) << 20;
// Camera pictures of 45 MP and more exceed Qt's default limit of 128 MB a picture.
constexpr int kReaderLimitMegabytes = 1024;
// No picture file the viewer can show comes near this.
constexpr off_t kMaxPictureFileBytes = off_t{1} << 30;

QRect to_qrect(const Rect& rect) {
    return QRect(rect.left, rect.top, rect.width(), rect.height());
}

} // namespace

// --- PictureBox --------------------------------------------------------------------------

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    emit pressed(event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    emit released(event);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    emit moved(event);
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    emit doubleClicked(event);
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    auto* owner = qobject_cast<PicturePlus*>(parentWidget());
    if (!owner || owner->m_bk != this)
        return;
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.setClipRect(area);
    painter.translate(area.topLeft());
    owner->paint_box(painter);
}

// --- PicturePlus -------------------------------------------------------------------------

PicturePlus::PicturePlus(QWidget* parent) : QWidget(parent) {
    m_bk = new PictureBox(this);
    m_bk->setObjectName(QStringLiteral("bk"));
    m_tmp = new PictureBox(this);
    m_tmp->setObjectName(QStringLiteral("tmp"));
    m_tmp->hide();
    m_HScroll = new QScrollBar(Qt::Horizontal, this);
    m_HScroll->setObjectName(QStringLiteral("HScroll"));
    m_VScroll = new QScrollBar(Qt::Vertical, this);
    m_VScroll->setObjectName(QStringLiteral("VScroll"));
    m_coin = new QWidget(this);
    m_coin->setObjectName(QStringLiteral("coin"));
    m_coin->setAutoFillBackground(true);
    m_HScroll->hide();
    m_VScroll->hide();
    m_coin->hide();

    connect(m_bk, &PictureBox::pressed, this,
            [this](QMouseEvent* e) { forward(e, &PicturePlus::MouseDown); });
    connect(m_bk, &PictureBox::released, this,
            [this](QMouseEvent* e) { forward(e, &PicturePlus::MouseUp); });
    connect(m_bk, &PictureBox::moved, this,
            [this](QMouseEvent* e) { forward(e, &PicturePlus::MouseMove); });
    connect(m_bk, &PictureBox::doubleClicked, this, [this] { emit DblClick(); });
    auto scrolled = [this] {
        m_model.set_scroll_values(m_HScroll->value(), m_VScroll->value());
        redraw();
    };
    connect(m_HScroll, &QScrollBar::valueChanged, this, scrolled);
    connect(m_VScroll, &QScrollBar::valueChanged, this, scrolled);

    lay_out();
}

QString PicturePlus::FilePath() const {
    return to_qt(m_model.properties().FilePath);
}

void PicturePlus::setColorBackground(quint32 colour) {
    m_model.properties().ColorBackground = colour;
    redraw();
    emit ColorBackgroundChanged();
}

void PicturePlus::setBorderStyle(qint16 style) {
    m_model.properties().BorderStyle = style;
    lay_out();
    emit BorderStyleChanged();
}

void PicturePlus::setIfBoxLargerThanPict(qint16 value) {
    m_model.properties().IfBoxLargerThanPict = value;
    lay_out();
    emit IfBoxLargerThanPictChanged();
}

void PicturePlus::setIfBoxSmallerThanPict(qint16 value) {
    m_model.properties().IfBoxSmallerThanPict = value;
    lay_out();
    emit IfBoxSmallerThanPictChanged();
}

void PicturePlus::setZoom(float zoom) {
    // A zoom of 0 or less would leave nothing to draw and divide the scroll ranges by 0.
    if (!(zoom > 0))
        return;
    m_model.properties().zoom = zoom;
    lay_out();
    emit zoomChanged();
}

void PicturePlus::setTransparent(bool transparent) {
    m_model.properties().Transparent = transparent;
    lay_out();
    emit TransparentChanged();
}

void PicturePlus::setFilePath(const QString& path) {
    m_model.properties().FilePath = from_qt(path);
    // Loaded before the layout, so that the scroll bars are those of the new picture.
    load_picture();
    lay_out();
    emit FilePathChanged();
}

void PicturePlus::WriteProperties(PropertyBag& bag) const {
    write_properties(m_model.properties(), bag);
}

void PicturePlus::ReadProperties(const PropertyBag& bag) {
    m_model.properties() = read_properties<PicturePlusProperties>(bag);
    load_picture();
    lay_out();
}

void PicturePlus::copy_picture_in(PictureBox& target) const {
    target.set_picture(m_tmp->picture());
    target.update();
}

QString PicturePlus::scrollbars_values() const {
    return QString::fromStdString(m_model.scrollbars_values());
}

QString PicturePlus::drawn_rectangle() const {
    return QString::fromStdString(m_model.drawn_rectangle());
}

QString PicturePlus::picture_dimensions() const {
    return QString::fromStdString(m_model.picture_dimensions());
}

void PicturePlus::set_picture(const PictureBox& source) {
    m_model.properties().FilePath = kLocalPicture;
    m_tmp->set_picture(source.picture());
    // The size is that of the picture given, so that what is drawn and reported fits it.
    m_model.set_picture_size(source.picture().width(), source.picture().height());
    lay_out();
    emit FilePathChanged();
}

void PicturePlus::TransparentBlt(QImage& target, int x, int y, const QImage& source,
                                 quint32 transparent_colour) {
    if (target.isNull() || source.isNull())
        return;
    if (target.format() != QImage::Format_ARGB32 &&
        target.format() != QImage::Format_ARGB32_Premultiplied &&
        target.format() != QImage::Format_RGB32)
        target = target.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage from = source.format() == QImage::Format_RGB32 ||
                                source.format() == QImage::Format_ARGB32_Premultiplied
                            ? source
                            : source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRect area = QRect(x, y, from.width(), from.height()).intersected(target.rect());
    if (area.isEmpty())
        return;
    const auto* first =
        reinterpret_cast<const uint32_t*>(from.constScanLine(area.top() - y)) + (area.left() - x);
    auto* to = reinterpret_cast<uint32_t*>(target.scanLine(area.top())) + area.left();
    orvix::TransparentBlt(first, size_t(from.bytesPerLine() / 4), to,
                          size_t(target.bytesPerLine() / 4), area.width(), area.height(),
                          transparent_colour);
}

bool PicturePlus::FileExists(const QString& path) {
    return orvix::FileExists(from_qt(path));
}

void PicturePlus::resizeEvent(QResizeEvent*) {
    lay_out();
}

void PicturePlus::load_picture() {
    const std::string& path = m_model.properties().FilePath;
    if (path == kLocalPicture)
        return;
    m_tmp->clear_picture();
    m_model.set_picture_size(0, 0);
    if (!orvix::FileExists(path))
        return;
    const ImageInfo header = ReadImageHeader(path);
    m_model.set_picture_size(header.Width, header.Height);
    // Opened by its bytes, which name the file whatever the encoding of its name.
    std::string file;
    if (read_regular_file(path, file, kMaxPictureFileBytes) != 0)
        return;
    drop_jpeg_metadata(file, true);
    QByteArray bytes = QByteArray::fromRawData(file.data(), qsizetype(file.size()));
    QBuffer buffer(&bytes);
    QImageReader::setAllocationLimit(
        std::max(QImageReader::allocationLimit(), kReaderLimitMegabytes));
    QImageReader reader(&buffer);
    // A JPEG as the camera was held, its EXIF orientation applied: the crop rectangle and
    // the commands act on it as the user sees it. The commands turn no other format by a
    // tag, so none is shown turned.
    const bool jpeg = file.size() > 2 && static_cast<uint8_t>(file[0]) == 0xFF &&
                      static_cast<uint8_t>(file[1]) == 0xD8;
    reader.setAutoTransform(jpeg);
    if (jpeg && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        m_model.set_picture_size(header.Height, header.Width);
    m_tmp->set_picture(reader.read());
}

void PicturePlus::lay_out() {
    const PicturePlusProperties& p = m_model.properties();
    m_bk->setFrameStyle(p.BorderStyle == 0 ? QFrame::NoFrame
                                           : QFrame::StyledPanel | QFrame::Sunken);
    m_bk->setGeometry(0, 0, width(), height());
    const QRect area = m_bk->contentsRect();
    const double tpp = twips_per_pixel(logicalDpiX());
    m_model.set_box(area.width(), area.height(),
                    to_pixels(border_allowance_twips(p.BorderStyle), tpp));
    const PicturePlusLayout layout = m_model.layout();

    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const bool h = layout.HScroll.visible, v = layout.VScroll.visible;
    auto set_bar = [](QScrollBar* scroll, const ScrollBarLayout& l, int value) {
        const QSignalBlocker block(scroll);
        scroll->setRange(0, l.max);
        scroll->setPageStep(l.large_change);
        scroll->setSingleStep(l.small_change);
        scroll->setValue(value);
        scroll->setVisible(l.visible);
        scroll->raise();
    };
    m_HScroll->setGeometry(area.left(), area.bottom() + 1 - bar, area.width() - (v ? bar : 0), bar);
    m_VScroll->setGeometry(area.right() + 1 - bar, area.top(), bar, area.height() - (h ? bar : 0));
    m_coin->setGeometry(area.right() + 1 - bar, area.bottom() + 1 - bar, bar, bar);
    set_bar(m_HScroll, layout.HScroll, m_model.horizontal_value());
    set_bar(m_VScroll, layout.VScroll, m_model.vertical_value());
    m_coin->setVisible(layout.coin_visible);
    m_coin->raise();
    redraw();
}

void PicturePlus::redraw() {
    m_paint = m_model.redraw();
    m_bk->setVisible(!m_model.properties().Transparent);
    m_bk->update();
    update();
}

qint32 PicturePlus::background_rgb() const {
    const qint32 colour = translate_colour(m_model.properties().ColorBackground, palette());
    return colour == -1 ? 0 : colour;
}

const QImage& PicturePlus::zoomed_picture(const QSize& size) {
    const QImage& picture = m_tmp->picture();
    if (picture.isNull() || size == picture.size())
        return picture;
    if (m_scaled_key != picture.cacheKey() || m_scaled.size() != size)
        m_scaled = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_scaled_key = picture.cacheKey();
    return m_scaled;
}

void PicturePlus::paint_box(QPainter& painter) {
    const QRect box(0, 0, m_bk->contentsRect().width(), m_bk->contentsRect().height());
    painter.fillRect(box, to_qcolor(background_rgb()));
    const QImage& picture = m_tmp->picture();
    if (!m_paint.picture || picture.isNull())
        return;
    const QRect drawn = to_qrect(m_paint.drawn);
    const QRect target = to_qrect(m_paint.target);
    const float zoom = m_model.properties().zoom;
    const QPoint offset(int(m_paint.source.left * zoom), int(m_paint.source.top * zoom));
    if (qint64(drawn.width()) * drawn.height() <= kCachedPixels) {
        const QImage& scaled = zoomed_picture(drawn.size());
        painter.drawImage(target.topLeft(), scaled, QRect(offset, target.size()));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(drawn.translated(target.topLeft() - offset)), picture);
}

void PicturePlus::paintEvent(QPaintEvent*) {
    if (!m_model.properties().Transparent)
        return;
    // The box stays hidden: what it would show is copied onto the container's surface
    // with the background colour left out.
    const QRect area = m_bk->contentsRect();
    QImage shown(area.size(), QImage::Format_RGB32);
    {
        QPainter box(&shown);
        paint_box(box);
    }
    QImage keyed(area.size(), QImage::Format_ARGB32_Premultiplied);
    keyed.fill(Qt::transparent);
    TransparentBlt(keyed, 0, 0, shown, quint32(background_rgb()));
    QPainter painter(this);
    painter.drawImage(area.topLeft(), keyed);
}

void PicturePlus::forward(QMouseEvent* event,
                          void (PicturePlus::*signal)(qint16, qint16, float, float)) {
    const bool move = event->type() == QEvent::MouseMove;
    const QPointF at = event->position() - QPointF(m_bk->contentsRect().topLeft());
    emit(this->*signal)(mouse_button_code(move ? event->buttons() : event->button()),
                        shift_code(event->modifiers()), float(at.x()), float(at.y()));
}

} // namespace orvix
