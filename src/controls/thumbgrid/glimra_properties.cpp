#include "controls/thumbgrid/glimra_properties.h"

#include <limits>
#include <type_traits>

namespace orvix {

namespace {

// Visits every persisted property: the visitor gets its stored name and a pointer to
// its member.
template <class Visitor> void for_each_property(Visitor&& visit) {
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

template <class T> PropertyValue to_value(const T& value) {
    if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::string>)
        return value;
    else
        return static_cast<int64_t>(value);
}

// A stored value of the member's kind and range, else nothing changes.
template <class T> void from_value(const PropertyValue& value, T& member) {
    if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::string>) {
        if (const T* stored = std::get_if<T>(&value))
            member = *stored;
    } else if (const int64_t* stored = std::get_if<int64_t>(&value)) {
        if (*stored >= std::numeric_limits<T>::min() && *stored <= std::numeric_limits<T>::max())
            member = static_cast<T>(*stored);
    }
}

} // namespace

void write_properties(const GlimraProperties& properties, PropertyBag& bag) {
    const GlimraProperties defaults;
    for_each_property([&](const char* name, auto member) {
        if (properties.*member != defaults.*member)
            bag[name] = to_value(properties.*member);
    });
}

GlimraProperties read_properties(const PropertyBag& bag) {
    GlimraProperties properties;
    for_each_property([&](const char* name, auto member) {
        const auto found = bag.find(name);
        if (found != bag.end())
            from_value(found->second, properties.*member);
    });
    return properties;
}

} // namespace orvix
