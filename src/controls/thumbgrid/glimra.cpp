#include "controls/thumbgrid/glimra.h"

#include "controls/thumbgrid/cell_loader.h"
#include "platform/qt/mouse_codes.h"
#include "platform/qt/system_colours.h"
#include "platform/qt/text_codec.h"
#include "text/text.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <deque>
#include <new>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace orvix {

namespace {

constexpr int kTimer1Interval = 1000;
// The cache holds the cells read ahead and a screen more, so going back a page shows them
// at once; until the first layout tells how large a screen of cells is, this much.
constexpr qint64 kBudgetBeforeLayout = 16ll << 20;
// Loading the visible cells shows the busy animation only when it takes a moment, and
// the progress bar only when it takes long.
constexpr qint64 kAnimationAfterMs = 250;
constexpr qint64 kBarAfterMs = 5000;
constexpr int kAnimationTickMs = 250;
// Pictures arriving are shown at most this often, so painting never crowds out the rest.
constexpr int kFrameMs = 16;
// Titles kept drawn: several screens' worth. Beyond it those far from view go.
constexpr int kTitlesKept = 1024;
// Titles drawn ahead at each turn of the event loop.
constexpr int kTitlesPerTurn = 12;
// How far beyond the visible rows the neighbours are read ahead, in heights of the area.
constexpr int32_t kPagesAhead = 2;
constexpr int kScreensCached = 2 * kPagesAhead + 2;
constexpr uint32_t kColourApplicationWorkspace = system_colour_flag | 12;
constexpr const char* kMemoryLack = "Glimra Error while pasting image : Must be a memory lack";

std::function<void()>& present_hook() {
    static std::function<void()> hook;
    return hook;
}

// Paths and texts cross into Qt and back byte for byte: file names need not be UTF-8.
QString qtext(const std::string& text) {
    return to_qt(text);
}

std::string bytes(const QString& text) {
    return from_qt(text);
}

// One frame of the busy animation: a ring of dots, the bright one at `lit`.
QImage animation_frame(int lit) {
    QImage frame(32, 32, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.translate(16, 16);
    for (int i = 0; i < 8; ++i) {
        painter.setBrush(i % 2 == lit ? QColor(255, 255, 255, 230) : QColor(160, 160, 160, 140));
        painter.drawEllipse(QPointF(0, -11), 3.5, 3.5);
        painter.rotate(45);
    }
    return frame;
}

// Titles break at spaces; a word wider than the cell loses its middle, as a long path
// keeps its start and its file name.
QString fitted_title(const QString& text, const QFontMetrics& metrics, int width) {
    QString normalised = text;
    normalised.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = normalised.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        QStringList words = line.split(QLatin1Char(' '));
        for (QString& word : words)
            if (metrics.horizontalAdvance(word) > width)
                word = metrics.elidedText(word, Qt::ElideMiddle, width);
        line = words.join(QLatin1Char(' '));
    }
    return lines.join(QLatin1Char('\n'));
}

// The lines of a title: each line break (CR LF, CR or LF) starts one.
int title_lines(const std::string& title) {
    int lines = 1;
    for (size_t i = 0; i < title.size(); ++i) {
        if (title[i] == '\r' && i + 1 < title.size() && title[i + 1] == '\n')
            ++i;
        if (title[i] == '\r' || title[i] == '\n')
            ++lines;
    }
    return lines;
}

// The key codes the grid's model knows; 0 for the others.
int16_t key_code(int key) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kKeyReturn;
    case Qt::Key_Escape:
        return kKeyEscape;
    case Qt::Key_Space:
        return kKeySpace;
    case Qt::Key_PageUp:
        return kKeyPageUp;
    case Qt::Key_PageDown:
        return kKeyPageDown;
    case Qt::Key_End:
        return kKeyEnd;
    case Qt::Key_Home:
        return kKeyHome;
    case Qt::Key_Left:
        return kKeyLeft;
    case Qt::Key_Up:
        return kKeyUp;
    case Qt::Key_Right:
        return kKeyRight;
    case Qt::Key_Down:
        return kKeyDown;
    case Qt::Key_A:
        return kKeyA;
    default:
        return 0;
    }
}

void draw_frame(QPainter& painter, const QRect& rect, const QColor& colour, int width) {
    if (width <= 0)
        return;
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect.left(), rect.top(), rect.width(), rect.height()));
}

} // namespace

// The drawing area: paints the visible cells and hands its mouse and resize events over.
class GlimraSurface : public QWidget {
public:
    explicit GlimraSurface(Glimra& owner) : QWidget(&owner), m_owner(owner) {
        setObjectName(QStringLiteral("fond"));
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        m_owner.paint_fond(painter, event->rect());
    }
    void resizeEvent(QResizeEvent*) override { m_owner.fond_resized(); }
    void mousePressEvent(QMouseEvent* event) override {
        const QPointF at = twips(event);
        m_owner.m_model.fond_MouseDown(mouse_button_code(event->button()),
                                       shift_code(event->modifiers()), float(at.x()),
                                       float(at.y()));
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const QPointF at = twips(event);
        m_owner.m_model.fond_MouseMove(mouse_button_code(event->buttons()),
                                       shift_code(event->modifiers()), float(at.x()),
                                       float(at.y()));
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const QPointF at = twips(event);
        m_owner.m_model.fond_MouseUp(mouse_button_code(event->button()),
                                     shift_code(event->modifiers()), float(at.x()), float(at.y()));
    }
    // The second press of a double click is the double click alone, without a press.
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            m_owner.m_model.fond_DblClick();
    }
    // The menu opens on what was pointed at; the grid itself shows it.
    void contextMenuEvent(QContextMenuEvent* event) override {
        if (event->reason() == QContextMenuEvent::Mouse) {
            const QPointF at(event->pos().x() * m_owner.twips_per_pixel_x(),
                             event->pos().y() * m_owner.twips_per_pixel_y());
            m_owner.m_model.fond_ContextMenu(float(at.x()), float(at.y()));
        }
        event->ignore();
    }
    void wheelEvent(QWheelEvent* event) override {
        if (event->modifiers() & Qt::ControlModifier) {
            emit m_owner.zoom_wheel(event->angleDelta().y());
            return;
        }
        if (m_owner.m_VScroll->isVisible())
            QCoreApplication::sendEvent(m_owner.m_VScroll, event);
    }

