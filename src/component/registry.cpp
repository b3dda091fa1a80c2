#include "component/registry.h"

#include "component/abi.h"
#include "fs/file_io.h"
#include "fs/fs.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

namespace orvix::component {

namespace {

using Fields = std::vector<std::pair<const char*, std::string>>;

constexpr const char* class_suffix = ".class";
constexpr const char* typelib_suffix = ".typelib";
// A registration is a few hundred bytes; anything much larger is not one of ours.
constexpr size_t max_record_size = 64 * 1024;

std::string record_path(std::string_view id, const char* suffix) {
    const std::string canonical = canonical_identifier(id);
    if (canonical.empty())
        return {};
    return registry_folder() + canonical + suffix;
}

// A value holding a line break would start a line of its own.
bool writable_value(const std::string& value) {
    return value.find_first_of("\r\n") == std::string::npos;
}

bool write_record(const std::string& path, const Fields& fields) {
    if (path.empty())
        return false;
    std::string text;
    for (const auto& [key, value] : fields) {
        if (!writable_value(value))
            return false;
        text += std::string(key) + "=" + value + "\n";
    }
    if (make_path(parent_folder(path)) != 0)
        return false;
    ReplacementFile file(path);
    return file.error() == 0 && write_all(file.fd(), text.data(), text.size()) == 0 &&
           file.commit(true) == 0;
}

std::optional<std::map<std::string, std::string>> read_record(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    const UniqueFd fd = open_without_following(path);
    if (!fd.valid())
        return std::nullopt;
    std::string text(max_record_size, '\0');
    const ssize_t size = read_full(fd.get(), text.data(), text.size());
    if (size < 0)
        return std::nullopt;
    text.resize(static_cast<size_t>(size));
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            values.emplace(line.substr(0, equals), line.substr(equals + 1));
        start = end + 1;
    }
    return values;
}

int32_t remove_record(std::string_view id, const char* suffix, int32_t failure) {
    const std::string path = record_path(id, suffix);
    if (path.empty())
        return failure;
    if (const int error = delete_file(path, false, false); error != 0 && error != ENOENT)
        return failure;
    return ORVIX_S_OK;
}

std::string value_of(const std::map<std::string, std::string>& values, const char* key) {
    const auto it = values.find(key);
    return it == values.end() ? std::string() : it->second;
}

} // namespace

std::string registry_folder() {
    const std::string base = xdg_base_folder(XdgBase::Data);
    return base.empty() ? std::string() : base + "orvix/components/";
}

std::string canonical_identifier(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
    if (text.size() != 36)
        return {};
    std::string result = "{";
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool dash_place = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash_place ? c != '-' : !std::isxdigit(c))
            return {};
        result += static_cast<char>(std::toupper(c));
    }
    return result + "}";
}

int32_t write_type_library(const TypeLibraryRecord& record) {
    const Fields fields = {{"typelib", canonical_identifier(record.id)},
                           {"version", record.version},
                           {"help_string", record.help_string},
                           {"help_file", record.help_file},
                           {"library", record.library}};
    return write_record(record_path(record.id, typelib_suffix), fields) ? ORVIX_S_OK
                                                                        : ORVIX_SELFREG_E_TYPELIB;
}

int32_t write_class(const ClassRecord& record) {
    char misc[16];
    std::snprintf(misc, sizeof misc, "0x%X", static_cast<unsigned>(record.misc_status));
    const Fields fields = {{"clsid", canonical_identifier(record.clsid)},
                           {"progid", record.progid},
                           {"type_name", record.type_name},
                           {"threading_model", record.threading_model},
                           {"library", record.library},
                           {"typelib", canonical_identifier(record.typelib)},
                           {"typelib_version", record.typelib_version},
                           {"interface", canonical_identifier(record.interface_id)},
                           {"misc_status", misc}};
    return write_record(record_path(record.clsid, class_suffix), fields) ? ORVIX_S_OK
                                                                         : ORVIX_SELFREG_E_CLASS;
}

int32_t remove_type_library(std::string_view id) {
    return remove_record(id, typelib_suffix, ORVIX_SELFREG_E_TYPELIB);
}

int32_t remove_class(std::string_view clsid) {
    return remove_record(clsid, class_suffix, ORVIX_SELFREG_E_CLASS);
}

std::optional<TypeLibraryRecord> find_type_library(std::string_view id) {
    const auto values = read_record(record_path(id, typelib_suffix));
    if (!values)
        return std::nullopt;
    TypeLibraryRecord record;
    record.id = value_of(*values, "typelib");
    record.version = value_of(*values, "version");
    record.help_string = value_of(*values, "help_string");
    record.help_file = value_of(*values, "help_file");
    record.library = value_of(*values, "library");
    return record;
}

std::optional<ClassRecord> find_class(std::string_view clsid) {
    const auto values = read_record(record_path(clsid, class_suffix));
    if (!values)
        return std::nullopt;
    ClassRecord record;
    record.clsid = value_of(*values, "clsid");
    record.progid = value_of(*values, "progid");
    record.type_name = value_of(*values, "type_name");
    record.threading_model = value_of(*values, "threading_model");
    record.library = value_of(*values, "library");
    record.typelib = value_of(*values, "typelib");
    record.typelib_version = value_of(*values, "typelib_version");
    record.interface_id = value_of(*values, "interface");
    record.misc_status =
        static_cast<uint32_t>(std::strtoul(value_of(*values, "misc_status").c_str(), nullptr, 0));
    return record;
}

} // namespace orvix::component
