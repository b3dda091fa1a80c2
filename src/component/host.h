// The host's side of components: creating an object by class identifier through its
// registration, calling its members by dispatch identifier, and registering a library
// (what a registration tool does with a component library it is given).
#pragma once

#include "component/abi.h"
#include "component/library.h"
#include "component/registry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvix::component {

class Site;

enum class CreateStatus {
    Created,
    NotRegistered,     // no registration file for the class
    LibraryNotLoaded,  // the registered library is missing or cannot be loaded
    NoEntryPoint,      // the library has no DllGetClassObject
    ClassNotAvailable, // the library does not serve the class
    WrongVersion,      // the factory or the interface has another version than the host's
    NoInterface,       // the class does not answer the interface
    Failed,            // the library failed to make the object
};

// A created object. It is released before its library is closed.
class Component {
public:
    Component(SharedLibrary library, orvix_dispatch* object, ClassRecord record);
    ~Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    // Calls the member with string arguments; the member's result code.
    int32_t invoke(int32_t dispid, const std::vector<std::string>& args);
    const ClassRecord& record() const { return m_record; }

private:
    SharedLibrary m_library;
    orvix_dispatch* m_object;
    ClassRecord m_record;
};

struct Creation {
    CreateStatus status = CreateStatus::Failed;
    int32_t code = ORVIX_E_FAIL; // the library's own result code, when it gave one
    std::string detail;          // the library path or the loader's message
    std::unique_ptr<Component> component;
};

// Looks the class up in the registry, loads its library, checks the factory's version,
// asks for interface_id, checks that the object's interface has interface_version, and
// gives the object the site (which must outlive it; nullptr for none).
Creation create_component(std::string_view clsid, std::string_view interface_id,
                          uint32_t interface_version, Site* site);

// The class from the library that ships with the program (an absolute path) when that
// library is there, whatever the registration names: another installation's registration
// must not put its own build into this program. Only when it is missing does the
// registration decide, as create_component does.
Creation create_shipped_component(std::string_view clsid, const std::string& shipped_library,
                                  std::string_view interface_id, uint32_t interface_version,
                                  Site* site);

// A sentence for the user about a failed creation.
std::string describe(const Creation& creation);

// Loads the library and calls its DllRegisterServer / DllUnregisterServer: its result, or
// ORVIX_E_FAIL when the library cannot be loaded or lacks the entry point.
int32_t register_library(const std::string& path);
int32_t unregister_library(const std::string& path);

// Registers library_path (a component that ships with the program) when the class has no
// registration yet, or its registration names a library that no longer exists. True when a
// usable registration is there afterwards.
bool ensure_registered(std::string_view clsid, const std::string& library_path);

} // namespace orvix::component