private:
    QPointF twips(const QMouseEvent* event) const {
        return {event->position().x() * m_owner.twips_per_pixel_x(),
                event->position().y() * m_owner.twips_per_pixel_y()};
    }

    Glimra& m_owner;
};

// The model's requests, carried out on the widget.
class Glimra::Host : public GlimraHost {
public:
    explicit Host(Glimra& grid) : m_grid(grid) {}

    void MouseDown(int16_t b, int16_t s, float x, float y) override {
        emit m_grid.MouseDown(b, s, x, y);
    }
    void MouseUp(int16_t b, int16_t s, float x, float y) override {
        emit m_grid.MouseUp(b, s, x, y);
    }
    void MouseMove(int16_t b, int16_t s, float x, float y) override {
        emit m_grid.MouseMove(b, s, x, y);
    }
    void Reorder(int32_t& dragged, int32_t& target) override {
        emit m_grid.Reorder(dragged, target);
    }
    void DblClick(int32_t& clickedfile) override { emit m_grid.DblClick(clickedfile); }
    void GlimraDrawingStart() override {
        // Before the cells are placed: the band follows the captions as they now stand.
        m_grid.update_caption_band();
        emit m_grid.GlimraDrawingStart();
    }
    void GlimraDrawingEnd() override { emit m_grid.GlimraDrawingEnd(); }
    void GlimraLoadStart() override { emit m_grid.GlimraLoadStart(); }
    void GlimraLoadEnd() override {
        m_grid.m_titles.clear();
        // The first screen of a long list was decoded while the list was read: its
        // pictures are drawn by the redraw that follows, not a frame later.
        m_grid.m_loader->take_arrived();
        emit m_grid.GlimraLoadEnd();
    }
    void SelectionChange() override { emit m_grid.SelectionChange(); }

    void render(bool force) override {
        if (force)
            m_grid.m_loader->reload();
        ++m_grid.m_layouts;
        m_grid.m_pass_clock.restart();
        m_grid.m_fond->repaint();
    }
    void present() override { m_grid.m_fond->update(); }
    void draw_items(const std::vector<int32_t>& items) override {
        const int32_t offset = m_grid.m_model.scroll_offset();
        for (int32_t index : items)
            if (const ThumbItem* item = m_grid.m_model.item(index))
                m_grid.m_fond->update(m_grid.pixel_rect(item->BoundsGrid, offset));
    }
    void set_scroll_range(const ScrollRange& range) override {
        QScrollBar& bar = *m_grid.m_VScroll;
        if (!range.visible) {
            bar.hide();
            bar.setValue(range.value);
            return;
        }
        bar.setRange(0, range.maximum);
        bar.setPageStep(range.large_step);
        bar.setSingleStep(range.small_step);
        bar.setValue(range.value);
        bar.show();
        bar.raise();
    }
    void prepare_dragpic(int32_t index) override {
        const ThumbItem* item = m_grid.m_model.item(index);
        const QRect cell = m_grid.pixel_rect(item->BoundsGrid, 0);
        if (cell.isEmpty())
            return;
        QPixmap picture(cell.size());
        picture.fill(m_grid.colour(m_grid.ColorBackground()));
        QPainter painter(&picture);
        painter.translate(-cell.topLeft());
        m_grid.draw_item(painter, *item, index, 0);
        painter.end();
        m_grid.m_dragpic->setPixmap(picture);
        m_grid.m_dragpic->resize(cell.size());
    }
    void move_dragpic(int32_t left, int32_t top) override {
        QLabel& picture = *m_grid.m_dragpic;
        picture.move(m_grid.m_fond->pos() +
                     QPoint(orvix::to_pixels(left, m_grid.twips_per_pixel_x()),
                            orvix::to_pixels(top, m_grid.twips_per_pixel_y())));
        picture.show();
        picture.raise();
    }
    void hide_dragpic() override { m_grid.m_dragpic->hide(); }
    void set_tooltip(const std::string& text) override { m_grid.m_fond->setToolTip(qtext(text)); }
    void set_hand_pointer(bool hand) override {
        if (hand)
            m_grid.m_fond->setCursor(Qt::PointingHandCursor);
        else
            m_grid.m_fond->unsetCursor();
    }
    void set_busy(bool busy) override {
        m_grid.m_model_busy = busy;
        m_grid.update_pointer();
    }
    void show_status(bool visible, const std::string& text) override {
        QLabel& status = *m_grid.m_status;
        QPalette palette = status.palette();
        palette.setColor(QPalette::WindowText, m_grid.colour(m_grid.ColorText()));
        palette.setColor(QPalette::Window, m_grid.colour(m_grid.ColorBackground()));
        status.setPalette(palette);
        status.setText(qtext(text));
        m_grid.place_status();
        status.setVisible(visible);
        if (visible)
            status.raise();
    }
    void first_screen_read(const std::vector<ThumbItem>& items) override {
        m_grid.decode_first_screen(items);
    }
    void enable_timer() override {
        if (!m_grid.m_Timer1->isActive())
            m_grid.m_Timer1->start();
    }

private:
    Glimra& m_grid;
};

