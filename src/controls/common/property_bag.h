// A control's persisted properties in the container's property store. A control keeps its
// properties in a struct with their defaults and names the stored ones, in order, in a
// static member
//     template <class Visit> static void for_each_property(Visit&& visit);
// that calls visit(name, &Properties::member) for each, or visit(name, member, accept)
// where a value must also pass accept(value) to be read. Saving writes only what differs
// from the default; reading keeps the default for a missing value and for one of the wrong
// kind or range.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <type_traits>
#include <variant>

namespace orvix {

using PropertyValue = std::variant<bool, int64_t, std::string>;
using PropertyBag = std::map<std::string, PropertyValue>;

PropertyValue to_property_value(bool value);
PropertyValue to_property_value(const std::string& value);
// The store has no real numbers: a single is kept as the shortest decimal text (with a
// point) that reads back to the same value.
PropertyValue to_property_value(float value);
// Integers of every width; bool, text and single take the overloads above.
template <class T> PropertyValue to_property_value(T value) {
    static_assert(std::is_integral_v<T>, "a property is a bool, an integer, a single or a text");
    return static_cast<int64_t>(value);
}

// Each sets member and returns true only for a stored value of the member's kind and range
// (a single: a decimal text of a finite value).
bool from_property_value(const PropertyValue& value, bool& member);
bool from_property_value(const PropertyValue& value, std::string& member);
bool from_property_value(const PropertyValue& value, float& member);
template <class T> bool from_property_value(const PropertyValue& value, T& member) {
    static_assert(std::is_integral_v<T>, "a property is a bool, an integer, a single or a text");
    const int64_t* stored = std::get_if<int64_t>(&value);
    if (!stored || *stored < std::numeric_limits<T>::min() ||
        *stored > std::numeric_limits<T>::max())
        return false;
    member = static_cast<T>(*stored);
    return true;
}

template <class Properties> void write_properties(const Properties& properties, PropertyBag& bag) {
    const Properties defaults;
    Properties::for_each_property([&](const char* name, auto member, auto...) {
        if (properties.*member != defaults.*member)
            bag[name] = to_property_value(properties.*member);
    });
}

template <class Properties> Properties read_properties(const PropertyBag& bag) {
    Properties properties;
    Properties::for_each_property([&](const char* name, auto member, auto... accept) {
        const auto found = bag.find(name);
        if (found == bag.end())
            return;
        auto value = properties.*member;
        if (from_property_value(found->second, value) && (accept(value) && ...))
            properties.*member = value;
    });
    return properties;
}

} // namespace orvix
