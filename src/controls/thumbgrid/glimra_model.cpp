#include "controls/thumbgrid/glimra_model.h"

#include "fs/file_io.h"
#include "fs/fs.h"
#include "text/text.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace orvix {

namespace {

constexpr std::string_view kCompanionPrefix = "m_";

// Companion thumbnails are named "m_" + the picture's name; these two are pictures.
bool is_companion_name(const std::string& name) {
    return name.starts_with(kCompanionPrefix) && name != "m_ref.jpg" && name != "m_ref2.jpg";
}

// A folder entry (a path ending with the separator) stands when the folder holds a file.
bool folder_holds_file(const std::string& folder) {
    std::vector<std::string> files;
    list_files(folder, files, "", false, "", 1);
    return !files.empty();
}

// The folders of a list: the companion thumbnails of each from one reading of it, so a list
// of thousands of pictures does not look for thousands of missing files one by one, and a
// handle on it, so that its pictures are opened by name without walking its path again. A
// folder that cannot be read is left unlisted: its companions are looked for by path.
class ListFolders {
public:
    explicit ListFolders(const std::vector<std::string_view>& paths) {
        // A list mostly runs through one folder: a path beside the one before is passed over.
        std::optional<std::string_view> last_beside;
        for (const std::string_view path : paths) {
            const std::string_view beside = path.substr(0, path.rfind(SEP) + 1);
            if (beside == last_beside)
                continue;
            last_beside = beside;
            const std::string folder(beside);
            if (!m_folders.contains(folder))
                m_folders.emplace(folder, Folder{read(folder), open_folder_handle(folder)});
        }
    }

    // What the list knows of a folder, from one look-up.
    struct Look {
        const std::unordered_set<std::string>* companions = nullptr; // null: not listed
        int handle = -1;                                             // -1: none
        // False only when the folder was listed and holds no file of that name: with no
        // paths, every companion is looked for by its path.
        bool may_hold(const std::string& name) const {
            return !companions || companions->contains(name);
        }
    };
    Look look(const std::string& folder) const {
        const auto found = m_folders.find(folder);
        if (found == m_folders.end())
            return {};
        const Folder& known = found->second;
        return {known.companions ? &*known.companions : nullptr, known.handle.get()};
    }

private:
    using Names = std::unordered_set<std::string>;
    struct Folder {
        std::optional<Names> companions;
        UniqueFd handle;
    };

    static std::optional<Names> read(const std::string& folder) {
        const std::optional<std::vector<std::string>> entries =
            folder_entry_names(folder.empty() ? "." : folder, kCompanionPrefix);
        if (!entries)
            return std::nullopt;
        return Names(entries->begin(), entries->end());
    }

    std::unordered_map<std::string, Folder> m_folders;
};

// `name` is that of the file in the folder `folder` holds, when it holds one (not -1).
std::optional<FileVersion> stamp_of(const std::string& path, int folder, const std::string& name) {
    const std::optional<FileStatus> status =
        folder >= 0 ? file_status_at(folder, name) : file_status(path);
    if (!status || !status->is_regular)
        return std::nullopt;
    return version_of(*status);
}

// The header of a regular file with the stamp of the very file read, from one open.
struct ReadHeader {
    ImageInfo info;
    FileVersion stamp;
};

// The same for the file's header, from one open.
std::optional<ReadHeader> read_stamped_header(const std::string& path, int folder,
                                              const std::string& name) {
    FileStatus status;
    const UniqueFd fd =
        folder >= 0 ? open_regular_file_at(folder, name, status) : open_regular_file(path, status);
    if (!fd.valid())
        return std::nullopt;
    return ReadHeader{read_header_of_open_file(fd.get(), status.size), version_of(status)};
}

} // namespace

// What one path of the list gives; read on any thread.
struct ListEntry {
    bool stands = false;
    ImageInfo info;
    std::optional<ImageInfo> companion;
    // The files read, taken before reading them; none for a folder or a missing file, whose
    // entry is never taken again.
    std::optional<FileVersion> stamp;
    std::optional<FileVersion> companion_stamp;
    bool read = false; // read by this load, not taken from the one before
};

