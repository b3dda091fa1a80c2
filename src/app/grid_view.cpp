#include "app/grid_view.h"

#include "app/widgets.h"
#include "controls/thumbgrid/glimra.h"
#include "controls/thumbgrid/grid_layout.h"
#include "fs/fs.h"
#include "imaging/exif_dates.h"
#include "platform/qt/text_codec.h"
#include "settings/language.h"
#include "settings/prefs.h"
#include "thumbcache/thumbcache.h"
#include "transfer/naming.h"

#include <QComboBox>
#include <QSlider>

#include <algorithm>
#include <array>

namespace orvix {

namespace {

struct OrderEntry {
    GridOrder order;
    const char* text_key;
};

constexpr std::array<OrderEntry, 3> kOrders = {{{GridOrder::Transfer, "sort_transfer"},
                                                {GridOrder::Name, "sort_name"},
                                                {GridOrder::DateTaken, "sort_date"}}};

int index_of(GridOrder order) {
    const auto found = std::find_if(kOrders.begin(), kOrders.end(),
                                    [order](const OrderEntry& e) { return e.order == order; });
    return static_cast<int>(found - kOrders.begin());
}

} // namespace

GridView::GridView(QWidget& page, Glimra& grid, const LanguageTable& language,
                   const std::vector<TransferredPicture>& records)
    : m_grid(grid), m_language(language), m_records(records) {
    m_zoom = new QSlider(Qt::Horizontal, &page);
    m_zoom->setObjectName(QStringLiteral("zoom"));
    m_zoom->setPageStep(kZoomStep);
    m_sortorder = new QComboBox(&page);
    m_sortorder->setObjectName(QStringLiteral("sortorder"));
    for (size_t i = 0; i < kOrders.size(); ++i)
        m_sortorder->addItem(QString(), int(i));
    QObject::connect(m_zoom, &QSlider::valueChanged, m_zoom, [this] { zoom_Change(); });
    QObject::connect(m_sortorder, &QComboBox::activated, m_sortorder,
                     [this] { sortorder_Click(); });
    QObject::connect(&m_grid, &Glimra::zoom_wheel, m_zoom, [this](int angle_delta) {
        m_zoom->setValue(wheel_zoom(m_zoom->value(), angle_delta, m_zoom->minimum()));
    });
    m_grid.set_sort_facts([this](const std::string& thumbnail) { return facts_of(thumbnail); });
    QObject::connect(&m_grid, &Glimra::filelistChanged, m_zoom, [this] { take_pictures(); });
    m_grid.set_larger_source(
        [this](const std::string& thumbnail) { return larger_source(thumbnail); });
}

void GridView::take_pictures() {
    m_records_by_thumbnail.reset();
    auto pictures = std::make_shared<PictureOfThumbnail>();
    std::unordered_map<std::string, int> claims;
    for (const TransferredPicture& record : m_records)
        if (!record.thumb_path.empty() && ++claims[record.thumb_path] == 1)
            pictures->emplace(record.thumb_path, record.picture_path);
    // A thumbnail two records claim stands for neither picture.
    for (const auto& [thumbnail, count] : claims)
        if (count > 1)
            pictures->erase(thumbnail);
    const std::lock_guard lock(m_pictures_mutex);
    m_pictures = std::move(pictures);
    m_undrawable.clear();
}

std::string GridView::larger_source(const std::string& thumbnail) const {
    std::shared_ptr<const PictureOfThumbnail> pictures;
    {
        const std::lock_guard lock(m_pictures_mutex);
        pictures = m_pictures;
    }
    if (!pictures)
        return {};
    const auto found = pictures->find(thumbnail);
    if (found == pictures->end())
        return {};
    const std::string& picture = found->second;
    if (std::string cached = cached_thumbnail(picture, CacheSize::Large); !cached.empty())
        return cached;
    // Not drawn yet behind the transfer, or stale: drawn here, on the loader's thread that
    // asks; a picture that cannot be drawn is not tried again until the list changes.
    {
        const std::lock_guard lock(m_pictures_mutex);
        if (pictures != m_pictures || m_undrawable.contains(picture))
            return {};
    }
    if (make_cache_thumbnails(picture))
        return cached_thumbnail(picture, CacheSize::Large);
    const std::lock_guard lock(m_pictures_mutex);
    if (pictures == m_pictures)
        m_undrawable.insert(picture);
    return {};
}

void GridView::load(const std::string& prefs_text) {
    m_cells = m_grid.ThumbnailsSize();
    const int32_t smallest = smallest_zoom(m_cells, m_grid.twips_per_pixel_x());
    const QSignalBlocker quiet(m_zoom);
    m_zoom->setRange(smallest, std::max(smallest, kLargestZoom));
    m_zoom->setValue(zoom_of_text(get_key_value("GRID_ZOOM", prefs_text), smallest));
    zoom_Change();
    const GridOrder order =
        order_of_word(get_key_value("GRID_ORDER", prefs_text)).value_or(GridOrder::Transfer);
    m_sortorder->setCurrentIndex(index_of(order));
    m_grid.set_order(order);
}

void GridView::save(const std::string& prefs_text, MainWindowPrefs& prefs) const {
    if (m_zoom->value() != m_zoom->minimum() || !get_key_value("GRID_ZOOM", prefs_text).empty())
        prefs.grid_zoom = std::to_string(m_zoom->value());
    if (m_grid.order() != GridOrder::Transfer || !get_key_value("GRID_ORDER", prefs_text).empty())
        prefs.grid_order = std::string(order_word(m_grid.order()));
}

void GridView::traduce() {
    for (size_t i = 0; i < kOrders.size(); ++i)
        m_sortorder->setItemText(int(i), to_qt(m_language.translate(kOrders[i].text_key)));
    m_sortorder->setToolTip(to_qt(m_language.translate("sort_tip")));
    m_zoom->setToolTip(to_qt(m_language.translate("grid_zoom")));
}

int GridView::row_height(double twips_per_pixel) const {
    return to_twips(std::max(m_zoom->sizeHint().height(), m_sortorder->sizeHint().height()),
                    twips_per_pixel);
}

int GridView::sortorder_width(double twips_per_pixel) const {
    return to_twips(m_sortorder->sizeHint().width(), twips_per_pixel);
}

void GridView::place(const MainLayout& layout, double twips_per_pixel) {
    place_widget(*m_zoom, layout.zoom, twips_per_pixel);
    place_widget(*m_sortorder, layout.sortorder, twips_per_pixel);
}

void GridView::set_visible(bool visible) {
    m_zoom->setVisible(visible);
    m_sortorder->setVisible(visible);
}

void GridView::forget_pictures() {
    m_facts.clear();
    m_records_by_thumbnail.reset();
}

void GridView::zoom_Change() {
    const int zoom = m_zoom->value();
    m_grid.setThumbnailsSize(zoomed_ThumbnailsSize(m_cells, zoom, m_grid.twips_per_pixel_x()));
    m_grid.set_zoomed(zoom > m_zoom->minimum());
}

void GridView::sortorder_Click() {
    // A grid held by a long command keeps its order: the command gives the selection back
    // by item numbers when it ends, and those must still name the same pictures.
    if (!m_grid.isEnabled()) {
        m_sortorder->setCurrentIndex(index_of(m_grid.order()));
        return;
    }
    const int index = std::clamp(m_sortorder->currentIndex(), 0, int(kOrders.size()) - 1);
    m_grid.set_order(kOrders[size_t(index)].order);
}

SortFacts GridView::facts_of(const std::string& thumbnail) {
    const auto known = m_facts.find(thumbnail);
    if (known != m_facts.end())
        return known->second;
    SortFacts facts;
    if (!m_records_by_thumbnail)
        m_records_by_thumbnail.emplace(m_records, std::vector<std::string>{});
    const std::optional<size_t> record = m_records_by_thumbnail->record_of_thumbnail(thumbnail);
    const std::string picture = record ? m_records[*record].picture_path : std::string();
    if (picture.empty()) {
        facts.name = file_name(thumbnail, true);
    } else {
        facts.name = file_name(picture, true);
        // As the naming does: a picture without a capture date was taken when it was made.
        facts.date = capture_date(picture).value_or(dates_from_record(file_info(picture)).creation);
    }
    return m_facts.emplace(thumbnail, std::move(facts)).first->second;
}

} // namespace orvix
