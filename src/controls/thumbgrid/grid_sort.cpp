#include "controls/thumbgrid/grid_sort.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <numeric>
#include <utility>

namespace orvix {

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr std::array<std::pair<GridOrder, std::string_view>, 3> kWords = {
    {{GridOrder::Transfer, "TRANSFER"}, {GridOrder::Name, "NAME"}, {GridOrder::DateTaken, "DATE"}}};

} // namespace

int compare_names(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (is_digit(a[i]) && is_digit(b[j])) {
            // Numbers by value: leading zeros aside, the longer run is the larger.
            size_t start_a = i, start_b = j;
            while (start_a < a.size() && a[start_a] == '0')
                ++start_a;
            while (start_b < b.size() && b[start_b] == '0')
                ++start_b;
            size_t end_a = start_a, end_b = start_b;
            while (end_a < a.size() && is_digit(a[end_a]))
                ++end_a;
            while (end_b < b.size() && is_digit(b[end_b]))
                ++end_b;
            if (end_a - start_a != end_b - start_b)
                return end_a - start_a < end_b - start_b ? -1 : 1;
            if (const int c =
                    a.substr(start_a, end_a - start_a).compare(b.substr(start_b, end_b - start_b)))
                return c;
            i = end_a;
            j = end_b;
            continue;
        }
        const char x = lower(a[i]), y = lower(b[j]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    // Equal to the eye: the bytes still give one order (IMG.jpg before img.jpg).
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

std::vector<std::string> sorted_files(std::vector<std::string> files, GridOrder order,
                                      const std::function<SortFacts(const std::string&)>& facts) {
    if (order == GridOrder::Transfer || !facts || files.size() < 2)
        return files;
    std::vector<SortFacts> known;
    known.reserve(files.size());
    for (const std::string& file : files)
        known.push_back(facts(file));
    std::vector<size_t> positions(files.size());
    std::iota(positions.begin(), positions.end(), size_t{0});
    const auto by_name = [&](size_t a, size_t b) {
        return compare_names(known[a].name, known[b].name) < 0;
    };
    if (order == GridOrder::Name) {
        std::stable_sort(positions.begin(), positions.end(), by_name);
    } else {
        std::stable_sort(positions.begin(), positions.end(), [&](size_t a, size_t b) {
            const std::string &x = known[a].date, &y = known[b].date;
            if (x.empty() != y.empty())
                return y.empty();
            if (x != y)
                return x < y;
            return by_name(a, b);
        });
    }
    std::vector<std::string> sorted;
    sorted.reserve(files.size());
    for (size_t position : positions)
        sorted.push_back(std::move(files[position]));
    return sorted;
}

std::string_view order_word(GridOrder order) {
    for (const auto& [known, word] : kWords)
        if (known == order)
            return word;
    return kWords.front().second;
}

std::optional<GridOrder> order_of_word(std::string_view word) {
    for (const auto& [order, known] : kWords)
        if (known == word)
            return order;
    return std::nullopt;
}

} // namespace orvix
