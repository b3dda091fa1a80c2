// The row under the main window's grid: the zoom slider `zoom` (Ctrl+wheel on the grid moves
// it too) and the order box `sortorder`, both kept in the preferences. Above the grid's own
// cells the pictures fill zoomed cells with their captions below them; the orders read
// the name and the date taken of the picture behind each thumbnail.
#pragma once

#include "app/layout.h"
#include "controls/thumbgrid/grid_sort.h"
#include "session/pictures.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class QComboBox;
class QSlider;
class QWidget;

namespace orvix {

class Glimra;
class LanguageTable;
struct MainWindowPrefs;

class GridView {
public:
    // The controls are children of page. records must outlive this.
    GridView(QWidget& page, Glimra& grid, const LanguageTable& language,
             const std::vector<TransferredPicture>& records);

    // Reads GRID_ZOOM and GRID_ORDER; a value that is not one of theirs gives the default
    // (the grid's own cells, transfer order). The grid's ThumbnailsSize as it stands is the
    // smallest zoom.
    void load(const std::string& prefs_text);
    // Fills the two values to write: each once it has left its default or when the file
    // already holds it, so the file of a user who never touched them stays as it was.
    void save(const std::string& prefs_text, MainWindowPrefs& prefs) const;
    void traduce();
    // The height of the row and the width its order box needs, twips.
    int row_height(double twips_per_pixel) const;
    int sortorder_width(double twips_per_pixel) const;
    void place(const MainLayout& layout, double twips_per_pixel);
    void set_visible(bool visible);
    // A new transfer: what was read of the last pictures goes.
    void forget_pictures();

    // Handlers.
    void zoom_Change();
    void sortorder_Click();

private:
    SortFacts facts_of(const std::string& thumbnail);
    // The picture behind each thumbnail, taken afresh whenever the grid's list changes:
    // the grid's loader threads read it, never the records the window's thread changes.
    void take_pictures();
    std::string larger_source(const std::string& thumbnail) const;

    Glimra& m_grid;
    const LanguageTable& m_language;
    const std::vector<TransferredPicture>& m_records;
    int16_t m_cells = 0; // the grid's own ThumbnailsSize: the smallest zoom
    QSlider* m_zoom = nullptr;
    QComboBox* m_sortorder = nullptr;
    // By thumbnail: read once a transfer, so an edit's new file times never move a picture.
    std::unordered_map<std::string, SortFacts> m_facts;
    // The record of each thumbnail, for the facts not read yet: made at the first of them
    // after the list last changed, so that a sort of thousands looks each one up by a hash.
    std::optional<PictureMap> m_records_by_thumbnail;
    using PictureOfThumbnail = std::unordered_map<std::string, std::string>;
    mutable std::mutex m_pictures_mutex;
    std::shared_ptr<const PictureOfThumbnail> m_pictures;
    // Pictures whose cache thumbnails could not be drawn for the list as it stands.
    mutable std::unordered_set<std::string> m_undrawable;
};

} // namespace orvix