namespace {

// The entry of a path as a load left it: taken again while its files stay as they were.
const ListEntry* still_valid(const ListEntry* known, const std::optional<FileVersion>& stamp,
                             const std::optional<FileVersion>& companion_stamp) {
    if (!known || !known->stamp || stamp != known->stamp ||
        companion_stamp != known->companion_stamp)
        return nullptr;
    return known;
}

ListEntry read_entry(const std::string& path, const ListFolders& folders, const ListEntry* known) {
    ListEntry entry;
    const std::string name = file_name(path, true);
    if (is_companion_name(name))
        return entry;
    const std::string folder = parent_folder(path);
    const std::string companion = std::string(kCompanionPrefix) + name;
    entry.read = true;
    const ListFolders::Look here = folders.look(folder);
    const bool companion_may_stand = here.may_hold(companion);
    if (path.ends_with(SEP)) {
        entry.stands = folder_holds_file(path);
        if (entry.stands && companion_may_stand)
            entry.companion = read_header_if_file(folder + companion);
        return entry;
    }
    const int held = here.handle;
    // A path the last load read is looked at first: an unchanged file is not opened again.
    if (known) {
        entry.stamp = stamp_of(path, held, name);
        if (!entry.stamp)
            return entry;
        if (companion_may_stand)
            entry.companion_stamp = stamp_of(folder + companion, held, companion);
        if (const ListEntry* same = still_valid(known, entry.stamp, entry.companion_stamp)) {
            ListEntry again = *same;
            again.read = false;
            return again;
        }
    }
    const std::optional<ReadHeader> header = read_stamped_header(path, held, name);
    if (!header) {
        entry.stamp.reset();
        return entry;
    }
    entry.stands = true;
    entry.info = header->info;
    entry.stamp = header->stamp;
    entry.companion_stamp.reset();
    if (companion_may_stand) {
        if (const std::optional<ReadHeader> thumb =
                read_stamped_header(folder + companion, held, companion)) {
            entry.companion = thumb->info;
            entry.companion_stamp = thumb->stamp;
        }
    }
    return entry;
}

// The picture's item as the grid shows it, or nothing for an entry that does not stand.
std::optional<ThumbItem> item_of(std::string path, const ListEntry& entry, double twips_x,
                                 double twips_y) {
    if (!entry.stands)
        return std::nullopt;
    ThumbItem item;
    item.Width = entry.info.Width;
    item.Height = entry.info.Height;
    item.Size = entry.info.FileSize;
    item.Type = entry.info.FileType;
    int32_t thumb_width = item.Width, thumb_height = item.Height;
    if (entry.companion) {
        item.ThumbPath =
            parent_folder(path) + std::string(kCompanionPrefix) + file_name(path, true);
        thumb_width = entry.companion->Width;
        thumb_height = entry.companion->Height;
    } else {
        item.ThumbPath = path;
    }
    item.Path = std::move(path);
    item.ThumbWidth = to_twips(thumb_width, twips_x);
    item.ThumbHeight = to_twips(thumb_height, twips_y);
    return item;
}

// Reads the entries of paths[first, end) and builds their items on a few threads, each
// taking the next run of paths as it gets free: every path waits mostly for the file
// system, and the strings and items are made where they are read. entries[i] is that of
// paths[i]; items[i - first] the item of paths[i], or left with no path when it does not
// stand. An entry of known whose files have not changed is taken as it is.
void read_items(const std::vector<std::string_view>& paths, const ListFolders& folders,
                const std::unordered_map<std::string_view, const ListEntry*>& known, size_t first,
                size_t end, double twips_x, double twips_y, std::vector<ListEntry>& entries,
                ThumbItem* items) {
    constexpr size_t kPerThread = 256;
    constexpr size_t kRun = 64;
    const size_t threads = std::clamp<size_t>(
        std::min<size_t>(std::thread::hardware_concurrency(), (end - first) / kPerThread), 1, 4);
    std::atomic<size_t> next{first};
    const auto read_runs = [&] {
        for (size_t from = next.fetch_add(kRun); from < end; from = next.fetch_add(kRun)) {
            for (size_t i = from; i < std::min(end, from + kRun); ++i) {
                std::string path(paths[i]);
                const auto was = known.find(paths[i]);
                entries[i] = read_entry(path, folders, was == known.end() ? nullptr : was->second);
                if (std::optional<ThumbItem> item =
                        item_of(std::move(path), entries[i], twips_x, twips_y))
                    items[i - first] = std::move(*item);
            }
        }
    };
    std::vector<std::jthread> workers;
    for (size_t t = 1; t < threads; ++t)
        workers.emplace_back(read_runs);
    read_runs();
}

std::string rect_text(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

std::string type_name(int32_t type) {
    switch (type) {
    case kTypeGif:
        return "GIF";
    case kTypeJpeg:
        return "JPEG";
    case kTypePng:
        return "PNG";
    case kTypeBitmap:
        return "Bitmap";
    default:
        return "";
    }
}

// The text with a comma before and after it, unless it has them already.
std::string between_commas(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 2);
    if (!text.starts_with(','))
        result += ',';
    result += text;
    if (!text.ends_with(','))
        result += ',';
    return result;
}

std::string text_after_last(const std::string& text, char mark) {
    const size_t at = text.rfind(mark);
    return at == std::string::npos ? std::string() : text.substr(at + 1);
}

} // namespace

// What the last load read: its list, and the entry of each path.
struct GlimraModel::KnownFiles {
    std::string text;
    std::vector<std::string_view> paths; // into text
    std::vector<ListEntry> entries;      // entries[i] is that of paths[i]

    // Each path's entry, found by a hash (the first of a path listed twice).
    std::unordered_map<std::string_view, const ListEntry*> by_path() const {
        std::unordered_map<std::string_view, const ListEntry*> found;
        found.reserve(paths.size());
        for (size_t i = 0; i < paths.size() && i < entries.size(); ++i)
            if (entries[i].stamp)
                found.emplace(paths[i], &entries[i]);
        return found;
    }
};

GlimraModel::GlimraModel(GlimraHost& host)
    : m_host(host), m_known(std::make_unique<KnownFiles>()) {}

GlimraModel::~GlimraModel() = default;

