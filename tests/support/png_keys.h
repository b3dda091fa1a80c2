// PNG files read back with libpng itself, for the thumbnails written for the desktop's
// cache: their size and their text keys, as another program would see them.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace orvix::test {

struct PngFacts {
    int width = 0;
    int height = 0;
    std::map<std::string, std::string> keys; // every tEXt, zTXt and iTXt chunk
};

// nullopt when libpng refuses the file.
std::optional<PngFacts> read_png_facts(const std::string& path);

// The file's permission bits (07777); -1 when it cannot be read.
int mode_of(const std::string& path);

} // namespace orvix::test
