#include "text/text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <mutex>

namespace orvix {

int nb_tokens(std::string_view text, std::string_view separator) {
    if (separator.empty())
        return 1;
    int count = 1;
    for (size_t pos = text.find(separator); pos != std::string_view::npos;
         pos = text.find(separator, pos + separator.size()))
        ++count;
    return count;
}

std::string Remplacer(std::string_view find, std::string_view replacement, std::string_view text) {
    std::string result(text);
    if (find == replacement || find.empty())
        return result;
    size_t pos = result.find(find);
    while (pos != std::string::npos) {
        result.replace(pos, find.size(), replacement);
        pos = result.find(find, pos + (replacement.empty() ? 1 : replacement.size()));
    }
    return result;
}

std::vector<std::string_view> split_views(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> fields;
    if (separator.empty()) {
        fields.push_back(text);
        return fields;
    }
    // Counted first: a long list grown by doubling would copy its views a dozen times.
    size_t count = 1;
    for (size_t pos = text.find(separator); pos != std::string_view::npos;
         pos = text.find(separator, pos + separator.size()))
        ++count;
    fields.reserve(count);
    size_t start = 0;
    for (size_t pos = text.find(separator); pos != std::string_view::npos;
         pos = text.find(separator, start)) {
        fields.push_back(text.substr(start, pos - start));
        start = pos + separator.size();
    }
    fields.push_back(text.substr(start));
    return fields;
}

std::vector<std::string> split(std::string_view text, std::string_view separator) {
    const std::vector<std::string_view> views = split_views(text, separator);
    return {views.begin(), views.end()};
}

std::string join(const std::vector<std::string>& fields, std::string_view separator) {
    std::string result;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            result += separator;
        result += fields[i];
    }
    return result;
}

namespace {

// Expands an index list into the indexes it names. Ranges are clipped to
// [1, field_count]: indexes outside name no field, so a hostile "1-2000000000" costs nothing.
std::vector<int> expand_indexes(std::string_view list, int field_count) {
    std::vector<int> indexes;
    for (const std::string& item : split(list, ",")) {
        size_t dash = item.find('-');
        if (dash == std::string::npos) {
            indexes.push_back(numeric_value(item));
            continue;
        }
        int first = numeric_value(std::string_view(item).substr(0, dash));
        int last = numeric_value(std::string_view(item).substr(dash + 1));
        first = std::max(first, 1);
        last = std::min(last, field_count);
        for (int i = first; i <= last; ++i)
            indexes.push_back(i);
    }
    return indexes;
}

std::string pick_fields(const std::vector<int>& indexes, std::string_view text,
                        std::string_view separator) {
    const std::vector<std::string> fields = split(text, separator);
    std::string result;
    for (int index : indexes) {
        if (index >= 1 && index <= static_cast<int>(fields.size())) {
            result += fields[index - 1];
            result += separator;
        }
    }
    if (!separator.empty() && result.size() >= separator.size())
        result.resize(result.size() - separator.size());
    return result;
}

} // namespace

std::string get_tokens(std::string_view indexes, std::string_view text,
                       std::string_view separator) {
    return pick_fields(expand_indexes(indexes, nb_tokens(text, separator)), text, separator);
}

std::string get_tokens(int index, std::string_view text, std::string_view separator) {
    return pick_fields({index}, text, separator);
}

std::string get_line(int index, std::string_view text) {
    return get_tokens(index, text, std::string_view(&CR, 1));
}

int find_line(std::string_view find, std::string_view text, bool case_sensitive) {
    const std::string needle = case_sensitive ? std::string(find) : to_lower(find);
    const std::string haystack = case_sensitive ? std::string(text) : to_lower(text);
    const std::vector<std::string> lines = split(haystack, std::string_view(&CR, 1));
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(needle) != std::string::npos)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

std::string remove_token(int index, std::string_view text, std::string_view separator) {
    std::vector<std::string> fields = split(text, separator);
    const int n = static_cast<int>(fields.size());
    if (index > n)
        return std::string(text);
    std::vector<std::string> kept;
    for (int i = 1; i <= n; ++i) {
        if (i != index)
            kept.push_back(std::move(fields[i - 1]));
    }
    return join(kept, separator);
}