void GlimraModel::set_screen(double twips_per_pixel_x, double twips_per_pixel_y) {
    m_screen_x = twips_per_pixel_x;
    m_screen_y = twips_per_pixel_y;
}

void GlimraModel::set_area(int32_t width, int32_t height) {
    m_width = width;
    m_height = height;
}

int32_t GlimraModel::scroll_offset() const {
    return m_scroll_value < 1 ? 0 : to_twips(m_scroll_value, m_twipsPerPixelY);
}

// --- The list ----------------------------------------------------------------------------

void GlimraModel::set_filelist(std::string text) {
    m_props.filelist = std::move(text);
    load_list();
}

std::string GlimraModel::filelist() const {
    if (!m_loaded)
        return "";
    std::string text;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (i > 0)
            text += CR;
        text += m_items[i].Path;
    }
    return text;
}

void GlimraModel::load_list() {
    m_twipsPerPixelX = m_screen_x;
    m_twipsPerPixelY = m_screen_y;
    m_host.GlimraLoadStart();
    // A list loaded again after an edit keeps the item the keyboard was on.
    const ThumbItem* was_current = item(m_current);
    const std::string current_path = was_current ? was_current->Path : std::string();
    m_items.clear();
    m_cells_in_order = false;
    // Indices of the old list mean nothing in the new one.
    m_hoverItem = m_lastHoverItem = m_clickedItem = m_dragItem = 0;
    m_dragStartCell = {};
    m_first_row.reset();
    m_files_read = 0;
    const std::unique_ptr<KnownFiles> before = std::move(m_known);
    m_known = std::make_unique<KnownFiles>();
    if (!m_props.filelist.empty()) {
        const std::unordered_map<std::string_view, const ListEntry*> known = before->by_path();
        // The list is kept as it was read, for the next load to find its entries in.
        KnownFiles& now = *m_known;
        now.text = m_props.filelist;
        now.paths = split_views(now.text, std::string_view(&CR, 1));
        m_items.reserve(now.paths.size());
        const auto add_items = [&](size_t first, size_t end, const ListFolders& folders) {
            now.entries.resize(end);
            const size_t at = m_items.size();
            m_items.resize(at + (end - first));
            read_items(now.paths, folders, known, first, end, m_twipsPerPixelX, m_twipsPerPixelY,
                       now.entries, m_items.data() + at);
            for (size_t i = first; i < end; ++i)
                m_files_read += now.entries[i].read ? 1 : 0;
            // Paths that name nothing to show leave no item.
            m_items.erase(std::remove_if(m_items.begin() + static_cast<ptrdiff_t>(at),
                                         m_items.end(),
                                         [](const ThumbItem& it) { return it.Path.empty(); }),
                          m_items.end());
        };
        // The first screen first, so its pictures are decoded while the rest is read. Its
        // few companions are looked for one by one: the folders are listed after it.
        const size_t first_screen = first_screen_items(now.paths.size());
        if (first_screen > 0 && first_screen < now.paths.size()) {
            add_items(0, first_screen, ListFolders({}));
            show_first_screen(now.paths.size());
            add_items(first_screen, now.paths.size(), ListFolders(now.paths));
        } else {
            add_items(0, now.paths.size(), ListFolders(now.paths));
        }
    }
    m_loaded = true;
    m_canvas_width = m_canvas_height = -1;
    m_needs_layout = true;
    const ThumbItem* now_current = item(m_current);
    if (!now_current || now_current->Path != current_path)
        m_current = m_anchor = 0;
    m_base.assign(m_items.size(), false);
    m_host.GlimraLoadEnd();
}

size_t GlimraModel::first_screen_items(size_t count) const {
    // Only a list shown from its top, in an area of some size, in cells whose places do not
    // depend on how many there are.
    if (m_scroll_value != 0 || m_width <= 0 || m_height <= 0 || count < 2)
        return 0;
    const int32_t n = static_cast<int32_t>(std::min<size_t>(count, INT32_MAX));
    const GridLayout layout = lay_out(m_props.ThumbnailsSize, m_props.Margin, m_width, m_height, n);
    if (!layout.fixed)
        return 0;
    // A screen holds at most as many cells as the area has room for, cut ones included.
    const int64_t pitch = int64_t{layout.s} + std::max<int16_t>(m_props.Margin, 0);
    if (pitch <= 0)
        return 0;
    const int64_t most = (m_width / pitch + 2) * (m_height / pitch + 2);
    const std::vector<Rect> cells = cell_rects(
        layout, m_width, static_cast<int32_t>(std::min<int64_t>(most, n)), m_props.Margin);
    size_t shown = 0;
    while (shown < cells.size() && cells[shown].top <= m_height)
        ++shown;
    return shown;
}

void GlimraModel::show_first_screen(size_t count) {
    const GridLayout layout = lay_out(m_props.ThumbnailsSize, m_props.Margin, m_width, m_height,
                                      static_cast<int32_t>(std::min<size_t>(count, INT32_MAX)));
    const std::vector<Rect> cells = cell_rects(layout, m_width, this->count(), m_props.Margin);
    for (size_t i = 0; i < m_items.size(); ++i) {
        ThumbItem& it = m_items[i];
        it.BoundsGrid = cells[i];
        it.Bounds = picture_rect(cells[i], m_props.Margin, it.ThumbWidth, it.ThumbHeight,
                                 m_caption_band, m_enlarge_pictures);
    }
    m_host.first_screen_read(m_items);
}

