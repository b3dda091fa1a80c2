#include "controls/common/property_bag.h"

#include <charconv>
#include <cmath>

namespace orvix {

PropertyValue to_property_value(bool value) {
    return value;
}

PropertyValue to_property_value(const std::string& value) {
    return value;
}

PropertyValue to_property_value(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

bool from_property_value(const PropertyValue& value, bool& member) {
    const bool* stored = std::get_if<bool>(&value);
    if (stored)
        member = *stored;
    return stored;
}

bool from_property_value(const PropertyValue& value, std::string& member) {
    const std::string* stored = std::get_if<std::string>(&value);
    if (stored)
        member = *stored;
    return stored;
}

bool from_property_value(const PropertyValue& value, float& member) {
    const std::string* text = std::get_if<std::string>(&value);
    float read = 0;
    if (!text ||
        std::from_chars(text->data(), text->data() + text->size(), read).ec != std::errc() ||
        !std::isfinite(read))
        return false;
    member = read;
    return true;
}

} // namespace orvix
