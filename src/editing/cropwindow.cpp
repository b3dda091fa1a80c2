#include "editing/cropwindow.h"

#include "controls/picture/getrect.h"
#include "controls/picture/getrect_model.h"
#include "controls/picture/picture_plus.h"
#include "editing/edit_commands.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QResizeEvent>

namespace orvix {

namespace {

constexpr quint32 kDarkGrey = 0x404040;
constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 600;

} // namespace

cropwindow::cropwindow(std::string& crop_result, const QString& title, QWidget* owner)
    : QDialog(owner), m_crop_result(crop_result) {
    setObjectName(QStringLiteral("cropwindow"));
    setWindowTitle(title);
    setModal(true);
    m_pplus = new PicturePlus(this);
    m_pplus->setObjectName(QStringLiteral("pplus"));
    m_pplus->setColorBackground(kDarkGrey);
    m_pplus->setIfBoxSmallerThanPict(1);
    m_gr = new getrect(this);
    m_gr->setObjectName(QStringLiteral("gr"));
    connect(m_pplus, &PicturePlus::DblClick, this, &cropwindow::pplus_DblClick);
    resize(kDesignWidth, kDesignHeight);
    Form_Load();
}

void cropwindow::Form_Load() {
    m_gr->setGeometry(0, 0, width(), height());
    m_gr->set_selrect_as_percents(0, 0, 100, 100);
}

void cropwindow::setpicture(const QString& path) {
    m_pplus->setFilePath(path);
    Form_Resize();
}

void cropwindow::resizeEvent(QResizeEvent*) {
    Form_Resize();
}

void cropwindow::Form_Resize() {
    // The selection follows the picture: kept as parts of it, not cut down to what a
    // smaller window once showed.
    const GetrectModel& before = m_gr->model();
    const Rect chosen = before.selection();
    const auto part = [](int32_t value, int32_t whole) {
        return whole > 0 ? float(double(value) / whole) : 0.0f;
    };
    const float l = part(chosen.left, before.inner_width());
    const float t = part(chosen.top, before.inner_height());
    const float r = part(chosen.right, before.inner_width());
    const float b = part(chosen.bottom, before.inner_height());

    m_pplus->setGeometry(0, 0, width(), height());
    // A hidden viewer would hear of its new size only once shown; it lays itself out now,
    // so that the rectangle it reports is that of this size.
    QResizeEvent resized(m_pplus->size(), m_pplus->size());
    QCoreApplication::sendEvent(m_pplus, &resized);
    const Rect& drawn = m_pplus->model().drawn();
    // The drawn rectangle is in the picture box's pixels, inside its border.
    const QPoint origin =
        m_pplus->findChild<QWidget*>(QStringLiteral("bk"))->contentsRect().topLeft();
    m_gr->setGeometry(
        QRect(origin + QPoint(drawn.left, drawn.top), QSize(drawn.width(), drawn.height())));
    m_gr->set_selrect_as_percents(l, t, r, b);
    m_gr->raise();
}

void cropwindow::pplus_DblClick() {
    m_crop_result = crop_result_text(
        crop_corners_of(m_gr->model().selection_fractions(), m_pplus->model().picture_size()));
    accept();
}

void cropwindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        pplus_DblClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace orvix