const ThumbItem* GlimraModel::item(int32_t index) const {
    if (index < 1 || index > count())
        return nullptr;
    return &m_items[static_cast<size_t>(index - 1)];
}

ThumbItem* GlimraModel::item_at(int32_t index) {
    return const_cast<ThumbItem*>(std::as_const(*this).item(index));
}

// --- Per-item properties -----------------------------------------------------------------

std::string GlimraModel::File_Path(int32_t index) const {
    return field(index, &ThumbItem::Path, std::string());
}
int32_t GlimraModel::File_Size(int32_t index) const {
    return field(index, &ThumbItem::Size, -1);
}
int32_t GlimraModel::File_Type(int32_t index) const {
    return field(index, &ThumbItem::Type, -1);
}
int32_t GlimraModel::File_Width(int32_t index) const {
    return field(index, &ThumbItem::Width, -1);
}
int32_t GlimraModel::File_Height(int32_t index) const {
    return field(index, &ThumbItem::Height, -1);
}
std::string GlimraModel::File_Bounds(int32_t index) const {
    const ThumbItem* it = m_loaded ? item(index) : nullptr;
    return it ? rect_text(it->Bounds) : "";
}
std::string GlimraModel::File_BoundsGrid(int32_t index) const {
    const ThumbItem* it = m_loaded ? item(index) : nullptr;
    return it ? rect_text(it->BoundsGrid) : "";
}
std::string GlimraModel::File_Tooltip(int32_t index) const {
    return field(index, &ThumbItem::Tooltip, std::string());
}
std::string GlimraModel::File_Titlestring(int32_t index) const {
    return field(index, &ThumbItem::Titlestring, std::string());
}
std::string GlimraModel::File_Tag(int32_t index) const {
    return field(index, &ThumbItem::Tag, std::string());
}

bool GlimraModel::set_File_Tooltip(int32_t index, const std::string& text) {
    return set_field(index, &ThumbItem::Tooltip, text);
}
bool GlimraModel::set_File_Titlestring(int32_t index, const std::string& text) {
    return set_field(index, &ThumbItem::Titlestring, text);
}
bool GlimraModel::set_File_Tag(int32_t index, const std::string& text) {
    return set_field(index, &ThumbItem::Tag, text);
}

// --- Drawing -----------------------------------------------------------------------------

void GlimraModel::Redraw(bool force) {
    if (!m_loaded)
        load_list();
    m_host.GlimraDrawingStart();
    m_drawing = true;
    m_host.set_busy(true);
    if (count() < 1) {
        m_layout = {};
        m_needs_layout = false;
        m_first_row.reset();
        m_scroll_value = 0;
        m_host.set_scroll_range({});
        m_host.render(force);
    } else if (m_resize_pending) {
        // The timer redraws once the resizing is over; meanwhile the rows stay where they
        // were.
        ScrollRange hidden;
        hidden.value = m_scroll_value;
        m_host.set_scroll_range(hidden);
    } else {
        const GridLayout layout =
            lay_out(m_props.ThumbnailsSize, m_props.Margin, m_width, m_height, count());
        const PlacedFor now{m_props.ThumbnailsSize, m_props.Margin,    m_width, count(),
                            m_caption_band,         m_enlarge_pictures};
        if (force || m_needs_layout || layout.canvas_width != m_canvas_width ||
            layout.canvas_height != m_canvas_height || now != m_placed_for) {
            m_canvas_width = layout.canvas_width;
            m_canvas_height = layout.canvas_height;
            m_layout = layout;
            m_placed_for = now;
            place_cells();
        }
        m_needs_layout = false;
        m_host.set_scroll_range(scroll_range_kept());
        m_host.render(force);
    }
    m_drawing = false;
    m_host.GlimraDrawingEnd();
    if (!m_abort_draw) {
        m_host.present();
        m_host.set_busy(false);
    } else {
        m_abort_draw = false;
    }
}

void GlimraModel::place_cells() {
    const std::vector<Rect> cells = cell_rects(m_layout, m_width, count(), m_props.Margin);
    for (size_t i = 0; i < m_items.size(); ++i) {
        ThumbItem& it = m_items[i];
        it.BoundsGrid = cells[i];
        it.Bounds = picture_rect(cells[i], m_props.Margin, it.ThumbWidth, it.ThumbHeight,
                                 m_caption_band, m_enlarge_pictures);
    }
    m_cells_in_order = true;
}

ScrollRange GlimraModel::scroll_range_kept() {
    ScrollRange range = scroll_range(m_layout, m_height, m_twipsPerPixelY);
    const std::optional<FirstRow> first = std::exchange(m_first_row, std::nullopt);
    if (!range.visible) {
        m_scroll_value = 0;
        return range;
    }
    int32_t value = m_scroll_value;
    if (const ThumbItem* anchor = first ? item(first->item) : nullptr) {
        // The row keeps its place under the top of the area, as far as its new cell allows.
        const Rect& cell = anchor->BoundsGrid;
        const double top = double(cell.top) + std::min(first->below_top, cell.height() / 2);
        value = to_pixels(top, m_twipsPerPixelY);
    }
    range.value = std::clamp(value, 0, range.maximum);
    m_scroll_value = range.value;
    return range;
}

