// What the page cache holds of a file, for tests of reading ahead: a file can be sent out
// of memory, counted page by page, and waited for while the system reads it.
#pragma once

#include "fs/file_io.h"

#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orvix::test {

struct PagesInMemory {
    size_t held = 0;
    size_t total = 0;
    bool all() const { return total > 0 && held == total; }
};

inline PagesInMemory pages_in_memory(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || st.st_size == 0)
        return {};
    const size_t size = static_cast<size_t>(st.st_size);
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((size + page - 1) / page);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd.get(), 0);
    if (map == MAP_FAILED)
        return {0, resident.size()};
    const bool known = ::mincore(map, size, resident.data()) == 0;
    ::munmap(map, size);
    PagesInMemory pages{0, resident.size()};
    for (const unsigned char flags : resident)
        pages.held += known && (flags & 1) ? 1 : 0;
    return pages;
}

// Writes the file to disk and lets its pages go; false when the file system keeps them
// (tmpfs holds its files only in memory).
inline bool send_out_of_memory(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid() || ::fsync(fd.get()) != 0)
        return false;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_DONTNEED);
    return pages_in_memory(path).held == 0;
}

// Whether some of the file is in memory, waiting up to a second: the system may take a
// moment to start a reading it was asked for, more so on a loaded machine.
inline bool starts_coming_into_memory(const std::string& path) {
    for (int i = 0; i < 100 && pages_in_memory(path).held == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pages_in_memory(path).held > 0;
}

// Whether the whole file is in memory, waiting up to half a minute for a reading under way.
inline bool comes_into_memory(const std::string& path) {
    for (int i = 0; i < 3000 && !pages_in_memory(path).all(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pages_in_memory(path).all();
}

} // namespace orvix::test
