// The thumbnail grid control: a list of picture files shown as a grid of thumbnails with
// titles, selection, reordering by dragging, tooltips, a status strip and a vertical
// scroll bar. Its rules live in GlimraModel; this widget paints the visible cells from
// pictures decoded off the user-interface thread and forwards its events to the model.
#pragma once

#include "controls/thumbgrid/cell_loader.h"
#include "controls/thumbgrid/glimra_model.h"
#include "controls/thumbgrid/grid_sort.h"

#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

class QLabel;
class QMenu;
class QPainter;
class QProgressBar;
class QScrollBar;
class QTimer;

namespace orvix {

class GlimraSurface;

class Glimra : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString filelist READ filelist WRITE setFilelist NOTIFY filelistChanged)
    Q_PROPERTY(qint16 ThumbnailsSize READ ThumbnailsSize WRITE setThumbnailsSize NOTIFY
                   ThumbnailsSizeChanged)
    Q_PROPERTY(quint32 ColorBackground READ ColorBackground WRITE setColorBackground NOTIFY
                   ColorBackgroundChanged)
    Q_PROPERTY(quint32 ColorGrid READ ColorGrid WRITE setColorGrid NOTIFY ColorGridChanged)
    Q_PROPERTY(quint32 ColorText READ ColorText WRITE setColorText NOTIFY ColorTextChanged)
    Q_PROPERTY(bool ShowGrid READ ShowGrid WRITE setShowGrid NOTIFY ShowGridChanged)
    Q_PROPERTY(bool ShowStatus READ ShowStatus WRITE setShowStatus NOTIFY ShowStatusChanged)
    Q_PROPERTY(bool ShowTitle READ ShowTitle WRITE setShowTitle NOTIFY ShowTitleChanged)
    Q_PROPERTY(bool ShowFrames READ ShowFrames WRITE setShowFrames NOTIFY ShowFramesChanged)
    Q_PROPERTY(quint8 BorderWidth READ BorderWidth WRITE setBorderWidth NOTIFY BorderWidthChanged)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setGridEnabled NOTIFY EnabledChanged)
    Q_PROPERTY(bool ShowTooltips READ ShowTooltips WRITE setShowTooltips NOTIFY ShowTooltipsChanged)
    Q_PROPERTY(bool ShowFolderIcon READ ShowFolderIcon WRITE setShowFolderIcon NOTIFY
                   ShowFolderIconChanged)
    Q_PROPERTY(QString StatusText READ StatusText WRITE setStatusText NOTIFY StatusTextChanged)
    Q_PROPERTY(qint16 BorderStyle READ BorderStyle WRITE setBorderStyle NOTIFY BorderStyleChanged)
    Q_PROPERTY(QString TitleText READ TitleText WRITE setTitleText NOTIFY TitleTextChanged)
    Q_PROPERTY(
        qint16 SelectionMode READ SelectionMode WRITE setSelectionMode NOTIFY SelectionModeChanged)
    Q_PROPERTY(quint32 ColorSelection READ ColorSelection WRITE setColorSelection NOTIFY
                   ColorSelectionChanged)
    Q_PROPERTY(qint16 SelectionDrawStyle READ SelectionDrawStyle WRITE setSelectionDrawStyle NOTIFY
                   SelectionDrawStyleChanged)
    Q_PROPERTY(qint16 Margin READ Margin WRITE setMargin NOTIFY MarginChanged)
    Q_PROPERTY(QFont Font READ Font WRITE setGridFont NOTIFY FontChanged)
    Q_PROPERTY(
        QString SelectedItems READ SelectedItems WRITE setSelectedItems NOTIFY SelectedItemsChanged)
    Q_PROPERTY(bool LockScreen READ LockScreen WRITE setLockScreen NOTIFY LockScreenChanged)
    Q_PROPERTY(bool AllowReorder READ AllowReorder WRITE setAllowReorder NOTIFY AllowReorderChanged)
    Q_PROPERTY(qint16 DitherTextBackground READ DitherTextBackground WRITE setDitherTextBackground
                   NOTIFY DitherTextBackgroundChanged)