void GlimraModel::keep_first_row() {
    if (m_first_row || m_needs_layout || m_resize_pending)
        return;
    const int32_t offset = scroll_offset();
    if (offset <= 0)
        return;
    // The highest row still showing, and its leftmost cell.
    const ThumbItem* first = nullptr;
    for (const ThumbItem& it : m_items) {
        const Rect& cell = it.BoundsGrid;
        if (cell.bottom <= offset)
            continue;
        if (!first || cell.top < first->BoundsGrid.top ||
            (cell.top == first->BoundsGrid.top && cell.left < first->BoundsGrid.left))
            first = &it;
    }
    if (first)
        m_first_row = FirstRow{static_cast<int32_t>(first - m_items.data()) + 1,
                               offset - first->BoundsGrid.top};
}

void GlimraModel::fond_Resize(int32_t width, int32_t height) {
    if (m_loaded)
        keep_first_row();
    set_area(width, height);
    m_host.enable_timer();
    if (!m_loaded)
        return;
    m_resize_pending = true;
    m_abort_draw = true;
    if (!m_props.LockScreen)
        Redraw(false);
}

void GlimraModel::Timer1_Timer() {
    if (!m_resize_pending)
        return;
    m_resize_pending = false;
    if (!m_props.LockScreen)
        Redraw(false);
}

std::vector<int32_t> GlimraModel::items_between(int32_t top, int32_t bottom) const {
    std::vector<int32_t> found;
    if (m_needs_layout)
        return found;
    auto first = m_items.begin();
    if (m_cells_in_order)
        first = std::partition_point(m_items.begin(), m_items.end(), [top](const ThumbItem& it) {
            return it.BoundsGrid.bottom < top;
        });
    for (auto it = first; it != m_items.end(); ++it) {
        const Rect& cell = it->BoundsGrid;
        if (m_cells_in_order && cell.top > bottom)
            break;
        if (cell.bottom >= top && cell.top <= bottom)
            found.push_back(static_cast<int32_t>(it - m_items.begin()) + 1);
    }
    return found;
}

// --- Hit testing and selection -------------------------------------------------------------

int32_t GlimraModel::get_xy_pict(float x, float y) const {
    const double cx = x, cy = double(y) + scroll_offset();
    for (int32_t i = 1; i <= count(); ++i) {
        const Rect& b = m_items[static_cast<size_t>(i - 1)].Bounds;
        if (cx >= b.left && cx <= b.right && cy >= b.top && cy <= b.bottom)
            return i;
    }
    return 0;
}

std::string selected_items_text(const std::vector<int32_t>& items) {
    std::string text;
    for (const int32_t item : items) {
        if (!text.empty())
            text += ',';
        text += std::to_string(item);
    }
    return text;
}

std::vector<int32_t> GlimraModel::selected_items() const {
    std::vector<int32_t> items;
    for (int32_t i = 1; i <= count(); ++i)
        if (m_items[static_cast<size_t>(i - 1)].Selected)
            items.push_back(i);
    return items;
}

void GlimraModel::select_items(const std::vector<int32_t>& items) {
    set_SelectedItems(selected_items_text(items));
}

std::string GlimraModel::SelectedItems() const {
    return selected_items_text(selected_items());
}

void GlimraModel::set_SelectedItems(std::string_view text) {
    std::vector<int32_t> changed;
    if (text.empty()) {
        m_host.set_busy(true);
        clear_selection(changed);
        m_host.draw_items(changed);
        m_host.set_busy(false);
    } else {
        const std::string list = between_commas(text);
        for (int32_t i = 1; i <= count(); ++i) {
            ThumbItem& it = m_items[static_cast<size_t>(i - 1)];
            const bool selected = list.find(between_commas(std::to_string(i))) != std::string::npos;
            if (it.Selected != selected) {
                it.Selected = selected;
                changed.push_back(i);
            }
        }
        m_host.draw_items(changed);
    }
    set_anchor(m_anchor);
    if (!m_props.LockScreen)
        m_host.present();
}

bool GlimraModel::toggle(int32_t index, std::vector<int32_t>& changed) {
    ThumbItem* it = item_at(index);
    if (!it)
        return false;
    it->Selected = !it->Selected;
    changed.push_back(index);
    return true;
}

void GlimraModel::clear_selection(std::vector<int32_t>& changed) {
    for (int32_t i = 1; i <= count(); ++i) {
        ThumbItem& it = m_items[static_cast<size_t>(i - 1)];
        if (it.Selected) {
            it.Selected = false;
            changed.push_back(i);
        }
    }
}

