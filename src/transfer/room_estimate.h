// How many more pictures the destination has room for: free space over the usual size of
// a picture there, that size being the mean length of a few pictures the folder already
// holds. A few are enough for an estimate and keep the look at a large folder cheap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvix {

// How many pictures of the destination are sampled (the listing stops near this count).
inline constexpr int size_sample_count = 20;

// The mean of the lengths; a length that could not be read (negative) counts as 0. 0 for
// no lengths.
double average_length(const std::vector<int64_t>& lengths);

// The mean length of the transferable pictures sampled in folder and its subfolders; 0
// when it holds none.
double sampled_average_size(const std::string& folder);

// free_bytes / average_size rounded half to even; 0 when average_size is 0, which says
// there is no usual size to count in.
double pictures_of_room(double free_bytes, double average_size);

} // namespace orvix