Glimra::Glimra(QWidget* parent)
    : QWidget(parent), m_host(std::make_unique<Host>(*this)), m_model(*m_host),
      // The visible cells on every core; one thread reads ahead, below them.
      m_loader(std::make_unique<CellLoader>(kBudgetBeforeLayout,
                                            std::clamp(QThread::idealThreadCount(), 1, 4), 1)) {
    // Clicks and Tab give the grid the keyboard; the scroll bar leaves it there.
    setFocusPolicy(Qt::StrongFocus);
    m_fond = new GlimraSurface(*this);
    m_VScroll = new QScrollBar(Qt::Vertical, this);
    m_VScroll->setObjectName(QStringLiteral("VScroll"));
    m_VScroll->setFocusPolicy(Qt::NoFocus);
    m_VScroll->hide();
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setAutoFillBackground(true);
    m_status->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_status->hide();
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("bar"));
    m_bar->setTextVisible(false);
    m_bar->hide();
    m_dragpic = new QLabel(this);
    m_dragpic->setObjectName(QStringLiteral("dragpic"));
    m_dragpic->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dragpic->hide();
    m_Timer1 = new QTimer(this);
    m_Timer1->setObjectName(QStringLiteral("Timer1"));
    m_Timer1->setInterval(kTimer1Interval);
    m_animation = new QTimer(this);
    m_animation->setInterval(kAnimationTickMs);
    m_frame = new QTimer(this);
    m_frame->setSingleShot(true);
    m_title_timer = new QTimer(this);
    m_title_timer->setInterval(0);
    m_anim1 = animation_frame(0);
    m_anim2 = animation_frame(1);

    connect(m_VScroll, &QScrollBar::valueChanged, this, [this](int value) {
        m_model.set_scroll_value(value);
        m_fond->update();
    });
    connect(m_Timer1, &QTimer::timeout, this, [this] { m_model.Timer1_Timer(); });
    connect(m_animation, &QTimer::timeout, this, [this] {
        m_fond->update(busy_rect());
        update_bar();
    });
    connect(m_frame, &QTimer::timeout, this, &Glimra::show_arrived);
    connect(m_title_timer, &QTimer::timeout, this, &Glimra::prepare_titles);
    connect(m_loader.get(), &CellLoader::cell_ready, this, &Glimra::cell_arrived);

    m_model.set_screen(twips_per_pixel_x(), twips_per_pixel_y());
    m_model.load_list();
}

Glimra::~Glimra() {
    m_Timer1->stop();
}

double Glimra::twips_per_pixel_x() const {
    return twips_per_pixel(logicalDpiX());
}

double Glimra::twips_per_pixel_y() const {
    return twips_per_pixel(logicalDpiY());
}

void Glimra::set_present_hook(std::function<void()> hook) {
    present_hook() = std::move(hook);
}

// --- Properties ----------------------------------------------------------------------------

template <class T>
void Glimra::set_and_redraw(T& member, const T& value, void (Glimra::*changed)()) {
    member = value;
    // The colours, font and background treatment are drawn into the kept titles.
    m_titles.clear();
    if (!LockScreen())
        m_model.Redraw(false);
    emit(this->*changed)();
}

QString Glimra::filelist() const {
    return qtext(m_model.filelist());
}

void Glimra::setFilelist(const QString& text) {
    m_given_list = bytes(text);
    m_model.set_filelist(ordered(m_given_list));
    if (isVisible() && !LockScreen())
        m_model.Redraw(false);
    emit filelistChanged();
}