void GlimraModel::select_on_click(int32_t hit, int16_t Shift, std::vector<int32_t>& changed) {
    if (hit == 0) {
        clear_selection(changed);
        return;
    }
    const bool shift = (Shift & kShiftMask) != 0;
    const bool ctrl = (Shift & kCtrlMask) != 0;
    if (m_props.SelectionMode == 1) {
        clear_selection(changed);
        toggle(hit, changed);
    } else if (m_props.SelectionMode == 2) {
        if (shift) {
            int32_t anchor = 0;
            for (int32_t i = count(); i >= 1 && anchor == 0; --i)
                if (m_items[static_cast<size_t>(i - 1)].Selected)
                    anchor = i;
            if (anchor == 0 || anchor == hit) {
                toggle(hit, changed);
                return;
            }
            for (int32_t i = std::min(anchor, hit); i <= std::max(anchor, hit); ++i) {
                ThumbItem& it = m_items[static_cast<size_t>(i - 1)];
                if (!it.Selected) {
                    it.Selected = true;
                    changed.push_back(i);
                }
            }
        } else if (ctrl) {
            toggle(hit, changed);
        } else {
            clear_selection(changed);
            toggle(hit, changed);
        }
    }
}

// --- The mouse -----------------------------------------------------------------------------

void GlimraModel::fond_MouseDown(int16_t Button, int16_t Shift, float x, float y) {
    if (m_loaded && m_props.Enabled) {
        m_hoverItem = get_xy_pict(x, y);
        const ThumbItem* pressed = item(m_hoverItem);
        const Rect cell = pressed ? pressed->BoundsGrid : Rect{};
        // The grab is kept on the canvas, so scrolling does not move it.
        m_grabX = to_int(x - cell.left);
        m_grabY = to_int(double(y) + scroll_offset() - cell.top);
        m_clickedItem = m_hoverItem;
        if (pressed) {
            m_dragStartCell = cell;
            m_host.prepare_dragpic(m_hoverItem);
        }
        m_dragItem = 0;
    }
    m_host.MouseDown(Button, Shift, x, y);
}

void GlimraModel::fond_MouseMove(int16_t Button, int16_t Shift, float x, float y) {
    if (Button == kLeftButton) {
        if (!m_props.AllowReorder || m_dragStartCell.left == 0) {
            m_dragItem = 0;
        } else {
            const Rect& start = m_dragStartCell;
            // The start cell lies on the canvas: the pointer is compared there too.
            const double cy = double(y) + scroll_offset();
            const bool outside =
                x >= start.right || x <= start.left || cy >= start.bottom || cy <= start.top;
            if (outside && m_hoverItem != 0) {
                m_dragItem = m_hoverItem;
                m_host.move_dragpic(to_int(x - m_grabX), to_int(cy - m_grabY - scroll_offset()));
            } else if (!outside) {
                m_dragItem = 0;
                m_host.hide_dragpic();
            }
        }
    } else if (Button == 0 && m_loaded && !m_drawing) {
        m_hoverItem = get_xy_pict(x, y);
        if (m_hoverItem != m_lastHoverItem) {
            if (const ThumbItem* over = item(m_hoverItem)) {
                std::string tip;
                if (m_props.ShowTooltips) {
                    int32_t index = m_hoverItem;
                    tip = over->Tooltip.empty() ? over->Path : ExpandTemplate(over->Tooltip, index);
                }
                m_host.set_tooltip(tip);
                m_host.set_hand_pointer(m_props.Enabled);
            } else {
                m_host.set_hand_pointer(false);
            }
            m_lastHoverItem = m_hoverItem;
        }
        UpdateStatus();
    }
    m_host.MouseMove(Button, Shift, x, y);
}

void GlimraModel::fond_MouseUp(int16_t Button, int16_t Shift, float x, float y) {
    // A drop moves the selected pictures' numbers too: the selection changes with it.
    const std::vector<int32_t> before = selected_items();
    if (m_dragItem > 0) {
        int32_t target = get_xy_pict(x, y);
        m_hoverItem = target;
        ThumbItem* dragged = item_at(m_dragItem);
        ThumbItem* onto = item_at(target);
        m_host.hide_dragpic();
        if (dragged && onto) {
            std::swap(*dragged, *onto);
            m_cells_in_order = false;
            Redraw(true);
        }
        m_host.Reorder(m_dragItem, target);
        m_dragItem = 0;
    }
    if (m_loaded && m_props.Enabled) {
        const int32_t hit = get_xy_pict(x, y);
        m_hoverItem = m_clickedItem = hit;
        std::vector<int32_t> changed;
        // The right button over the selection keeps it: its context menu acts on all of it.
        const ThumbItem* pressed = item(hit);
        if (Button != kRightButton || !pressed || !pressed->Selected)
            select_on_click(hit, Shift, changed);
        const int32_t old_current = m_current;
        if (hit != 0) {
            m_current = hit;
            // A Shift click leaves the anchor where the range began.
            const bool range = (Shift & kShiftMask) != 0 && m_props.SelectionMode == 2;
            set_anchor(range && item(m_anchor) ? m_anchor : hit);
        } else {
            set_anchor(m_anchor);
        }
        add_current_cells(changed, old_current);
        m_host.draw_items(changed);
        m_host.present();
        if (selected_items() != before)
            m_host.SelectionChange();
    }
    m_host.MouseUp(Button, Shift, x, y);
}

void GlimraModel::fond_DblClick() {
    m_dragStartCell.left = 0;
    m_host.DblClick(m_clickedItem);
}

