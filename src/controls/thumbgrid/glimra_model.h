// The thumbnail grid without its widget: the items of the file list, the layout, hit
// testing, selection, dragging to reorder, caption templates and the properties. The
// widget forwards its mouse, resize and timer events here and implements GlimraHost:
// it raises the events and shows what the model asks for.
#pragma once

#include "controls/common/image_header.h"
#include "controls/thumbgrid/glimra_properties.h"
#include "controls/thumbgrid/grid_layout.h"
#include "geometry/geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvix {

struct ListEntry;

struct ThumbItem {
    std::string Path;
    int32_t Size = 0;
    int32_t Type = kTypeUnknown;
    int32_t Width = 0;
    int32_t Height = 0;
    bool Selected = false;
    Rect BoundsGrid; // the cell on the canvas, twips
    Rect Bounds;     // the picture inside the cell, twips
    std::string Titlestring;
    std::string ThumbPath;   // the companion thumbnail when there is one, else Path
    int32_t ThumbWidth = 0;  // twips
    int32_t ThumbHeight = 0; // twips
    std::string Tooltip;
    std::string Tag;
};

// What the model asks of the widget that shows it.
class GlimraHost {
public:
    virtual ~GlimraHost() = default;

    // The nine events, declared in their fixed order.
    virtual void MouseDown(int16_t Button, int16_t Shift, float x, float y) = 0;
    virtual void MouseUp(int16_t Button, int16_t Shift, float x, float y) = 0;
    virtual void MouseMove(int16_t Button, int16_t Shift, float x, float y) = 0;
    virtual void Reorder(int32_t& dragged, int32_t& target) = 0;
    virtual void DblClick(int32_t& clickedfile) = 0;
    virtual void GlimraDrawingStart() = 0;
    virtual void GlimraDrawingEnd() = 0;
    virtual void GlimraLoadStart() = 0;
    virtual void GlimraLoadEnd() = 0;
    // Raised after the user changed the selection, by the mouse or the keyboard.
    virtual void SelectionChange() = 0;

    // Draws the visible cells now, from the layout just made; force asks for every
    // picture to be read again.
    virtual void render(bool force) = 0;
    // Shows the grid as it stands (after a selection change or a redraw).
    virtual void present() = 0;
    // The cells of these items changed (their selection).
    virtual void draw_items(const std::vector<int32_t>& items) = 0;
    virtual void set_scroll_range(const ScrollRange& range) = 0;
    virtual void prepare_dragpic(int32_t item) = 0;
    // Shows the dragged picture with its top-left corner at (left, top), twips on the
    // drawing area.
    virtual void move_dragpic(int32_t left, int32_t top) = 0;
    virtual void hide_dragpic() = 0;
    virtual void set_tooltip(const std::string& text) = 0;
    // The hand pointer over a picture, else the default one.
    virtual void set_hand_pointer(bool hand) = 0;
    // The hourglass over the control while a redraw runs.
    virtual void set_busy(bool busy) = 0;
    virtual void show_status(bool visible, const std::string& text) = 0;
    // A resize defers the redraw to the next tick of the one-second timer.
    virtual void enable_timer() = 0;
    // A long list's first screen, read and placed (BoundsGrid, Bounds) before the rest of
    // the list is read: its pictures may be decoded meanwhile. The cells are laid out again
    // once the list is whole; these places hold unless the rest changes the layout.
    virtual void first_screen_read(const std::vector<ThumbItem>& items) { (void)items; }
};

// Item numbers as the SelectedItems property gives them: joined by ",", "" for none.
std::string selected_items_text(const std::vector<int32_t>& items);

// Mouse buttons and modifier bits as the events carry them.
inline constexpr int16_t kLeftButton = 1;
inline constexpr int16_t kRightButton = 2;
inline constexpr int16_t kShiftMask = 1;
inline constexpr int16_t kCtrlMask = 2;

// Key codes as the grid's key events carry them.
inline constexpr int16_t kKeyReturn = 13;
inline constexpr int16_t kKeyEscape = 27;
inline constexpr int16_t kKeySpace = 32;
inline constexpr int16_t kKeyPageUp = 33;
inline constexpr int16_t kKeyPageDown = 34;
inline constexpr int16_t kKeyEnd = 35;
inline constexpr int16_t kKeyHome = 36;
inline constexpr int16_t kKeyLeft = 37;
inline constexpr int16_t kKeyUp = 38;
inline constexpr int16_t kKeyRight = 39;
inline constexpr int16_t kKeyDown = 40;
inline constexpr int16_t kKeyA = 65;

class GlimraModel {
public:
    explicit GlimraModel(GlimraHost& host);
    ~GlimraModel();
    GlimraModel(const GlimraModel&) = delete;
    GlimraModel& operator=(const GlimraModel&) = delete;

    GlimraProperties& properties() { return m_props; }
    const GlimraProperties& properties() const { return m_props; }