public:
    explicit Glimra(QWidget* parent = nullptr);
    ~Glimra() override;

    QString filelist() const;
    void setFilelist(const QString& text);
    qint16 ThumbnailsSize() const { return m_model.properties().ThumbnailsSize; }
    void setThumbnailsSize(qint16 size);
    quint32 ColorBackground() const { return m_model.properties().ColorBackground; }
    void setColorBackground(quint32 colour);
    quint32 ColorGrid() const { return m_model.properties().ColorGrid; }
    void setColorGrid(quint32 colour);
    quint32 ColorText() const { return m_model.properties().ColorText; }
    void setColorText(quint32 colour);
    bool ShowGrid() const { return m_model.properties().ShowGrid; }
    void setShowGrid(bool on);
    bool ShowStatus() const { return m_model.properties().ShowStatus; }
    void setShowStatus(bool on);
    bool ShowTitle() const { return m_model.properties().ShowTitle; }
    void setShowTitle(bool on);
    bool ShowFrames() const { return m_model.properties().ShowFrames; }
    void setShowFrames(bool on);
    quint8 BorderWidth() const { return m_model.properties().BorderWidth; }
    void setBorderWidth(quint8 width);
    // The grid's own Enabled: when False clicks select nothing, yet every event still comes.
    bool Enabled() const { return m_model.properties().Enabled; }
    void setGridEnabled(bool on);
    bool ShowTooltips() const { return m_model.properties().ShowTooltips; }
    void setShowTooltips(bool on);
    bool ShowFolderIcon() const { return m_model.properties().ShowFolderIcon; }
    void setShowFolderIcon(bool on);
    QString StatusText() const;
    void setStatusText(const QString& text);
    qint16 BorderStyle() const { return m_model.properties().BorderStyle; }
    void setBorderStyle(qint16 style);
    QString TitleText() const;
    void setTitleText(const QString& text);
    qint16 SelectionMode() const { return m_model.properties().SelectionMode; }
    void setSelectionMode(qint16 mode);
    quint32 ColorSelection() const { return m_model.properties().ColorSelection; }
    void setColorSelection(quint32 colour);
    qint16 SelectionDrawStyle() const { return m_model.properties().SelectionDrawStyle; }
    void setSelectionDrawStyle(qint16 style);
    qint16 Margin() const { return m_model.properties().Margin; }
    void setMargin(qint16 margin);
    // The container's font until one is set.
    QFont Font() const;
    void setGridFont(const QFont& font);
    QString SelectedItems() const;
    void setSelectedItems(const QString& text);
    bool LockScreen() const { return m_model.properties().LockScreen; }
    void setLockScreen(bool on);
    bool AllowReorder() const { return m_model.properties().AllowReorder; }
    void setAllowReorder(bool on);
    qint16 DitherTextBackground() const { return m_model.properties().DitherTextBackground; }
    void setDitherTextBackground(qint16 mode);

    // Redraws now, placing every cell again and reading every picture again, whatever
    // LockScreen says.
    Q_INVOKABLE void refresh();
    // The item whose picture holds the point (twips on the drawing area), 0 for none.
    Q_INVOKABLE qint32 get_xy_pict(float x, float y) const;
    Q_INVOKABLE void update_element(qint32 index);

    // Per-item properties: "" and -1 outside 1 to the item count or before a load; writes
    // there do nothing.
    Q_INVOKABLE QString File_Path(qint32 index) const;
    Q_INVOKABLE qint32 File_Size(qint32 index) const;
    Q_INVOKABLE qint32 File_Type(qint32 index) const;
    Q_INVOKABLE qint32 File_Width(qint32 index) const;
    Q_INVOKABLE qint32 File_Height(qint32 index) const;
    Q_INVOKABLE QString File_Bounds(qint32 index) const;
    Q_INVOKABLE QString File_BoundsGrid(qint32 index) const;
    Q_INVOKABLE QString File_Tooltip(qint32 index) const;
    Q_INVOKABLE void setFile_Tooltip(qint32 index, const QString& text);
    Q_INVOKABLE QString File_Titlestring(qint32 index) const;
    Q_INVOKABLE void setFile_Titlestring(qint32 index, const QString& text);
    Q_INVOKABLE QString File_Tag(qint32 index) const;
    Q_INVOKABLE void setFile_Tag(qint32 index, const QString& text);

    // The container's property store.
    void WriteProperties(PropertyBag& bag) const;
    void ReadProperties(const PropertyBag& bag);

    const GlimraModel& model() const { return m_model; }
    const CellLoader& loader() const { return *m_loader; }
    // Twips per pixel of the screen the grid is on.
    double twips_per_pixel_x() const;
    double twips_per_pixel_y() const;

    // Cells zoomed above the host's own size: each picture fills its cell (drawn from a
    // larger source when there is one) and its caption goes in a band below it instead of
    // over its lower part, a band as high as the tallest caption's lines.
    void set_zoomed(bool on);
    bool zoomed() const { return m_zoomed; }
    // Where the cells find a larger image of their picture, for cells that show more pixels
    // than the file holds (a zoom, a screen of more than one pixel per point).
    void set_larger_source(LargerSource source);
    // The order of the items: the list as the host gives it, or sorted by what facts tells
    // of each file's picture. A change of order keeps each item's texts and selection.
    void set_order(GridOrder order);
    GridOrder order() const { return m_order; }
    void set_sort_facts(std::function<SortFacts(const std::string& file)> facts);
    // The menu a right click or the menu key opens over the grid, after the pointed picture
    // became the selection unless it was in it; null for none. Not owned.
    void set_context_menu(QMenu* menu) { m_context_menu = menu; }

    // Test hook: runs at the start of every presentation; a hook that throws
    // std::bad_alloc stands for memory running out. An empty function removes it.
    static void set_present_hook(std::function<void()> hook);