void GlimraModel::fond_ContextMenu(float x, float y) {
    if (!m_loaded || !m_props.Enabled)
        return;
    const int32_t hit = get_xy_pict(x, y);
    const ThumbItem* pointed = item(hit);
    const std::vector<int32_t> before = selected_items();
    const int32_t old_current = m_current;
    std::vector<int32_t> changed;
    if (!pointed || !pointed->Selected)
        select_on_click(hit, 0, changed);
    if (hit != 0)
        m_current = hit;
    set_anchor(hit != 0 ? hit : m_anchor);
    add_current_cells(changed, old_current);
    m_host.draw_items(changed);
    m_host.present();
    if (selected_items() != before)
        m_host.SelectionChange();
}

void GlimraModel::UpdateStatus() {
    if (!m_props.ShowStatus) {
        if (m_status_visible)
            m_host.show_status(false, m_status_caption);
        m_status_visible = false;
        return;
    }
    std::string text;
    if (!m_props.StatusText.empty() && m_hoverItem != 0) {
        int32_t index = m_hoverItem;
        text = ExpandTemplate(m_props.StatusText, index);
    }
    if (text != m_status_caption || !m_status_visible) {
        m_status_caption = text;
        m_status_visible = true;
        m_host.show_status(true, text);
    }
}

// --- The keyboard ------------------------------------------------------------------------

int32_t GlimraModel::columns() const {
    if (m_needs_layout || count() < 1)
        return 1;
    const int32_t top = m_items.front().BoundsGrid.top;
    int32_t n = 1;
    while (n < count() && m_items[static_cast<size_t>(n)].BoundsGrid.top == top)
        ++n;
    return n;
}

int32_t GlimraModel::rows_per_page() const {
    const int32_t cols = columns();
    if (m_needs_layout || count() <= cols)
        return 1;
    const int64_t pitch =
        int64_t{m_items[static_cast<size_t>(cols)].BoundsGrid.top} - m_items.front().BoundsGrid.top;
    if (pitch <= 0)
        return 1;
    return static_cast<int32_t>(std::clamp<int64_t>(m_height / pitch, 1, count()));
}

int32_t GlimraModel::cells_per_screen() const {
    if (m_needs_layout || count() < 1)
        return 0;
    const int32_t cols = columns();
    if (count() <= cols)
        return count();
    const int64_t pitch =
        int64_t{m_items[static_cast<size_t>(cols)].BoundsGrid.top} - m_items.front().BoundsGrid.top;
    if (pitch <= 0)
        return count();
    // A row more than the area holds whole: one cut at the top, one at the bottom.
    const int64_t rows = (m_height + pitch - 1) / pitch + 1;
    return static_cast<int32_t>(std::min<int64_t>(rows * cols, count()));
}

int32_t GlimraModel::key_target(int16_t KeyCode) const {
    if (KeyCode < kKeyPageUp || KeyCode > kKeyDown)
        return 0;
    const int32_t n = count();
    if (m_current < 1 || m_current > n)
        return KeyCode == kKeyEnd ? n : 1;
    const int32_t c = m_current, cols = columns();
    const int32_t page = cols * rows_per_page();
    switch (KeyCode) {
    case kKeyLeft:
        return std::max(1, c - 1);
    case kKeyRight:
        return std::min(n, c + 1);
    case kKeyUp:
        return c - cols >= 1 ? c - cols : c;
    case kKeyDown:
        if (c + cols <= n)
            return c + cols;
        // Down from a row above a short last row lands on its last item.
        return (c - 1) / cols < (n - 1) / cols ? n : c;
    case kKeyHome:
        return 1;
    case kKeyEnd:
        return n;
    case kKeyPageUp:
        return std::max(1, c - page);
    case kKeyPageDown:
        return std::min(n, c + page);
    default:
        return 0;
    }
}

void GlimraModel::set_anchor(int32_t index) {
    m_anchor = item(index) ? index : 0;
    m_base.assign(m_items.size(), false);
    for (size_t i = 0; i < m_items.size(); ++i)
        m_base[i] = m_items[i].Selected;
}

void GlimraModel::move_current(int32_t target, bool shift, bool ctrl,
                               std::vector<int32_t>& changed) {
    const int32_t old_current = m_current;
    m_current = target;
    const int16_t mode = m_props.SelectionMode;
    if (shift && mode == 2) {
        if (!item(m_anchor))
            set_anchor(item(old_current) ? old_current : target);
        const int32_t low = std::min(m_anchor, target), high = std::max(m_anchor, target);
        for (int32_t i = 1; i <= count(); ++i) {
            ThumbItem& it = m_items[static_cast<size_t>(i - 1)];
            const bool wanted = m_base[static_cast<size_t>(i - 1)] || (i >= low && i <= high);
            if (it.Selected != wanted) {
                it.Selected = wanted;
                changed.push_back(i);
            }
        }
        return;
    }
    if (!ctrl && (mode == 1 || mode == 2)) {
        clear_selection(changed);
        toggle(target, changed);
    }
    set_anchor(target);
}

void GlimraModel::add_current_cells(std::vector<int32_t>& cells, int32_t old_current) const {
    if (old_current == m_current)
        return;
    for (const int32_t index : {old_current, m_current})
        if (item(index) && std::find(cells.begin(), cells.end(), index) == cells.end())
            cells.push_back(index);
}

