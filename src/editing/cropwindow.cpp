#include "editing/cropwindow.h"

#include "controls/picture/getrect.h"
#include "controls/picture/getrect_model.h"
#include "controls/picture/picture_plus.h"
#include "editing/edit_commands.h"
#include "platform/qt/widget_helpers.h"
#include "text/text.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace orvix {

namespace {

using widgets::named;
using widgets::plain_label;
using widgets::qt;

constexpr quint32 kDarkGrey = 0x404040;
constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 600;

// The shapes offered, in the list's order: free, the picture's own, then fixed ones, each
// but the square in landscape and in portrait.
enum class ShapeKind { Free, Picture, Fixed };
struct ShapeEntry {
    ShapeKind kind;
    bool portrait;
    int32_t width;
    int32_t height;
};
constexpr ShapeEntry kShapes[] = {
    {ShapeKind::Free, false, 0, 0},   {ShapeKind::Picture, false, 0, 0},
    {ShapeKind::Picture, true, 0, 0}, {ShapeKind::Fixed, false, 1, 1},
    {ShapeKind::Fixed, false, 4, 3},  {ShapeKind::Fixed, true, 4, 3},
    {ShapeKind::Fixed, false, 3, 2},  {ShapeKind::Fixed, true, 3, 2},
    {ShapeKind::Fixed, false, 16, 9}, {ShapeKind::Fixed, true, 16, 9},
};

AspectRatio shape_of(const ShapeEntry& entry, Size picture) {
    int32_t longer = entry.width, shorter = entry.height;
    if (entry.kind == ShapeKind::Free)
        return {};
    if (entry.kind == ShapeKind::Picture) {
        longer = std::max(picture.width, picture.height);
        shorter = std::min(picture.width, picture.height);
    }
    return entry.portrait ? AspectRatio{shorter, longer} : AspectRatio{longer, shorter};
}

std::string shape_text(const ShapeEntry& entry, const LanguageTable& language) {
    if (entry.kind == ShapeKind::Free)
        return language.translate("crop_free");
    const int32_t across = entry.portrait ? entry.height : entry.width;
    const int32_t down = entry.portrait ? entry.width : entry.height;
    const std::string name = entry.kind == ShapeKind::Picture
                                 ? language.translate("crop_as_picture")
                                 : std::to_string(across) + ":" + std::to_string(down);
    if (across == down && entry.kind == ShapeKind::Fixed)
        return name;
    return Remplacer("#1", name,
                     language.translate(entry.portrait ? "crop_portrait" : "crop_landscape"));
}

} // namespace

cropwindow::cropwindow(std::string& crop_result, const LanguageTable& language, QWidget* owner)
    : QDialog(owner), m_crop_result(crop_result) {
    setObjectName(QStringLiteral("cropwindow"));
    setWindowTitle(qt(language.translate("tb_crop")));
    setModal(true);
    m_pplus = new PicturePlus(this);
    m_pplus->setObjectName(QStringLiteral("pplus"));
    m_pplus->setColorBackground(kDarkGrey);
    m_pplus->setIfBoxSmallerThanPict(1);
    m_gr = new getrect(this);
    m_gr->setObjectName(QStringLiteral("gr"));
    make_bar(language);
    connect(m_pplus, &PicturePlus::DblClick, this, &cropwindow::pplus_DblClick);
    // The rectangle takes the clicks inside it; a double click there accepts all the same.
    connect(m_gr, &getrect::DblClick, this, &cropwindow::pplus_DblClick);
    connect(m_gr, &getrect::SelectionChanged, this, &cropwindow::show_size);
    resize(kDesignWidth, kDesignHeight);
    Form_Load();
}

