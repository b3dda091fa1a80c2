#include "component/library.h"

#include "fs/fs.h"

#include <cstdlib>
#include <dlfcn.h>
#include <utility>

namespace orvix::component {

SharedLibrary::SharedLibrary(const std::string& path) {
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* why = ::dlerror();
        m_error = why ? why : "the library could not be loaded";
    }
}

SharedLibrary::~SharedLibrary() {
    reset();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_error(std::move(other.m_error)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        reset();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_error = std::move(other.m_error);
    }
    return *this;
}

void* SharedLibrary::symbol(const char* name) const {
    return m_handle ? ::dlsym(m_handle, name) : nullptr;
}

void SharedLibrary::reset() {
    if (m_handle)
        ::dlclose(std::exchange(m_handle, nullptr));
}

std::string path_of_object_holding(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    const std::string resolved = real_path(info.dli_fname);
    return resolved.empty() ? info.dli_fname : resolved;
}

bool library_is_loaded(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    // RTLD_NOLOAD still counts a reference, which must be given back.
    ::dlclose(handle);
    return true;
}

} // namespace orvix::component