void GlimraModel::show_key_result(const std::vector<int32_t>& changed, int32_t old_current) {
    std::vector<int32_t> cells;
    for (const int32_t index : changed)
        if (std::find(cells.begin(), cells.end(), index) == cells.end())
            cells.push_back(index);
    add_current_cells(cells, old_current);
    scroll_into_view(m_current);
    m_host.draw_items(cells);
    m_host.present();
}

void GlimraModel::scroll_into_view(int32_t index) {
    const ThumbItem* it = item(index);
    if (!it || m_needs_layout)
        return;
    ScrollRange range = scroll_range(m_layout, m_height, m_twipsPerPixelY);
    if (!range.visible)
        return;
    const double offset = scroll_offset();
    const double top = double(it->BoundsGrid.top) - m_props.Margin;
    const double bottom = double(it->BoundsGrid.bottom) + m_props.Margin;
    double pixels = 0;
    if (top < offset)
        pixels = std::floor(top / m_twipsPerPixelY);
    else if (bottom > offset + m_height)
        pixels = std::ceil((bottom - m_height) / m_twipsPerPixelY);
    else
        return;
    range.value = static_cast<int32_t>(std::clamp<double>(pixels, 0, range.maximum));
    if (range.value == m_scroll_value)
        return;
    m_scroll_value = range.value;
    m_host.set_scroll_range(range);
}

bool GlimraModel::key_down(int16_t KeyCode, int16_t Shift) {
    if (!m_loaded || !m_props.Enabled || count() < 1)
        return false;
    const bool shift = (Shift & kShiftMask) != 0, ctrl = (Shift & kCtrlMask) != 0;
    const int16_t mode = m_props.SelectionMode;
    const int32_t old_current = m_current;
    const std::vector<int32_t> before = selected_items();
    std::vector<int32_t> changed;
    switch (KeyCode) {
    case kKeyReturn:
        if (item(m_current)) {
            int32_t opened = m_current;
            m_host.DblClick(opened);
        }
        return true;
    case kKeyEscape:
        clear_selection(changed);
        set_anchor(m_anchor);
        break;
    case kKeySpace:
        if (!item(m_current))
            m_current = 1;
        if (mode == 1)
            clear_selection(changed);
        if (mode == 2 || (mode == 1 && !m_items[static_cast<size_t>(m_current - 1)].Selected))
            toggle(m_current, changed);
        set_anchor(m_current);
        break;
    case kKeyA:
        if (!ctrl)
            return false;
        if (mode == 2) {
            for (int32_t i = 1; i <= count(); ++i)
                if (!m_items[static_cast<size_t>(i - 1)].Selected) {
                    m_items[static_cast<size_t>(i - 1)].Selected = true;
                    changed.push_back(i);
                }
            set_anchor(m_anchor);
        }
        break;
    default: {
        const int32_t target = key_target(KeyCode);
        if (target == 0)
            return false;
        move_current(target, shift, ctrl, changed);
        break;
    }
    }
    show_key_result(changed, old_current);
    if (selected_items() != before)
        m_host.SelectionChange();
    return true;
}

// --- Captions ------------------------------------------------------------------------------

std::string GlimraModel::ExpandTemplate(const std::string& text, int32_t& index) const {
    if (index == 0)
        index = m_hoverItem;
    const ThumbItem* it = item(index);
    // Each replacement runs on the result of the ones before, in this order.
    const std::pair<const char*, std::string> tokens[] = {
        {"#FILENAME#", it ? it->Path : "C:\\My Documents\\The Path\\Sample.jpg"},
        {"#SHORTFILENAME#", it ? file_name(it->Path, true) : "Sample.jpg"},
        {"#FILESIZE#", it ? std::to_string(it->Size) : "#######"},
        {"#FILEWIDTH#", it ? std::to_string(it->Width) : "###"},
        {"#FILEHEIGHT#", it ? std::to_string(it->Height) : "###"},
        {"#FILETOOLTIP#", it ? it->Tooltip : "Sample Tooltip"},
        {"#DIMENSIONS#",
         it ? std::to_string(it->Width) + " x " + std::to_string(it->Height) : "### x ###"},
        {"#FILETYPE#", it ? type_name(it->Type) : "File Type"},
        {"#FILEEXTENSION#", it ? to_lower(text_after_last(it->Path, '.')) : "JPG"},
        {"#CURRENTNUM#", it ? std::to_string(index) : "#"},
        {"#CUSTOM#", it ? it->Titlestring : "#CUSTOM#"},
        {"#TOTAL#", std::to_string(count())},
    };
    std::string result = text;
    for (const auto& [token, value] : tokens)
        result = Remplacer(token, value, result);
    return result;
}

// --- The container's property store ----------------------------------------------------------

void GlimraModel::WriteProperties(PropertyBag& bag) const {
    GlimraProperties saved = m_props;
    saved.SelectedItems = SelectedItems();
    write_properties(saved, bag);
}

void GlimraModel::ReadProperties(const PropertyBag& bag) {
    m_props = read_properties<GlimraProperties>(bag);
    m_items.clear();
    m_loaded = false;
    m_needs_layout = true;
}

} // namespace orvix
