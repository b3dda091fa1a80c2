#include "transfer/room_estimate.h"

#include "fs/fs.h"
#include "text/text.h"
#include "transfer/naming.h"

#include <algorithm>

namespace orvix {

double average_length(const std::vector<int64_t>& lengths) {
    if (lengths.empty())
        return 0;
    double total = 0;
    for (int64_t length : lengths)
        total += static_cast<double>(std::max<int64_t>(length, 0));
    return total / static_cast<double>(lengths.size());
}

double sampled_average_size(const std::string& folder) {
    std::vector<std::string> sample;
    list_files(folder, sample, std::string(picture_filter), true, "", size_sample_count);
    std::vector<int64_t> lengths;
    lengths.reserve(sample.size());
    for (const std::string& picture : sample)
        lengths.push_back(file_length(picture));
    return average_length(lengths);
}

double pictures_of_room(double free_bytes, double average_size) {
    if (average_size == 0)
        return 0;
    return round_half_even(free_bytes / average_size);
}

} // namespace orvix