    // The screen's twips per pixel; a list load takes them as its measure.
    void set_screen(double twips_per_pixel_x, double twips_per_pixel_y);
    // The drawing area, twips.
    void set_area(int32_t width, int32_t height);
    int32_t area_width() const { return m_width; }
    int32_t area_height() const { return m_height; }
    // The scroll bar's value, pixels.
    void set_scroll_value(int32_t pixels) { m_scroll_value = pixels; }
    // The vertical scroll position in twips (0 below one pixel).
    int32_t scroll_offset() const;

    // --- The list --------------------------------------------------------------------
    // Stores the list and loads it.
    void set_filelist(std::string text);
    // The accepted paths joined by carriage returns; "" before a load.
    std::string filelist() const;
    // Turns the stored list into items (raising GlimraLoadStart and GlimraLoadEnd).
    void load_list();
    bool loaded() const { return m_loaded; }
    // The paths whose files the last load read; it took the others, unchanged since the
    // load before, as that one read them.
    int32_t files_read() const { return m_files_read; }
    int32_t count() const { return static_cast<int32_t>(m_items.size()); }
    // Item index from 1; nullptr outside the range.
    const ThumbItem* item(int32_t index) const;

    // --- Per-item properties ("" and -1 outside the range or before a load) ------------
    std::string File_Path(int32_t index) const;
    int32_t File_Size(int32_t index) const;
    int32_t File_Type(int32_t index) const;
    int32_t File_Width(int32_t index) const;
    int32_t File_Height(int32_t index) const;
    std::string File_Bounds(int32_t index) const;
    std::string File_BoundsGrid(int32_t index) const;
    std::string File_Tooltip(int32_t index) const;
    std::string File_Titlestring(int32_t index) const;
    std::string File_Tag(int32_t index) const;
    // False when nothing was written (outside the range).
    bool set_File_Tooltip(int32_t index, const std::string& text);
    bool set_File_Titlestring(int32_t index, const std::string& text);
    bool set_File_Tag(int32_t index, const std::string& text);

    // --- Drawing ----------------------------------------------------------------------
    // Lays the items out and has the visible cells drawn, between GlimraDrawingStart and
    // GlimraDrawingEnd. Cells are placed again when their layout changed, after a load,
    // or with force.
    void Redraw(bool force);
    bool drawing() const { return m_drawing; }
    // True from a list load until a redraw has laid the items out.
    bool needs_layout() const { return m_needs_layout; }
    const GridLayout& layout() const { return m_layout; }
    int32_t canvas_width() const { return m_canvas_width; }
    int32_t canvas_height() const { return m_canvas_height; }
    // A resize of the drawing area: the redraw waits for the timer.
    void fond_Resize(int32_t width, int32_t height);
    void Timer1_Timer();
    // Twips kept at the bottom of each picture area for its caption (0: the caption lies
    // over the picture), and whether pictures smaller than their area grow to fill it; a
    // change places the cells again at the next redraw.
    void set_caption_band(int32_t twips) { m_caption_band = twips; }
    int32_t caption_band() const { return m_caption_band; }
    void set_enlarge_pictures(bool on) { m_enlarge_pictures = on; }
    bool resize_pending() const { return m_resize_pending; }

    // The items whose cells meet the rows from top to bottom (twips on the canvas), in
    // order.
    std::vector<int32_t> items_between(int32_t top, int32_t bottom) const;

    // --- Hit testing, selection and the mouse -----------------------------------------
    // The item whose picture contains (x, y), twips on the drawing area; edges count.
    // 0 when none.
    int32_t get_xy_pict(float x, float y) const;
    // The selected item numbers, ascending.
    std::vector<int32_t> selected_items() const;
    void select_items(const std::vector<int32_t>& items);
    // The selection as the SelectedItems property reads and writes it: item numbers joined
    // by ","; "" when nothing is selected.
    std::string SelectedItems() const;
    void set_SelectedItems(std::string_view text);

    void fond_MouseDown(int16_t Button, int16_t Shift, float x, float y);
    void fond_MouseMove(int16_t Button, int16_t Shift, float x, float y);
    void fond_MouseUp(int16_t Button, int16_t Shift, float x, float y);
    void fond_DblClick();
    // A context menu asked for at (x, y): a picture outside the selection becomes the
    // selection, so the menu acts on what was pointed at.
    void fond_ContextMenu(float x, float y);
    void UpdateStatus();

    // --- The keyboard ---------------------------------------------------------------------
    // A key pressed while the grid has the focus; false when the grid has no use for it.
    // Arrows, Home, End and the page keys move the current item and select it alone; with
    // Shift they select from the anchor to it, with Ctrl they only move. Space toggles the
    // current item, Ctrl+A selects every item, Escape clears, Return raises DblClick.
    bool key_down(int16_t KeyCode, int16_t Shift);
    // The item the keyboard acts on (0 for none): the last one clicked or moved to.
    int32_t current() const { return m_current; }
    // Where a Shift range starts: the last item clicked or moved to without Shift.
    int32_t anchor() const { return m_anchor; }
    // Items a row holds, and rows the area shows, as the cells lie now.
    int32_t columns() const;
    int32_t rows_per_page() const;
    // The cells the area shows at most at any scroll position, those cut at its top and
    // bottom included; 0 before a layout.
    int32_t cells_per_screen() const;

