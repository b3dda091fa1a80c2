// The grid's properties with their defaults, and how they are kept in the container's
// property store: under their own names (the file list as "FileList"), only those that
// differ from their default.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>

namespace orvix {

inline constexpr uint32_t kColourHighlight = 0x8000000Du; // the system highlight colour

struct GlimraProperties {
    std::string filelist;
    int16_t ThumbnailsSize = 0;
    uint32_t ColorBackground = 0;
    uint32_t ColorGrid = 0xC0C0C0;
    uint32_t ColorText = 0xFFFFFF;
    bool ShowGrid = false;
    bool ShowStatus = false;
    bool ShowTitle = true;
    bool ShowFrames = false;
    uint8_t BorderWidth = 2;
    bool Enabled = true;
    bool ShowTooltips = true;
    bool ShowFolderIcon = true;
    std::string StatusText = "#FILENAME#   #DIMENSIONS#";
    int16_t BorderStyle = 1;
    std::string TitleText = "#SHORTFILENAME#";
    int16_t SelectionMode = 1;
    uint32_t ColorSelection = kColourHighlight;
    int16_t SelectionDrawStyle = 1;
    int16_t Margin = 50;
    std::string Font;          // a font description; empty for the container's own font
    std::string SelectedItems; // as stored; the live selection is the items' own
    bool LockScreen = false;
    bool AllowReorder = false;
    int16_t DitherTextBackground = 3;
};

using PropertyValue = std::variant<bool, int64_t, std::string>;
using PropertyBag = std::map<std::string, PropertyValue>;

// Writes every property that differs from its default.
void write_properties(const GlimraProperties& properties, PropertyBag& bag);
// The stored values, defaults for the missing ones and for values of the wrong kind.
GlimraProperties read_properties(const PropertyBag& bag);

} // namespace orvix
