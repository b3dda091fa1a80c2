// Owners for the folder handles the file services use, so every return path closes them.
#pragma once

#include <cerrno>
#include <dirent.h>
#include <memory>
#include <string>
#include <unistd.h>

#include "fs/file_io.h"

namespace orvix::detail {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

inline DirHandle open_dir(const std::string& folder) {
    return path_usable(folder) ? DirHandle(::opendir(folder.c_str())) : DirHandle();
}

inline bool is_dot_or_dotdot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace orvix::detail