signals:
    // The control's events, in their fixed order.
    void MouseDown(qint16 Button, qint16 Shift, float x, float y);
    void MouseUp(qint16 Button, qint16 Shift, float x, float y);
    void MouseMove(qint16 Button, qint16 Shift, float x, float y);
    void Reorder(qint32& dragged, qint32& target);
    void DblClick(qint32& clickedfile);
    void GlimraDrawingStart();
    void GlimraDrawingEnd();
    void GlimraLoadStart();
    void GlimraLoadEnd();
    // The user changed the selection, by the mouse or the keyboard.
    void SelectionChange();

    // The wheel turned with Ctrl held, by angle_delta eighths of a degree (positive away
    // from the user): the container zooms.
    void zoom_wheel(int angle_delta);

    // Change notifications.
    void filelistChanged();
    void ThumbnailsSizeChanged();
    void ColorBackgroundChanged();
    void ColorGridChanged();
    void ColorTextChanged();
    void ShowGridChanged();
    void ShowStatusChanged();
    void ShowTitleChanged();
    void ShowFramesChanged();
    void BorderWidthChanged();
    void EnabledChanged();
    void ShowTooltipsChanged();
    void ShowFolderIconChanged();
    void StatusTextChanged();
    void BorderStyleChanged();
    void TitleTextChanged();
    void SelectionModeChanged();
    void ColorSelectionChanged();
    void SelectionDrawStyleChanged();
    void MarginChanged();
    void FontChanged();
    void SelectedItemsChanged();
    void LockScreenChanged();
    void AllowReorderChanged();
    void DitherTextBackgroundChanged();
    void File_TooltipChanged(qint32 index);
    void File_TitlestringChanged(qint32 index);
    void File_TagChanged(qint32 index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class Host;
    friend class GlimraSurface;

    template <class T> void set_and_redraw(T& member, const T& value, void (Glimra::*changed)());
    void place_children();
    void place_status();
    void update_pointer();

    // From the drawing area.
    void paint_fond(QPainter& painter, const QRect& dirty);
    void fond_resized();
    void schedule_redraw();
    void request_cells(int32_t offset);
    // The cache holds a few screens of cells at their size now.
    void update_budget();
    // What the loader is asked for the item's picture; none for an item without one.
    std::optional<CellRequest> cell_request(const ThumbItem& item, qreal ratio) const;
    // The pictures of a long list's first screen, decoded while the rest of it is read.
    void decode_first_screen(const std::vector<ThumbItem>& items);
    void draw_item(QPainter& painter, const ThumbItem& item, int32_t index, int32_t offset);
    void draw_picture(QPainter& painter, const ThumbItem& item, const QRect& picture);
    // The keyboard's item, framed while the grid has the focus.
    void draw_focus(QPainter& painter, int32_t index, const QRect& cell);
    void update_current_cell();
    void draw_title(QPainter& painter, int32_t index, const QRect& cell);
    void draw_title_below(QPainter& painter, int32_t index, const QRect& band);
    void treat_title_band(QPainter& painter, const QRect& band);
    void update_caption_band();
    // Device pixels of a rectangle of that size on the drawing area.
    QSize device_size(const QSize& size) const;
    std::string ordered(const std::string& list) const;
    const QImage& title_image(int32_t index, int width);
    void prepare_titles();
    void draw_busy(QPainter& painter);
    void update_bar();
    void cell_arrived(const QByteArray& path);
    void show_arrived();
    QRect busy_rect() const;
    QColor colour(quint32 value) const;
    QRect pixel_rect(const Rect& twips, int32_t offset) const;

    std::unique_ptr<Host> m_host;
    GlimraModel m_model;
    std::unique_ptr<CellLoader> m_loader;
    GlimraSurface* m_fond = nullptr;
    QScrollBar* m_VScroll = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_dragpic = nullptr;
    QTimer* m_Timer1 = nullptr;
    QTimer* m_animation = nullptr;
    QTimer* m_frame = nullptr; // paces the repaints while pictures arrive
    QImage m_anim1, m_anim2;
    QFont m_font;
    bool m_font_set = false;
    bool m_zoomed = false;
    GridOrder m_order = GridOrder::Transfer;
    std::function<SortFacts(const std::string&)> m_sort_facts;
    std::string m_given_list; // the list as the host gave it, before any sorting
    bool m_model_busy = false;
    bool m_redraw_scheduled = false;
    QElapsedTimer m_pass_clock;
    QElapsedTimer m_last_paint;
    int m_pass_cells = 0; // cells wanted by the current pass, for the progress bar
    // What the cells were last asked for: a new layout or scroll position asks again.
    uint64_t m_layouts = 0;
    uint64_t m_requested_layout = 0;
    int32_t m_requested_offset = -1;
    int32_t m_requested_height = -1;
    qreal m_requested_ratio = 0;
    // The visible cells of each picture asked for, so an arriving picture repaints only
    // where it shows (and nothing when it is a neighbour out of view).
    std::unordered_map<std::string, QRect> m_visible_cells;
    QRegion m_arrived;
    // Titles drawn once, shadow and all, for as long as their text and cell width stay the
    // same; a change of font, colours or background treatment draws them again.
    struct Title {
        QString text;
        int width = 0;
        QImage image; // one pixel larger left and up, where the shadow goes
    };
    QHash<int32_t, Title> m_titles;
    // Titles of the cells near the visible ones, drawn ahead a few at a time.
    std::vector<int32_t> m_titles_ahead;
    QTimer* m_title_timer = nullptr;
    QMenu* m_context_menu = nullptr;
    // The grid had the keyboard when its container disabled it (a long command on its
    // pictures): it takes the keyboard back when enabled again.
    bool m_focus_when_enabled = false;
    QPointer<QWidget> m_focus_stand_in;
};

} // namespace orvix
