// Where components are registered: one small file a type library and one a class, in the
// program's own per-user data folder, written by a component's DllRegisterServer and read
// by the host that creates a component by its class identifier.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvix::component {

struct TypeLibraryRecord {
    std::string id;      // "{...}"
    std::string version; // "1.0"
    std::string help_string;
    std::string help_file;
    std::string library; // absolute path of the library that holds it
};

struct ClassRecord {
    std::string clsid; // "{...}"
    std::string progid;
    std::string type_name;
    std::string threading_model; // "Apartment"
    std::string library;         // absolute path of the library that serves it
    std::string typelib;         // identifier of its type library
    std::string typelib_version;
    std::string interface_id; // the default dispatch interface
    uint32_t misc_status = 0;
};

// $XDG_DATA_HOME/orvix/components/ (by default ~/.local/share/orvix/components/).
std::string registry_folder();

// The identifier in the canonical form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case
// hexadecimal, braces optional on input); "" for anything else, so no text from a caller
// ever becomes a file name of its own choosing.
std::string canonical_identifier(std::string_view text);

// Writes the record's file (replacing an older one only with a complete new file).
// 0, or ORVIX_SELFREG_E_TYPELIB / ORVIX_SELFREG_E_CLASS when it cannot be written
// (a malformed identifier, a value holding a line break, a folder or file that cannot be
// made).
int32_t write_type_library(const TypeLibraryRecord& record);
int32_t write_class(const ClassRecord& record);
// Removes the file; a record that is not there is already unregistered. 0, or the same
// codes when the file cannot be removed.
int32_t remove_type_library(std::string_view id);
int32_t remove_class(std::string_view clsid);

std::optional<TypeLibraryRecord> find_type_library(std::string_view id);
std::optional<ClassRecord> find_class(std::string_view clsid);

} // namespace orvix::component
