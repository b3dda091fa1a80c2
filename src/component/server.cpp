#include "component/server.h"

#include "component/library.h"
#include "component/registry.h"

#include <new>
#include <type_traits>

namespace orvix::component {

// The C header comes first in both, so the pointer a host holds converts back.
struct Module::Factory {
    orvix_class_factory header;
    orvix_dispatch_vtbl dispatch_vtbl; // carries the version of the class's interface
    Module* module;
    const ClassEntry* entry;
};

struct Module::Instance {
    orvix_dispatch header;
    Factory* factory;
    Object* object; // owned; deleted by release_instance
};

namespace {

// Any function of this file: its address lies in the library the file is linked into.
void locate_this_library() {}

} // namespace

std::string this_library_path() {
    return path_of_object_holding(reinterpret_cast<const void*>(&locate_this_library));
}

Module::Module(TypeLibraryEntry type_library, std::vector<ClassEntry> classes)
    : m_type_library(std::move(type_library)), m_classes(std::move(classes)) {
    static_assert(std::is_standard_layout_v<Factory> && std::is_standard_layout_v<Instance>);
    static const orvix_class_factory_vtbl factory_vtbl = {
        ORVIX_COMPONENT_ABI_VERSION, &Module::release_factory, &Module::create_instance,
        &Module::lock_server};
    for (const ClassEntry& entry : m_classes) {
        auto factory = std::make_unique<Factory>();
        factory->header.vtbl = &factory_vtbl;
        factory->dispatch_vtbl = {entry.interface_version, &Module::release_instance,
                                  &Module::set_client_site, &Module::invoke};
        factory->module = this;
        factory->entry = &entry;
        m_factories.push_back(std::move(factory));
    }
}

Module::~Module() = default;

Module& Module::module_of(orvix_class_factory* factory) {
    return *reinterpret_cast<Factory*>(factory)->module;
}

int32_t Module::get_class_object(const char* clsid, orvix_class_factory** out) {
    if (!out)
        return ORVIX_E_POINTER;
    *out = nullptr;
    const std::string wanted = canonical_identifier(clsid ? clsid : "");
    for (const auto& factory : m_factories) {
        if (!wanted.empty() && canonical_identifier(factory->entry->clsid) == wanted) {
            ++m_references;
            *out = &factory->header;
            return ORVIX_S_OK;
        }
    }
    return ORVIX_CLASS_E_CLASSNOTAVAILABLE;
}

int32_t Module::can_unload_now() const {
    return live_count() == 0 ? ORVIX_S_OK : ORVIX_S_FALSE;
}

int32_t Module::register_server() const {
    const std::string library = this_library_path();
    if (library.empty())
        return ORVIX_SELFREG_E_TYPELIB;
    const int32_t typelib =
        write_type_library({m_type_library.id, m_type_library.version, m_type_library.help_string,
                            m_type_library.help_file, library});
    if (typelib != ORVIX_S_OK)
        return typelib;
    for (const ClassEntry& entry : m_classes) {
        const int32_t result = write_class(
            {entry.clsid, entry.progid, entry.type_name, entry.threading_model, library,
             m_type_library.id, m_type_library.version, entry.interface_id, entry.misc_status});
        if (result != ORVIX_S_OK)
            return result;
    }
    return ORVIX_S_OK;
}

int32_t Module::unregister_server() const {
    const int32_t typelib = remove_type_library(m_type_library.id);
    if (typelib != ORVIX_S_OK)
        return typelib;
    for (const ClassEntry& entry : m_classes) {
        const int32_t result = remove_class(entry.clsid);
        if (result != ORVIX_S_OK)
            return result;
    }
    return ORVIX_S_OK;
}

void Module::release_factory(orvix_class_factory* self) {
    --module_of(self).m_references;
}

int32_t Module::lock_server(orvix_class_factory* self, int32_t lock) {
    Module& module = module_of(self);
    if (lock)
        ++module.m_locks;
    else if (module.m_locks > 0)
        --module.m_locks;
    return ORVIX_S_OK;
}

int32_t Module::create_instance(orvix_class_factory* self, const char* interface_id,
                                orvix_dispatch** out) {
    if (!out)
        return ORVIX_E_POINTER;
    *out = nullptr;
    Factory& factory = *reinterpret_cast<Factory*>(self);
    const std::string wanted = canonical_identifier(interface_id ? interface_id : "");
    if (wanted.empty() || wanted != canonical_identifier(factory.entry->interface_id))
        return ORVIX_E_NOINTERFACE;
    try {
        std::unique_ptr<Object> object = factory.entry->create();
        if (!object)
            return ORVIX_E_FAIL;
        auto* instance = new Instance{{&factory.dispatch_vtbl}, &factory, object.release()};
        ++factory.module->m_objects;
        *out = &instance->header;
        return ORVIX_S_OK;
    } catch (const std::bad_alloc&) {
        return ORVIX_E_OUTOFMEMORY;
    } catch (...) {
        return ORVIX_E_FAIL;
    }
}

void Module::release_instance(orvix_dispatch* self) {
    auto* instance = reinterpret_cast<Instance*>(self);
    --instance->factory->module->m_objects;
    delete instance->object;
    delete instance;
}

int32_t Module::set_client_site(orvix_dispatch* self, orvix_site* site) {
    reinterpret_cast<Instance*>(self)->object->set_site(site);
    return ORVIX_S_OK;
}

int32_t Module::invoke(orvix_dispatch* self, int32_t dispid, const char* const* args,
                       uint32_t count) {
    if (count > 0 && !args)
        return ORVIX_E_POINTER;
    try {
        std::vector<std::string> values;
        values.reserve(count);
        for (uint32_t i = 0; i < count; ++i)
            values.emplace_back(args[i] ? args[i] : "");
        return reinterpret_cast<Instance*>(self)->object->invoke(dispid, values);
    } catch (const std::bad_alloc&) {
        return ORVIX_E_OUTOFMEMORY;
    } catch (...) {
        return ORVIX_E_FAIL;
    }
}

} // namespace orvix::component
