// The grid's properties with their defaults, and the names they are kept under in the
// container's property store: their own (the file list as "FileList").
#pragma once

#include "controls/common/property_bag.h"

#include <cstdint>
#include <string>

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

    template <class Visit> static void for_each_property(Visit&& visit) {
        using P = GlimraProperties;
        visit("FileList", &P::filelist);
        visit("ThumbnailsSize", &P::ThumbnailsSize);
        visit("ColorBackground", &P::ColorBackground);
        visit("ColorGrid", &P::ColorGrid);
        visit("ColorText", &P::ColorText);
        visit("ShowGrid", &P::ShowGrid);
        visit("ShowStatus", &P::ShowStatus);
        visit("ShowTitle", &P::ShowTitle);
        visit("ShowFrames", &P::ShowFrames);
        visit("BorderWidth", &P::BorderWidth);
        visit("Enabled", &P::Enabled);
        visit("ShowTooltips", &P::ShowTooltips);
        visit("ShowFolderIcon", &P::ShowFolderIcon);
        visit("StatusText", &P::StatusText);
        visit("BorderStyle", &P::BorderStyle);
        visit("TitleText", &P::TitleText);
        visit("SelectionMode", &P::SelectionMode);
        visit("ColorSelection", &P::ColorSelection);
        visit("SelectionDrawStyle", &P::SelectionDrawStyle);
        visit("Margin", &P::Margin);
        visit("Font", &P::Font);
        visit("SelectedItems", &P::SelectedItems);
        visit("LockScreen", &P::LockScreen);
        visit("AllowReorder", &P::AllowReorder);
        visit("DitherTextBackground", &P::DitherTextBackground);
    }
};

} // namespace orvix