    int32_t hoverItem() const { return m_hoverItem; }
    int32_t clickedItem() const { return m_clickedItem; }
    int32_t dragItem() const { return m_dragItem; }

    // --- Captions ----------------------------------------------------------------------
    // The template with its keywords replaced for the item; index 0 stands for the item
    // under the pointer and is set to it. No item (-1, or 0 with nothing under the
    // pointer) gives the sample values.
    std::string ExpandTemplate(const std::string& text, int32_t& index) const;

    // --- The container's property store ------------------------------------------------
    void WriteProperties(PropertyBag& bag) const;
    // Applies the stored values (defaults for the missing ones); the list is loaded by
    // the next redraw, not here.
    void ReadProperties(const PropertyBag& bag);

private:
    ThumbItem* item_at(int32_t index);
    // A field of a loaded item, or `missing` outside the range.
    template <class T> T field(int32_t index, T ThumbItem::*member, T missing) const {
        const ThumbItem* it = m_loaded ? item(index) : nullptr;
        return it ? it->*member : missing;
    }
    // False, and nothing written, outside the range.
    bool set_field(int32_t index, std::string ThumbItem::*member, const std::string& text) {
        ThumbItem* it = m_loaded ? item_at(index) : nullptr;
        if (it)
            it->*member = text;
        return it != nullptr;
    }
    void place_cells();
    // How many items of a list of `count` the area shows at the top, for cells of fixed
    // size; 0 when the cells are fitted to the area, or the list is shown scrolled.
    size_t first_screen_items(size_t count) const;
    // Places the items read so far as a list of `count` would place them and hands them to
    // the host.
    void show_first_screen(size_t count);
    // The scroll bar for the layout just made, at the position kept across a resize.
    ScrollRange scroll_range_kept();
    // The item of the first row in view, taken before a resize changes the rows.
    void keep_first_row();
    bool toggle(int32_t index, std::vector<int32_t>& changed);
    void clear_selection(std::vector<int32_t>& changed);
    void select_on_click(int32_t hit, int16_t Shift, std::vector<int32_t>& changed);
    void show_selection_change(const std::vector<int32_t>& changed);
    // The item a movement key leads to from the current one; 0 for a key that moves nothing.
    int32_t key_target(int16_t KeyCode) const;
    void move_current(int32_t target, bool shift, bool ctrl, std::vector<int32_t>& changed);
    void set_anchor(int32_t index);
    // Redraws the cells that changed and the current item's old and new cell, brings the
    // current item into view, and tells the container when the selection changed.
    // Adds the old and the new current item's cells to those to redraw, once each.
    void add_current_cells(std::vector<int32_t>& cells, int32_t old_current) const;
    void show_key_result(const std::vector<int32_t>& changed, int32_t old_current);
    void scroll_into_view(int32_t index);

    GlimraHost& m_host;
    GlimraProperties m_props;
    std::vector<ThumbItem> m_items;
    // What the last load read of each file of its list, with the file as it stood then, so
    // that a list loaded again (after an edit of a few of its pictures) reads only the files
    // that changed.
    struct KnownFiles;
    std::unique_ptr<KnownFiles> m_known;
    int32_t m_files_read = 0;
    bool m_loaded = false;
    double m_screen_x = 15.0, m_screen_y = 15.0;
    double m_twipsPerPixelX = 15.0, m_twipsPerPixelY = 15.0;
    int32_t m_width = 0, m_height = 0;
    int32_t m_scroll_value = 0;

    GridLayout m_layout;
    int32_t m_canvas_width = -1, m_canvas_height = -1;
    // What the cells were last placed for, so a change of any of it places them again.
    struct PlacedFor {
        int16_t ThumbnailsSize = 0;
        int16_t Margin = 0;
        int32_t width = 0;
        int32_t count = 0;
        int32_t caption_band = 0;
        bool enlarge = false;
        bool operator==(const PlacedFor&) const = default;
    } m_placed_for;
    int32_t m_caption_band = 0;
    bool m_enlarge_pictures = false;
    bool m_needs_layout = true;
    // Cells placed in item order lie row after row, which lets a search find the visible ones.
    bool m_cells_in_order = false;
    bool m_drawing = false;
    bool m_resize_pending = false;
    bool m_abort_draw = false;
    // The first row in view when a burst of resizes began: one of its items, and how far
    // the area's top lay below that item's cell (negative in the margin above it).
    struct FirstRow {
        int32_t item = 0;
        int32_t below_top = 0;
    };
    std::optional<FirstRow> m_first_row;

    int32_t m_hoverItem = 0;
    int32_t m_lastHoverItem = 0;
    int32_t m_clickedItem = 0;
    int32_t m_dragItem = 0;
    Rect m_dragStartCell;
    int32_t m_grabX = 0, m_grabY = 0;
    int32_t m_current = 0;
    int32_t m_anchor = 0;
    // The selection as it stood when the anchor was set: a Shift range adds to it, so
    // going back towards the anchor gives up what the range took, not what was there.
    std::vector<bool> m_base;
    std::string m_status_caption;
    bool m_status_visible = false;
};

} // namespace orvix
