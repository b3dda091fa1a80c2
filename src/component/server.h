// What a component library is built from: its objects, the classes that make them, its
// type library, and the Module that answers the four entry points for all of them. A
// component library defines one Module and exports the entry points by forwarding to it
// (ORVIX_COMPONENT_ENTRY_POINTS below).
#pragma once

#include "component/abi.h"
#include "component/site.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvix::component {

// An object of a component. Members are called by dispatch identifier; every argument is
// a string. No exception leaves invoke through the entry points: the module turns one into
// ORVIX_E_OUTOFMEMORY or ORVIX_E_FAIL.
class Object {
public:
    virtual ~Object() = default;
    virtual int32_t invoke(int32_t dispid, const std::vector<std::string>& args) = 0;

    void set_site(orvix_site* site) { m_dialogs.set_site(site); }
    orvix_site* site() const { return m_dialogs.site(); }
    // Message boxes through the host's site.
    Dialogs& dialogs() { return m_dialogs; }
    // The host's text for key in the program's language, fallback when it has none.
    std::string host_text(const std::string& key, const std::string& fallback) const {
        return m_dialogs.text(key, fallback);
    }

private:
    SiteDialogs m_dialogs;
};

struct ClassEntry {
    std::string clsid;
    std::string progid;
    std::string type_name;
    std::string threading_model;
    std::string interface_id; // the one dispatch interface its objects answer
    uint32_t interface_version = 1;
    uint32_t misc_status = 0;
    std::function<std::unique_ptr<Object>()> create;
};

struct TypeLibraryEntry {
    std::string id;
    std::string version;
    std::string help_string;
    std::string help_file;
};

class Module {
public:
    Module(TypeLibraryEntry type_library, std::vector<ClassEntry> classes);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    int32_t get_class_object(const char* clsid, orvix_class_factory** out);
    // ORVIX_S_OK when no object, factory reference or server lock is alive, else ORVIX_S_FALSE.
    int32_t can_unload_now() const;
    // The type library's file first, then one file a class, each naming this library's
    // path: 0, ORVIX_SELFREG_E_TYPELIB or ORVIX_SELFREG_E_CLASS.
    int32_t register_server() const;
    int32_t unregister_server() const;

    // Objects and references alive (what can_unload_now looks at).
    int live_count() const { return m_objects + m_references + m_locks; }

private:
    struct Factory;
    struct Instance;
    static Module& module_of(orvix_class_factory* factory);
    static int32_t create_instance(orvix_class_factory* self, const char* interface_id,
                                   orvix_dispatch** out);
    static void release_factory(orvix_class_factory* self);
    static int32_t lock_server(orvix_class_factory* self, int32_t lock);
    static void release_instance(orvix_dispatch* self);
    static int32_t set_client_site(orvix_dispatch* self, orvix_site* site);
    static int32_t invoke(orvix_dispatch* self, int32_t dispid, const char* const* args,
                          uint32_t count);

    TypeLibraryEntry m_type_library;
    std::vector<ClassEntry> m_classes;
    std::vector<std::unique_ptr<Factory>> m_factories;
    // A host may release an object on another thread than the one that made it.
    std::atomic<int> m_objects = 0;
    std::atomic<int> m_references = 0;
    std::atomic<int> m_locks = 0;
};

// The absolute path of the library this code is linked into.
std::string this_library_path();

} // namespace orvix::component

// The four entry points of a component library, answered by the Module that module_function
// returns.
#define ORVIX_COMPONENT_ENTRY_POINTS(module_function)                                              \
    extern "C" ORVIX_COMPONENT_EXPORT int32_t DllGetClassObject(const char* clsid,                 \
                                                                orvix_class_factory** out) {       \
        return module_function().get_class_object(clsid, out);                                     \
    }                                                                                              \
    extern "C" ORVIX_COMPONENT_EXPORT int32_t DllCanUnloadNow(void) {                              \
        return module_function().can_unload_now();                                                 \
    }                                                                                              \
    extern "C" ORVIX_COMPONENT_EXPORT int32_t DllRegisterServer(void) {                            \
        return module_function().register_server();                                                \
    }                                                                                              \
    extern "C" ORVIX_COMPONENT_EXPORT int32_t DllUnregisterServer(void) {                          \
        return module_function().unregister_server();                                              \
    }
