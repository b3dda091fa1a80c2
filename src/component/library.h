// A shared library loaded at run time, closed on every path, and the path of the library
// that holds a given piece of code.
#pragma once

#include <string>

namespace orvix::component {

class SharedLibrary {
public:
    SharedLibrary() = default;
    // Loads path (RTLD_NOW | RTLD_LOCAL, so a component's own symbols never resolve another
    // one's). On failure the library is not loaded and error() tells why.
    explicit SharedLibrary(const std::string& path);
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool loaded() const { return m_handle != nullptr; }
    const std::string& error() const { return m_error; }
    // The address of an exported symbol, nullptr when the library does not export it.
    void* symbol(const char* name) const;
    template <class Function> Function function(const char* name) const {
        return reinterpret_cast<Function>(symbol(name));
    }
    // Closes the library now (nothing when it is not loaded).
    void reset();

private:
    void* m_handle = nullptr;
    std::string m_error;
};

// The absolute path of the loaded object (a shared library or the program) whose code or
// data holds address; "" when none does.
std::string path_of_object_holding(const void* address);

// True when a library of that path is loaded in this process now, without loading it.
bool library_is_loaded(const std::string& path);

} // namespace orvix::component