void cropwindow::make_bar(const LanguageTable& language) {
    m_bar = named(new QWidget(this), "cropbar");
    auto* rows = new QVBoxLayout(m_bar);
    QLabel* hint = plain_label(m_bar, "crophint");
    hint->setText(qt(language.translate("crop_hint")));
    hint->setWordWrap(true);
    rows->addWidget(hint);

    auto* row = new QHBoxLayout;
    QLabel* shapes_label = plain_label(m_bar, "cropratiolabel");
    shapes_label->setText(qt(language.translate("crop_ratio")));
    m_shapes = named(new QComboBox(m_bar), "cropratio");
    for (const ShapeEntry& entry : kShapes)
        m_shapes->addItem(qt(shape_text(entry, language)));
    shapes_label->setBuddy(m_shapes);
    connect(m_shapes, &QComboBox::currentIndexChanged, this, &cropwindow::apply_shape);
    m_size = plain_label(m_bar, "cropsize");
    m_size_text = language.translate("crop_size");

    auto* buttons =
        named(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, m_bar),
              "cropbuttons");
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cropok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cropcancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &cropwindow::pplus_DblClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    row->addWidget(shapes_label);
    row->addWidget(m_shapes);
    row->addSpacing(12);
    row->addWidget(m_size);
    row->addStretch(1);
    row->addWidget(buttons);
    rows->addLayout(row);
    setMinimumSize(m_bar->minimumSizeHint().width(), m_bar->sizeHint().height() * 3);
}

void cropwindow::Form_Load() {
    m_gr->setGeometry(0, 0, width(), height());
    m_gr->set_selrect_as_percents(0, 0, 100, 100);
}

void cropwindow::setpicture(const QString& path) {
    m_pplus->setFilePath(path);
    Form_Resize();
    // The picture's own shape is this picture's.
    apply_shape();
}

void cropwindow::resizeEvent(QResizeEvent*) {
    Form_Resize();
}

void cropwindow::Form_Resize() {
    // The selection follows the picture: the same pixels of it once it has been shown,
    // else the same parts of the rectangle; never cut down to what a smaller window showed.
    const GetrectModel& before = m_gr->model();
    const Size picture = m_pplus->model().picture_size();
    const bool shown_before = picture.width > 0 && picture.height > 0 &&
                              before.picture_size() == picture && before.inner_width() > 0 &&
                              before.inner_height() > 0;
    const Rect pixels = before.picture_selection();
    const Rect chosen = before.selection();
    const auto part = [](int32_t value, int32_t whole) {
        return whole > 0 ? float(double(value) / whole) : 0.0f;
    };
    const float l = part(chosen.left, before.inner_width());
    const float t = part(chosen.top, before.inner_height());
    const float r = part(chosen.right, before.inner_width());
    const float b = part(chosen.bottom, before.inner_height());

    const int bar_height =
        m_bar->hasHeightForWidth() ? m_bar->heightForWidth(width()) : m_bar->sizeHint().height();
    m_bar->setGeometry(0, height() - bar_height, width(), bar_height);
    m_pplus->setGeometry(0, 0, width(), std::max(0, height() - bar_height));
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
    m_gr->set_picture_size(picture);
    if (shown_before)
        m_gr->set_picture_selection(pixels);
    else
        m_gr->set_selrect_as_percents(l, t, r, b);
    m_gr->raise();
    show_size();
}

void cropwindow::apply_shape() {
    const int index = std::clamp(m_shapes->currentIndex(), 0, int(std::size(kShapes)) - 1);
    m_gr->set_ratio(shape_of(kShapes[index], m_pplus->model().picture_size()));
}

void cropwindow::show_size() {
    const Size picture = m_pplus->model().picture_size();
    if (picture.width <= 0 || picture.height <= 0 || m_gr->model().picture_size() != picture) {
        m_size->clear();
        return;
    }
    const Rect pixels = m_gr->model().picture_selection();
    m_size->setText(qt(Remplacer("#2", std::to_string(pixels.height()),
                                 Remplacer("#1", std::to_string(pixels.width()), m_size_text))));
}

void cropwindow::showEvent(QShowEvent* event) {
    if (!m_opened) {
        m_opened = true;
        open_on_screen();
        m_gr->setFocus();
    }
    QDialog::showEvent(event);
}

void cropwindow::open_on_screen() {
    const QScreen* on = screen();
    if (!on)
        return;
    // The decorations the desktop puts around this window once it is mapped; until the
    // desktop says, those of the window it belongs to.
    QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (frame.isNull() && parentWidget()) {
        const QWidget* owner = parentWidget()->window();
        const QRect outer = owner->frameGeometry(), inner = owner->geometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom());
    }
    setGeometry(on->availableGeometry().marginsRemoved(frame));
    Form_Resize();
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