void Glimra::setThumbnailsSize(qint16 size) {
    set_and_redraw(m_model.properties().ThumbnailsSize, size, &Glimra::ThumbnailsSizeChanged);
}
void Glimra::setColorBackground(quint32 colour) {
    set_and_redraw(m_model.properties().ColorBackground, colour, &Glimra::ColorBackgroundChanged);
}
void Glimra::setColorGrid(quint32 colour) {
    set_and_redraw(m_model.properties().ColorGrid, colour, &Glimra::ColorGridChanged);
}
void Glimra::setColorText(quint32 colour) {
    set_and_redraw(m_model.properties().ColorText, colour, &Glimra::ColorTextChanged);
}
void Glimra::setShowGrid(bool on) {
    set_and_redraw(m_model.properties().ShowGrid, on, &Glimra::ShowGridChanged);
}
void Glimra::setShowStatus(bool on) {
    set_and_redraw(m_model.properties().ShowStatus, on, &Glimra::ShowStatusChanged);
    m_model.UpdateStatus();
}
void Glimra::setShowTitle(bool on) {
    set_and_redraw(m_model.properties().ShowTitle, on, &Glimra::ShowTitleChanged);
}
void Glimra::setShowFrames(bool on) {
    set_and_redraw(m_model.properties().ShowFrames, on, &Glimra::ShowFramesChanged);
}
void Glimra::setBorderWidth(quint8 width) {
    set_and_redraw(m_model.properties().BorderWidth, width, &Glimra::BorderWidthChanged);
}
void Glimra::setGridEnabled(bool on) {
    set_and_redraw(m_model.properties().Enabled, on, &Glimra::EnabledChanged);
}
void Glimra::setShowTooltips(bool on) {
    set_and_redraw(m_model.properties().ShowTooltips, on, &Glimra::ShowTooltipsChanged);
}
void Glimra::setShowFolderIcon(bool on) {
    set_and_redraw(m_model.properties().ShowFolderIcon, on, &Glimra::ShowFolderIconChanged);
}
QString Glimra::StatusText() const {
    return qtext(m_model.properties().StatusText);
}
void Glimra::setStatusText(const QString& text) {
    set_and_redraw(m_model.properties().StatusText, bytes(text), &Glimra::StatusTextChanged);
}
void Glimra::setBorderStyle(qint16 style) {
    set_and_redraw(m_model.properties().BorderStyle, style, &Glimra::BorderStyleChanged);
}
QString Glimra::TitleText() const {
    return qtext(m_model.properties().TitleText);
}
void Glimra::setTitleText(const QString& text) {
    set_and_redraw(m_model.properties().TitleText, bytes(text), &Glimra::TitleTextChanged);
}
void Glimra::setSelectionMode(qint16 mode) {
    set_and_redraw(m_model.properties().SelectionMode, mode, &Glimra::SelectionModeChanged);
}
void Glimra::setColorSelection(quint32 colour) {
    set_and_redraw(m_model.properties().ColorSelection, colour, &Glimra::ColorSelectionChanged);
}
void Glimra::setSelectionDrawStyle(qint16 style) {
    set_and_redraw(m_model.properties().SelectionDrawStyle, style,
                   &Glimra::SelectionDrawStyleChanged);
}
void Glimra::setMargin(qint16 margin) {
    set_and_redraw(m_model.properties().Margin, margin, &Glimra::MarginChanged);
}
QFont Glimra::Font() const {
    return m_font_set ? m_font : font();
}
void Glimra::setGridFont(const QFont& font) {
    m_font = font;
    m_font_set = true;
    set_and_redraw(m_model.properties().Font, font.toString().toStdString(), &Glimra::FontChanged);
}
QString Glimra::SelectedItems() const {
    return QString::fromStdString(m_model.SelectedItems());
}
void Glimra::setSelectedItems(const QString& text) {
    m_model.set_SelectedItems(text.toStdString());
    emit SelectedItemsChanged();
}
void Glimra::setLockScreen(bool on) {
    m_model.properties().LockScreen = on;
    emit LockScreenChanged();
}
void Glimra::setAllowReorder(bool on) {
    m_model.properties().AllowReorder = on;
    emit AllowReorderChanged();
}
void Glimra::setDitherTextBackground(qint16 mode) {
    set_and_redraw(m_model.properties().DitherTextBackground, mode,
                   &Glimra::DitherTextBackgroundChanged);
}

// --- Methods and per-item properties ----------------------------------------------------------

void Glimra::refresh() {
    m_model.Redraw(true);
}

qint32 Glimra::get_xy_pict(float x, float y) const {
    return m_model.get_xy_pict(x, y);
}

void Glimra::update_element(qint32) {}

QString Glimra::File_Path(qint32 index) const {
    return qtext(m_model.File_Path(index));
}
qint32 Glimra::File_Size(qint32 index) const {
    return m_model.File_Size(index);
}
qint32 Glimra::File_Type(qint32 index) const {
    return m_model.File_Type(index);
}
qint32 Glimra::File_Width(qint32 index) const {
    return m_model.File_Width(index);
}
qint32 Glimra::File_Height(qint32 index) const {
    return m_model.File_Height(index);
}
QString Glimra::File_Bounds(qint32 index) const {
    return QString::fromStdString(m_model.File_Bounds(index));
}
QString Glimra::File_BoundsGrid(qint32 index) const {
    return QString::fromStdString(m_model.File_BoundsGrid(index));
}
QString Glimra::File_Tooltip(qint32 index) const {
    return qtext(m_model.File_Tooltip(index));
}
void Glimra::setFile_Tooltip(qint32 index, const QString& text) {
    if (m_model.set_File_Tooltip(index, bytes(text)))
        emit File_TooltipChanged(index);
}
QString Glimra::File_Titlestring(qint32 index) const {
    return qtext(m_model.File_Titlestring(index));
}
void Glimra::setFile_Titlestring(qint32 index, const QString& text) {
    if (m_model.set_File_Titlestring(index, bytes(text)))
        emit File_TitlestringChanged(index);
}
QString Glimra::File_Tag(qint32 index) const {
    return qtext(m_model.File_Tag(index));
}
void Glimra::setFile_Tag(qint32 index, const QString& text) {
    if (m_model.set_File_Tag(index, bytes(text)))
        emit File_TagChanged(index);
}

void Glimra::WriteProperties(PropertyBag& bag) const {
    m_model.WriteProperties(bag);
}

void Glimra::ReadProperties(const PropertyBag& bag) {
    m_model.ReadProperties(bag);
    m_given_list = m_model.properties().filelist;
    const std::string& font = m_model.properties().Font;
    m_font_set = !font.empty() && m_font.fromString(QString::fromStdString(font));
    m_titles.clear();
    m_fond->update();
}

// --- Zoom and order ---------------------------------------------------------------------------

void Glimra::set_zoomed(bool on) {
    if (on == m_zoomed)
        return;
    m_zoomed = on;
    m_model.set_enlarge_pictures(on);
    m_titles.clear();
    if (!LockScreen())
        m_model.Redraw(false);
}

