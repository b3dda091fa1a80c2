#include "app/command_line.h"

#include "fs/fs.h"
#include "text/text.h"

#include <filesystem>

namespace orvix {

namespace {

// The path of a local file:// URL, its escapes decoded; none for a URL that names no
// local folder or is malformed.
std::optional<std::string> file_url_path(const std::string& url) {
    const std::string scheme = "file://";
    if (to_lower(url.substr(0, scheme.size())) != scheme)
        return std::nullopt;
    const size_t path_start = url.find(SEP, scheme.size());
    if (path_start == std::string::npos)
        return std::nullopt;
    const std::string host = to_lower(url.substr(scheme.size(), path_start - scheme.size()));
    if (!host.empty() && host != "localhost")
        return std::nullopt;
    std::string path;
    for (size_t i = path_start; i < url.size(); ++i) {
        const char c = url[i];
        if (c == '?' || c == '#')
            return std::nullopt;
        if (c != '%') {
            path += c;
            continue;
        }
        const int high = i + 2 < url.size() ? hex_digit(url[i + 1]) : -1;
        const int low = high >= 0 ? hex_digit(url[i + 2]) : -1;
        if (low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return path;
}

std::optional<std::string> folder_path(const std::string& argument,
                                       const std::string& current_folder) {
    if (argument.empty())
        return std::nullopt;
    if (argument.starts_with(SEP) || current_folder.empty())
        return argument;
    // The preferences keep the folder for the next run, which may start elsewhere.
    return std::filesystem::path(add_trailing_separator(current_folder) + argument)
        .lexically_normal()
        .string();
}

} // namespace

CommandLine parse_command_line(const std::vector<std::string>& arguments,
                               const std::string& current_folder) {
    CommandLine line;
    std::optional<std::string> source;
    if (arguments.empty())
        return line;
    if (arguments.size() == 2 && arguments[0] == "--")
        source = folder_path(arguments[1], current_folder);
    else if (arguments.size() == 1 && to_lower(arguments[0]).starts_with("file:"))
        source = file_url_path(arguments[0]);
    else if (arguments.size() == 1 && !arguments[0].starts_with('-') &&
             arguments[0].find("://") == std::string::npos)
        source = folder_path(arguments[0], current_folder);
    line.valid = source.has_value();
    line.source = std::move(source);
    return line;
}

std::string usage_line(const std::string& program_name) {
    return "Usage: " + program_name + " [Qt options] [FOLDER | file://URL]\n";
}

} // namespace orvix