std::string drop_empty_fields(std::string_view text, std::string_view separator) {
    const std::string_view sep = separator == "return" ? std::string_view(&CR, 1) : separator;
    std::vector<std::string> kept;
    for (std::string& field : split(text, sep)) {
        if (!field.empty())
            kept.push_back(std::move(field));
    }
    return join(kept, sep);
}

std::string encode_value(std::string_view text) {
    return Remplacer(",", "<;>", Remplacer(std::string_view(&CR, 1), "<BR>", text));
}

std::string decode_value(std::string_view text) {
    return Remplacer("<;>", ",", Remplacer("<BR>", std::string_view(&CR, 1), text));
}

std::string pad_number(std::string_view number, int int_digits, int dec_digits,
                       std::string_view dec_sep) {
    std::string s(number);
    const bool negative = leading_number(s) < 0;
    if (negative)
        s = Remplacer("-", "", s);

    std::string result;
    const size_t sep = dec_sep.empty() ? std::string::npos : s.find(dec_sep);
    if (sep == std::string::npos) {
        result = s;
        if (static_cast<int>(result.size()) < int_digits)
            result.insert(0, int_digits - result.size(), '0');
    } else {
        std::string integer = s.substr(0, sep);
        std::string fraction = s.substr(sep + dec_sep.size());
        const size_t digits = static_cast<size_t>(std::max(dec_digits, 0));
        if (fraction.size() > digits)
            fraction.resize(digits);
        fraction.append(digits - fraction.size(), '0');
        if (static_cast<int>(integer.size()) < int_digits)
            integer.insert(0, int_digits - integer.size(), '0');
        result = integer + std::string(dec_sep) + fraction;
    }
    return negative ? "-" + result : result;
}

namespace {

std::mutex clock_mutex;
std::function<LocalTime()> clock_override;

LocalTime system_now() {
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    localtime_r(&now, &fields);
    return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
            fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

std::string two_digits(int value) {
    return pad_number(std::to_string(value), 2, 0, ",");
}

} // namespace

LocalTime local_now() {
    std::lock_guard lock(clock_mutex);
    return clock_override ? clock_override() : system_now();
}

void set_clock(std::function<LocalTime()> clock) {
    std::lock_guard lock(clock_mutex);
    clock_override = std::move(clock);
}

std::string date_text(const LocalTime& t) {
    return std::to_string(t.year) + two_digits(t.month) + two_digits(t.day) + two_digits(t.hour) +
           two_digits(t.minute) + two_digits(t.second);
}

std::string timestamp(bool compact, bool dashed) {
    const LocalTime t = local_now();
    const std::string year = std::to_string(t.year);
    if (dashed) {
        return year + "-" + two_digits(t.month) + "-" + two_digits(t.day) + "-" +
               two_digits(t.hour) + "-" + two_digits(t.minute) + "-" + two_digits(t.second);
    }
    if (compact) {
        return year + two_digits(t.month) + two_digits(t.day) + "-" + two_digits(t.hour) +
               two_digits(t.minute) + two_digits(t.second);
    }
    return date_text(t);
}

double leading_number(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string digits;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        digits += text[i++];
    bool any_digit = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        digits += text[i++];
        any_digit = true;
    }
    if (i < text.size() && text[i] == '.') {
        digits += text[i++];
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            digits += text[i++];
            any_digit = true;
        }
    }
    if (!any_digit)
        return 0.0;
    const double value = std::strtod(digits.c_str(), nullptr);
    if (std::isinf(value))
        return value > 0 ? std::numeric_limits<double>::max()
                         : std::numeric_limits<double>::lowest();
    return value;
}

double round_half_even(double value) {
    if (!std::isfinite(value))
        return value;
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5)
        return floor;
    if (diff > 0.5)
        return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

int to_int(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = round_half_even(value);
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(rounded);
}

int numeric_value(std::string_view text) {
    return to_int(leading_number(text));
}

std::string to_lower(std::string_view text) {
    std::string result(text);
    // ASCII only: bytes of UTF-8 sequences must pass through whatever the locale says.
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string to_upper(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

} // namespace orvix