void Glimra::set_larger_source(LargerSource source) {
    m_loader->set_larger_source(std::move(source));
    // The cells ask again with the new source.
    m_requested_offset = -1;
    m_fond->update();
}

void Glimra::set_sort_facts(std::function<SortFacts(const std::string&)> facts) {
    m_sort_facts = std::move(facts);
}

std::string Glimra::ordered(const std::string& list) const {
    if (m_order == GridOrder::Transfer || !m_sort_facts || list.empty())
        return list;
    const std::string separator(1, CR);
    return join(sorted_files(split(list, separator), m_order, m_sort_facts), separator);
}

void Glimra::set_order(GridOrder order) {
    if (order == m_order)
        return;
    m_order = order;
    if (!m_model.loaded())
        return;
    // The items come back in the new order with what the host gave each of them.
    struct Kept {
        std::string Titlestring, Tooltip, Tag;
        bool Selected = false;
    };
    std::unordered_map<std::string, std::deque<Kept>> kept;
    for (int32_t index = 1; index <= m_model.count(); ++index) {
        const ThumbItem& item = *m_model.item(index);
        kept[item.Path].push_back({item.Titlestring, item.Tooltip, item.Tag, item.Selected});
    }
    m_model.set_filelist(ordered(m_given_list));
    std::vector<int32_t> selected;
    for (int32_t index = 1; index <= m_model.count(); ++index) {
        const auto found = kept.find(m_model.item(index)->Path);
        if (found == kept.end() || found->second.empty())
            continue;
        const Kept& was = found->second.front();
        m_model.set_File_Titlestring(index, was.Titlestring);
        m_model.set_File_Tooltip(index, was.Tooltip);
        m_model.set_File_Tag(index, was.Tag);
        if (was.Selected)
            selected.push_back(index);
        found->second.pop_front();
    }
    m_titles.clear();
    if (!selected.empty())
        m_model.select_items(selected);
    if (isVisible() && !LockScreen())
        m_model.Redraw(false);
    emit filelistChanged();
    emit SelectedItemsChanged();
}

void Glimra::update_caption_band() {
    int32_t band = 0;
    if (m_zoomed && ShowTitle() && m_model.count() > 0) {
        int lines = 1;
        for (int32_t index = 1; index <= m_model.count(); ++index) {
            int32_t item = index;
            const std::string title = m_model.ExpandTemplate(m_model.properties().TitleText, item);
            lines = std::max(lines, title_lines(title));
        }
        // One pixel more for the shadow the title is drawn with.
        const int pixels = lines * QFontMetrics(Font()).lineSpacing() + 1;
        band = orvix::to_twips(pixels, twips_per_pixel_y());
    }
    m_model.set_caption_band(band);
}

QSize Glimra::device_size(const QSize& size) const {
    const qreal ratio = m_fond->devicePixelRatioF();
    return {qRound(size.width() * ratio), qRound(size.height() * ratio)};
}

// --- The keyboard and the context menu ----------------------------------------------------

void Glimra::keyPressEvent(QKeyEvent* event) {
    const int16_t code = key_code(event->key());
    if (code != 0 && m_model.key_down(code, shift_code(event->modifiers())))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void Glimra::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update_current_cell();
}

void Glimra::focusOutEvent(QFocusEvent* event) {
    // Disabled with the keyboard: the focus moves on before the change is told.
    if (!isEnabled())
        m_focus_when_enabled = true;
    QWidget::focusOutEvent(event);
    update_current_cell();
}

void Glimra::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled() && m_focus_when_enabled) {
            // Where the keyboard went meanwhile: none of the user's doing.
            m_focus_stand_in = window()->focusWidget();
        } else if (isEnabled() && std::exchange(m_focus_when_enabled, false)) {
            QWidget* focus = window()->focusWidget();
            if (!focus || focus == m_focus_stand_in || !focus->isEnabled())
                setFocus(Qt::OtherFocusReason);
        }
    }
    QWidget::changeEvent(event);
}

void Glimra::update_current_cell() {
    if (const ThumbItem* item = m_model.item(m_model.current()))
        m_fond->update(pixel_rect(item->BoundsGrid, m_model.scroll_offset()));
}

void Glimra::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_context_menu)
        return QWidget::contextMenuEvent(event);
    QPoint at = event->pos();
    // From the keyboard the menu opens on the current item, or the grid's corner.
    if (event->reason() != QContextMenuEvent::Mouse) {
        const ThumbItem* item = m_model.item(m_model.current());
        at = item ? m_fond->mapTo(this, pixel_rect(item->Bounds, m_model.scroll_offset()).center())
                  : QPoint(0, 0);
    }
    m_context_menu->popup(mapToGlobal(at));
    event->accept();
}

void Glimra::draw_focus(QPainter& painter, int32_t index, const QRect& cell) {
    if (index != m_model.current() || !hasFocus())
        return;
    // Dashed and inside the cell, so it reads apart from every selection style and the grid.
    QPen pen(colour(ColorText()), 1, Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cell.adjusted(2, 2, -3, -3));
}

// --- Geometry --------------------------------------------------------------------------------

void Glimra::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place_children();
}

void Glimra::place_children() {
    const double tx = twips_per_pixel_x(), ty = twips_per_pixel_y();
    const int width = orvix::to_pixels(to_twips(this->width(), tx) - 2, tx);
    const int height = orvix::to_pixels(to_twips(this->height(), ty) - 2, ty);
    m_fond->setGeometry(0, 0, std::max(width, 0), std::max(height, 0));
    const int bar_width = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_VScroll);
    m_VScroll->setGeometry(m_fond->width() - bar_width, orvix::to_pixels(-10, ty), bar_width,
                           m_fond->height() + orvix::to_pixels(10, ty));
    m_VScroll->hide();
    const int bar_height = m_bar->sizeHint().height();
    m_bar->setGeometry(0, m_fond->height() - bar_height, m_fond->width(), bar_height);
    place_status();
}

