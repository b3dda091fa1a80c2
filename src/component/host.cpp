#include "component/host.h"

#include "component/site.h"
#include "fs/fs.h"

#include <utility>

namespace orvix::component {

namespace {

Creation refused(CreateStatus status, std::string detail, int32_t code = ORVIX_E_FAIL) {
    Creation creation;
    creation.status = status;
    creation.code = code;
    creation.detail = std::move(detail);
    return creation;
}

int32_t call_registration(const std::string& path, const char* entry_point) {
    SharedLibrary library(path);
    const auto function = library.function<orvix_register_server_fn>(entry_point);
    return function ? function() : ORVIX_E_FAIL;
}

// Releases a factory on every path out of create_component.
struct FactoryReference {
    orvix_class_factory* factory = nullptr;
    ~FactoryReference() {
        if (factory)
            factory->vtbl->release(factory);
    }
};

} // namespace

Component::Component(SharedLibrary library, orvix_dispatch* object, ClassRecord record)
    : m_library(std::move(library)), m_object(object), m_record(std::move(record)) {}

Component::~Component() {
    // The object's code lives in the library: it goes first.
    if (m_object)
        m_object->vtbl->release(m_object);
}

int32_t Component::invoke(int32_t dispid, const std::vector<std::string>& args) {
    std::vector<const char*> pointers;
    pointers.reserve(args.size());
    for (const std::string& arg : args)
        pointers.push_back(arg.c_str());
    return m_object->vtbl->invoke(m_object, dispid, pointers.data(),
                                  static_cast<uint32_t>(pointers.size()));
}

namespace {

Creation create_from_record(std::optional<ClassRecord> record, std::string_view clsid,
                            std::string_view interface_id, uint32_t interface_version, Site* site) {
    // Only an absolute path: a bare name would be looked for along the loader's search path.
    if (!record->library.starts_with('/') || !file_exists(record->library))
        return refused(CreateStatus::LibraryNotLoaded, record->library);
    SharedLibrary library(record->library);
    if (!library.loaded())
        return refused(CreateStatus::LibraryNotLoaded, library.error());
    const auto get_class_object =
        library.function<orvix_get_class_object_fn>(ORVIX_GET_CLASS_OBJECT);
    if (!get_class_object)
        return refused(CreateStatus::NoEntryPoint, record->library);

    FactoryReference factory;
    const std::string wanted_class = canonical_identifier(clsid);
    const int32_t got = get_class_object(wanted_class.c_str(), &factory.factory);
    if (got != ORVIX_S_OK || !factory.factory)
        return refused(CreateStatus::ClassNotAvailable, record->library, got);
    if (!factory.factory->vtbl || factory.factory->vtbl->version != ORVIX_COMPONENT_ABI_VERSION) {
        // A table of another layout cannot even be released safely.
        factory.factory = nullptr;
        return refused(CreateStatus::WrongVersion, record->library);
    }

    orvix_dispatch* object = nullptr;
    const std::string wanted_interface = canonical_identifier(interface_id);
    const int32_t made =
        factory.factory->vtbl->create_instance(factory.factory, wanted_interface.c_str(), &object);
    if (made == ORVIX_E_NOINTERFACE)
        return refused(CreateStatus::NoInterface, record->library, made);
    if (made != ORVIX_S_OK || !object)
        return refused(CreateStatus::Failed, record->library, made);
    if (!object->vtbl || object->vtbl->version != interface_version) {
        if (object->vtbl)
            object->vtbl->release(object);
        return refused(CreateStatus::WrongVersion, record->library);
    }

    Creation creation;
    creation.status = CreateStatus::Created;
    creation.code = ORVIX_S_OK;
    creation.detail = record->library;
    if (site)
        object->vtbl->set_client_site(object, site->abi());
    creation.component = std::make_unique<Component>(std::move(library), object, *record);
    return creation;
}

} // namespace

Creation create_component(std::string_view clsid, std::string_view interface_id,
                          uint32_t interface_version, Site* site) {
    std::optional<ClassRecord> record = find_class(clsid);
    if (!record)
        return refused(CreateStatus::NotRegistered, canonical_identifier(clsid),
                       ORVIX_REGDB_E_CLASSNOTREG);
    return create_from_record(std::move(record), clsid, interface_id, interface_version, site);
}

Creation create_shipped_component(std::string_view clsid, const std::string& shipped_library,
                                  std::string_view interface_id, uint32_t interface_version,
                                  Site* site) {
    if (!shipped_library.starts_with('/') || !file_exists(shipped_library))
        return create_component(clsid, interface_id, interface_version, site);
    ClassRecord record;
    record.clsid = canonical_identifier(clsid);
    record.library = shipped_library;
    record.interface_id = canonical_identifier(interface_id);
    return create_from_record(std::move(record), clsid, interface_id, interface_version, site);
}

std::string describe(const Creation& creation) {
    switch (creation.status) {
    case CreateStatus::Created:
        return "The component is ready.";
    case CreateStatus::NotRegistered:
        return "The component " + creation.detail + " is not registered.";
    case CreateStatus::LibraryNotLoaded:
        return "The component's library could not be loaded: " + creation.detail;
    case CreateStatus::NoEntryPoint:
        return "The library " + creation.detail + " is not a component library.";
    case CreateStatus::ClassNotAvailable:
        return "The library " + creation.detail + " does not provide the component.";
    case CreateStatus::WrongVersion:
        return "The library " + creation.detail + " was built for another version of the program.";
    case CreateStatus::NoInterface:
    case CreateStatus::Failed:
        break;
    }
    return "The component in " + creation.detail + " could not be started.";
}

int32_t register_library(const std::string& path) {
    return call_registration(path, ORVIX_REGISTER_SERVER);
}

int32_t unregister_library(const std::string& path) {
    return call_registration(path, ORVIX_UNREGISTER_SERVER);
}

bool ensure_registered(std::string_view clsid, const std::string& library_path) {
    const std::optional<ClassRecord> record = find_class(clsid);
    if (record && file_exists(record->library))
        return true;
    return register_library(library_path) == ORVIX_S_OK && find_class(clsid).has_value();
}

} // namespace orvix::component
