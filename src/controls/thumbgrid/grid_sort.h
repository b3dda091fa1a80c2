// The orders the grid can show its pictures in: as they were transferred (the order of the
// list the host gives), by name, or by the date they were taken.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvix {

enum class GridOrder { Transfer, Name, DateTaken };

// What the order reads of the picture behind one file of the list.
struct SortFacts {
    std::string name; // the picture's file name
    std::string date; // when it was taken, YYYYMMDDhhmmss; "" when unknown
};

// The files in the order asked for. Names compare as people read them: case aside, and
// runs of digits by their value (IMG_9 before IMG_10). Dates compare as their texts; a
// file without a date comes after those with one. Ties keep the order of the list, as does
// GridOrder::Transfer, which never asks for the facts.
std::vector<std::string> sorted_files(std::vector<std::string> files, GridOrder order,
                                      const std::function<SortFacts(const std::string&)>& facts);

// Negative, 0 or positive as a sorts before, with or after b by name.
int compare_names(std::string_view a, std::string_view b);

// The order as the preferences keep it (TRANSFER, NAME, DATE), and back; an unknown word
// gives std::nullopt.
std::string_view order_word(GridOrder order);
std::optional<GridOrder> order_of_word(std::string_view word);

} // namespace orvix