void Glimra::place_status() {
    const double tx = twips_per_pixel_x(), ty = twips_per_pixel_y();
    const int left = orvix::to_pixels(100, tx);
    int width = m_fond->width() - left;
    if (width < orvix::to_pixels(10, tx))
        width = m_status->width();
    const int height = m_status->fontMetrics().height() + orvix::to_pixels(200, ty);
    const int bottom = m_fond->height() - orvix::to_pixels(200, ty);
    m_status->setGeometry(left, bottom - height, width, height);
}

QRect Glimra::pixel_rect(const Rect& twips, int32_t offset) const {
    const double tx = twips_per_pixel_x(), ty = twips_per_pixel_y();
    const int left = orvix::to_pixels(twips.left, tx);
    const int top = orvix::to_pixels(double(twips.top) - offset, ty);
    const int right = orvix::to_pixels(twips.right, tx);
    const int bottom = orvix::to_pixels(double(twips.bottom) - offset, ty);
    return {QPoint(left, top), QPoint(right - 1, bottom - 1)};
}

QColor Glimra::colour(quint32 value) const {
    const qint32 rgb = translate_colour(value, palette());
    // A colour that names nothing draws nothing.
    return rgb == -1 ? QColor(Qt::transparent) : to_qcolor(rgb);
}

void Glimra::update_pointer() {
    const bool loading = m_pass_clock.isValid() && m_loader->missing_among_first(m_pass_cells) > 0;
    if (m_model_busy || loading)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

// --- Drawing ---------------------------------------------------------------------------------

void Glimra::fond_resized() {
    m_model.set_screen(twips_per_pixel_x(), twips_per_pixel_y());
    m_model.fond_Resize(to_twips(m_fond->width(), twips_per_pixel_x()),
                        to_twips(m_fond->height(), twips_per_pixel_y()));
}

void Glimra::schedule_redraw() {
    if (m_redraw_scheduled || LockScreen())
        return;
    m_redraw_scheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_redraw_scheduled = false;
            if (!LockScreen() && !m_model.resize_pending() &&
                (!m_model.loaded() || m_model.needs_layout()))
                m_model.Redraw(false);
        },
        Qt::QueuedConnection);
}

void Glimra::cell_arrived(const QByteArray& path) {
    update_bar();
    const auto cell = m_visible_cells.find(path.toStdString());
    if (cell == m_visible_cells.end())
        return;
    m_arrived += cell->second;
    const qint64 since = m_last_paint.isValid() ? m_last_paint.elapsed() : kFrameMs;
    if (since >= kFrameMs)
        show_arrived();
    else if (!m_frame->isActive())
        m_frame->start(int(kFrameMs - since));
}

void Glimra::show_arrived() {
    // The busy animation goes with the last of the visible pictures.
    if (m_loader->missing_among_first(m_pass_cells) == 0)
        m_arrived += busy_rect();
    m_fond->update(m_arrived);
    m_arrived = QRegion();
}

QRect Glimra::busy_rect() const {
    return QRect(m_fond->rect().center() - QPoint(m_anim1.width() / 2, m_anim1.height() / 2),
                 m_anim1.size());
}

void Glimra::paint_fond(QPainter& painter, const QRect& dirty) {
    m_last_paint.restart();
    try {
        if (present_hook())
            present_hook()();
        painter.fillRect(dirty, colour(ColorBackground()));
        if (!m_model.loaded() || m_model.needs_layout()) {
            // Laid out by a redraw of its own, never from inside a paint.
            schedule_redraw();
        } else {
            const int32_t offset = m_model.scroll_offset();
            // Asked for before drawing, so the missing pictures are decoded meanwhile. A move
            // to a screen of another density asks for the pictures at its pixels.
            if (offset != m_requested_offset || m_model.area_height() != m_requested_height ||
                m_layouts != m_requested_layout || m_fond->devicePixelRatioF() != m_requested_ratio)
                request_cells(offset);
            for (int32_t index : m_model.items_between(offset, offset + m_model.area_height())) {
                const ThumbItem& item = *m_model.item(index);
                if (pixel_rect(item.BoundsGrid, offset).intersects(dirty))
                    draw_item(painter, item, index, offset);
            }
            draw_busy(painter);
        }
        if (BorderStyle() == 1)
            draw_frame(painter, m_fond->rect(), palette().color(QPalette::Dark), 1);
    } catch (const std::bad_alloc&) {
        painter.setFont(QFont(QStringLiteral("Arial"), 12));
        painter.setPen(Qt::white);
        painter.drawText(QRect(QPoint(50, 50), QPoint(300, 200)), Qt::TextWordWrap,
                         QString::fromLatin1(kMemoryLack));
    }
}

