// Shared by the imaging tests: command-line tools, folder contents, small pictures.
#pragma once

#include "support/images.h"

#include <cstdio>
#include <dirent.h>
#include <memory>
#include <string>
#include <vector>

namespace orvix::test {

// Runs a shell command and returns what it printed; exit_code receives its status.
inline std::string run_command(const std::string& command, int* exit_code = nullptr) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (exit_code)
        *exit_code = status;
    return output;
}

// What a transform code (1 and 2 the flips, 5, 6 and 7 the quarter turns) puts at (x, y) of
// its result, read from the original: any picture with width, height and at(x, y).
template <typename Picture>
auto transformed_at(const Picture& original, int transform, int x, int y) {
    const int w = original.width, h = original.height;
    switch (transform) {
    case 1:
        return original.at(w - 1 - x, y);
    case 2:
        return original.at(x, h - 1 - y);
    case 5:
        return original.at(y, h - 1 - x);
    case 6:
        return original.at(w - 1 - x, h - 1 - y);
    case 7:
        return original.at(w - 1 - y, x);
    default:
        return original.at(x, y);
    }
}

inline std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

// Names in the folder, "." and ".." left out (hidden temporary files included).
inline std::vector<std::string> folder_entries(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
}

inline RgbImage pattern_image(int width, int height) {
    return RgbImage{width, height, test_pattern(width, height)};
}

// The pixel's three channels as one number 0xRRGGBB, for readable failures.
inline int pixel_value(const RgbImage& image, int x, int y) {
    const uint8_t* p = image.at(x, y);
    return (p[0] << 16) | (p[1] << 8) | p[2];
}

} // namespace orvix::test
