// The program's own command line: at most one folder, the source for this run. Desktops
// hand over a camera card's folder this way, as a path or a file:// URL.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvix {

struct CommandLine {
    bool valid = true;
    // The folder as a path, absolute when current_folder was given; none without argument.
    std::optional<std::string> source;
};

// Reads the arguments that follow the program's name, after Qt has taken its own options.
// Valid: nothing; one folder path (relative ones are taken from current_folder); "--" and
// one folder path (for a name that begins with "-"); one file:// URL with an empty or
// "localhost" host, its percent escapes decoded. Anything else is invalid: an option, two
// folders, an empty argument, a URL of another scheme, a malformed escape or one that
// stands for a NUL byte, a query or a fragment.
CommandLine parse_command_line(const std::vector<std::string>& arguments,
                               const std::string& current_folder);

// The one line printed on stderr for an invalid command line, ending with a line feed.
std::string usage_line(const std::string& program_name);

} // namespace orvix