void Glimra::request_cells(int32_t offset) {
    const int32_t height = m_model.area_height();
    // Read ahead in the direction the user scrolls first.
    const bool upwards = m_requested_offset >= 0 && offset < m_requested_offset;
    m_requested_offset = offset;
    m_requested_height = height;
    m_requested_layout = m_layouts;
    const qreal ratio = m_fond->devicePixelRatioF();
    m_requested_ratio = ratio;
    update_budget();
    const std::vector<int32_t> visible = m_model.items_between(offset, offset + height);
    std::vector<int32_t> near =
        m_model.items_between(offset - kPagesAhead * height, offset + (kPagesAhead + 1) * height);
    // How far a cell lies from view: in pages, each page the way the user goes before the
    // one behind, then in twips. Zero for the visible cells.
    const auto distance = [this, offset, height, upwards](int32_t index) {
        const Rect& cell = m_model.item(index)->BoundsGrid;
        const int32_t below = cell.top - (offset + height), above = offset - cell.bottom;
        const int32_t away = std::max({0, below, above});
        const int32_t pages = away == 0 ? 0 : 1 + (away - 1) / std::max(height, 1);
        return std::tuple{pages, upwards ? below > 0 : above > 0, away};
    };
    std::stable_sort(near.begin(), near.end(),
                     [&](int32_t a, int32_t b) { return distance(a) < distance(b); });
    std::vector<CellRequest> wanted;
    wanted.reserve(near.size());
    const auto want = [&](int32_t index, bool ahead) {
        if (std::optional<CellRequest> cell = cell_request(*m_model.item(index), ratio)) {
            cell->ahead = ahead;
            wanted.push_back(std::move(*cell));
        }
    };
    m_visible_cells.clear();
    for (int32_t index : visible) {
        want(index, false);
        const ThumbItem& item = *m_model.item(index);
        QRect& cell = m_visible_cells[item.ThumbPath];
        cell = cell.united(pixel_rect(item.BoundsGrid, offset));
    }
    m_pass_cells = static_cast<int>(wanted.size());
    for (int32_t index : near)
        if (std::get<0>(distance(index)) > 0)
            want(index, true);
    m_loader->request(wanted);

    if (!ShowTitle() || near.empty())
        return;
    const auto [lowest, highest] = std::minmax_element(near.begin(), near.end());
    if (m_titles.size() > kTitlesKept)
        m_titles.removeIf([low = *lowest, high = *highest](const auto& title) {
            return title.key() < low || title.key() > high;
        });
    // Nearest last: they are taken from the back.
    m_titles_ahead.assign(near.rbegin(), near.rend());
    std::erase_if(m_titles_ahead, [this](int32_t index) { return m_titles.contains(index); });
    if (!m_titles_ahead.empty())
        m_title_timer->start();
}

void Glimra::draw_item(QPainter& painter, const ThumbItem& item, int32_t index, int32_t offset) {
    const QRect cell = pixel_rect(item.BoundsGrid, offset);
    const QRect picture = pixel_rect(item.Bounds, offset);
    const QColor background = colour(ColorBackground());
    const QColor selection = colour(ColorSelection());
    switch (item.Selected ? SelectionDrawStyle() : 0) {
    case 1: {
        draw_picture(painter, item, picture);
        QColor overlay = selection;
        overlay.setAlpha(overlay.alpha() * 2 / 5);
        painter.fillRect(picture, overlay);
        draw_frame(painter, picture, selection, BorderWidth());
        break;
    }
    case 2:
        painter.fillRect(cell, selection);
        draw_picture(painter, item, picture);
        break;
    case 3:
        draw_picture(painter, item, picture);
        draw_frame(painter, picture, selection, BorderWidth());
        break;
    default:
        painter.fillRect(cell, background);
        draw_picture(painter, item, picture);
        break;
    }
    if (ShowFrames())
        draw_frame(painter, picture, Qt::white, BorderWidth());
    if (ShowTitle() && m_model.caption_band() > 0)
        draw_title_below(
            painter, index,
            pixel_rect(caption_rect(item.BoundsGrid, Margin(), m_model.caption_band()), offset));
    else if (ShowTitle())
        draw_title(painter, index, cell);
    if (ShowGrid())
        draw_frame(painter, cell.adjusted(0, 0, -1, -1), colour(ColorGrid()), 1);
    if (ShowFolderIcon() && item.Path.ends_with('/') && cell.width() >= 30) {
        const QRect icon(cell.center() - QPoint(16, 16), QSize(32, 32));
        style()->standardIcon(QStyle::SP_DirIcon).paint(&painter, icon);
    }
    draw_focus(painter, index, cell);
}

std::optional<CellRequest> Glimra::cell_request(const ThumbItem& item, qreal ratio) const {
    const QSize size = device_rect(pixel_rect(item.Bounds, 0), ratio).size();
    if (item.Type == kTypeUnknown || size.isEmpty())
        return std::nullopt;
    const bool larger = size.width() > orvix::to_pixels(item.ThumbWidth, twips_per_pixel_x()) ||
                        size.height() > orvix::to_pixels(item.ThumbHeight, twips_per_pixel_y());
    return CellRequest{item.ThumbPath, size, larger, false, ratio};
}

void Glimra::decode_first_screen(const std::vector<ThumbItem>& items) {
    if (LockScreen() || !isVisible())
        return;
    const qreal ratio = m_fond->devicePixelRatioF();
    std::vector<CellRequest> wanted;
    for (const ThumbItem& item : items)
        if (item.BoundsGrid.top <= m_model.area_height())
            if (std::optional<CellRequest> cell = cell_request(item, ratio))
                wanted.push_back(std::move(*cell));
    m_loader->request(wanted);
}

void Glimra::update_budget() {
    const int32_t cells = m_model.cells_per_screen();
    if (cells <= 0)
        return;
    const int cell = orvix::to_pixels(m_model.layout().s, twips_per_pixel_x());
    m_loader->set_budget(cache_budget(cells, device_size(QSize(cell, cell)), kScreensCached));
}

void Glimra::draw_picture(QPainter& painter, const ThumbItem& item, const QRect& picture) {
    if (picture.isEmpty() || item.Type == kTypeUnknown)
        return;
    const qreal ratio = m_fond->devicePixelRatioF();
    const QRect device = device_rect(picture, ratio);
    const CellLoader::Found found = m_loader->find(item.ThumbPath, device.size());
    if (!found.image) {
        // Not decoded yet: a plain box of the picture's shape.
        QColor placeholder = colour(ColorBackground());
        const QColor text = colour(ColorText());
        placeholder.setRgb((placeholder.red() * 5 + text.red()) / 6,
                           (placeholder.green() * 5 + text.green()) / 6,
                           (placeholder.blue() * 5 + text.blue()) / 6);
        painter.fillRect(picture, placeholder);
    } else if (found.image->size() == device.size() && found.image->devicePixelRatio() == ratio) {
        // Made for these pixels: copied one to one.
        painter.drawImage(QPointF(device.left() / ratio, device.top() / ratio), *found.image);
    } else if (!found.image->isNull()) {
        // Made for another zoom or density, until its new picture comes: stretched without
        // smoothing, which costs no more than a copy.
        painter.drawImage(picture, *found.image);
    }
}

const QImage& Glimra::title_image(int32_t index, int width) {
    int32_t item = index;
    const QString text = qtext(m_model.ExpandTemplate(m_model.properties().TitleText, item));
    Title& title = m_titles[index];
    if (title.text == text && title.width == width && !title.image.isNull())
        return title.image;
    const QFont font = Font();
    const QFontMetrics metrics(font);
    const QString lines = fitted_title(text, metrics, width);
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    const int height = metrics.boundingRect(QRect(0, 0, width, INT_MAX / 2), flags, lines).height();
    title.text = text;
    title.width = width;
    title.image = QImage(width + 1, height + 1, QImage::Format_ARGB32_Premultiplied);
    title.image.fill(Qt::transparent);
    QPainter painter(&title.image);
    painter.setFont(font);
    const int dither = DitherTextBackground();
    if (dither == 1 || dither == 3) {
        painter.setPen(colour(ColorBackground()));
        painter.drawText(QRect(0, 0, width, height), flags, lines);
    }
    painter.setPen(colour(ColorText()));
    painter.drawText(QRect(1, 1, width, height), flags, lines);
    return title.image;
}

void Glimra::draw_title(QPainter& painter, int32_t index, const QRect& cell) {
    const QImage& image = title_image(index, cell.width());
    // The title sits on the cell's bottom, its shadow one pixel up and left.
    const QRect band(cell.left(), cell.bottom() + 2 - image.height(), cell.width(),
                     image.height() - 1);
    treat_title_band(painter, band);
    painter.drawImage(band.topLeft() - QPoint(1, 1), image);
}

void Glimra::draw_title_below(QPainter& painter, int32_t index, const QRect& band) {
    if (band.isEmpty())
        return;
    const QImage& image = title_image(index, band.width());
    // From the band's top, under the picture; what does not fit the band is cut off.
    painter.save();
    painter.setClipRect(band);
    treat_title_band(painter, band);
    painter.drawImage(band.topLeft(), image);
    painter.restore();
}

void Glimra::treat_title_band(QPainter& painter, const QRect& band) {
    const int dither = DitherTextBackground();
    if (dither == 1) {
        // Darkens what lies under the title: the picture AND the workspace colour.
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        painter.fillRect(band, colour(kColourApplicationWorkspace));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else if (dither == 2) {
        painter.fillRect(band, colour(ColorBackground()));
    }
}

void Glimra::prepare_titles() {
    // The visible pictures come first: the titles ahead wait for them.
    if (m_loader->missing_among_first(m_pass_cells) > 0) {
        m_title_timer->start(kFrameMs);
        return;
    }
    m_title_timer->setInterval(0);
    for (int done = 0; done < kTitlesPerTurn && !m_titles_ahead.empty(); ++done) {
        const int32_t index = m_titles_ahead.back();
        m_titles_ahead.pop_back();
        if (const ThumbItem* item = m_model.item(index))
            title_image(index, pixel_rect(item->BoundsGrid, 0).width());
    }
    if (m_titles_ahead.empty())
        m_title_timer->stop();
}

void Glimra::draw_busy(QPainter& painter) {
    const bool loading = m_loader->missing_among_first(m_pass_cells) > 0;
    if (!loading) {
        m_animation->stop();
        update_pointer();
        return;
    }
    if (!m_animation->isActive())
        m_animation->start();
    update_pointer();
    const qint64 elapsed = m_pass_clock.isValid() ? m_pass_clock.elapsed() : 0;
    if (elapsed < kAnimationAfterMs)
        return;
    const QImage& frame = (elapsed / 1000) % 2 == 0 ? m_anim1 : m_anim2;
    painter.drawImage(busy_rect().topLeft(), frame);
}

void Glimra::update_bar() {
    // Counting the missing pictures at each arrival would cost the window a pass over the
    // visible cells a picture: only once the bar may show.
    const bool late = m_pass_clock.isValid() && m_pass_clock.elapsed() > kBarAfterMs;
    const int missing = late ? m_loader->missing_among_first(m_pass_cells) : 0;
    const bool show = missing > 0;
    if (show) {
        m_bar->setMaximum(m_pass_cells);
        m_bar->setValue(m_pass_cells - missing);
        m_bar->raise();
    }
    m_bar->setVisible(show);
}

} // namespace orvix
