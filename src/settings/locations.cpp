#include "settings/locations.h"

#include "fs/fs.h"
#include "settings/language.h"
#include "settings/prefs.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef ORVIX_INSTALLED_DATA
#error "ORVIX_INSTALLED_DATA: the installed data folder relative to the program's folder"
#endif

namespace orvix {

namespace {

// An XDG folder variable counts only when it holds an absolute path.
std::string xdg_folder(const std::string& value, const std::string& home, const char* fallback) {
    const std::string folder = value.starts_with(SEP) ? value : home + "/" + fallback;
    return add_trailing_separator(std::filesystem::path(folder).lexically_normal().string());
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string account_home() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return "";
    return found->pw_dir;
}

bool nothing_at(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

} // namespace

Locations portable_locations(const std::string& program_folder) {
    Locations where;
    where.data_folder = program_folder + "extra/";
    where.prefs_file = prefs_path(program_folder);
    where.language_folders = {languages_folder(program_folder)};
    return where;
}

Locations find_locations(const LocationFacts& facts) {
    if (facts.extra_exists && facts.extra_writable)
        return portable_locations(facts.program_folder);

    Locations where;
    where.data_folder = facts.extra_exists
                            ? facts.program_folder + "extra/"
                            : std::filesystem::path(facts.program_folder + ORVIX_INSTALLED_DATA "/")
                                  .lexically_normal()
                                  .string();
    where.prefs_file = xdg_folder(facts.xdg_config_home, facts.home, ".config") + "orvix/prefs.prf";
    where.language_folders = {where.data_folder + "languages/",
                              xdg_folder(facts.xdg_data_home, facts.home, ".local/share") +
                                  "orvix/languages/"};
    return where;
}

LocationFacts system_location_facts(const std::string& program_folder) {
    LocationFacts facts;
    facts.program_folder = add_trailing_separator(program_folder);
    const std::string extra = facts.program_folder + "extra/";
    facts.extra_exists = folder_exists(extra);
    // access() also answers "no" for a read-only mount, where root's rights do not help.
    facts.extra_writable = facts.extra_exists && ::access(extra.c_str(), W_OK | X_OK) == 0;
    facts.xdg_config_home = environment("XDG_CONFIG_HOME");
    facts.xdg_data_home = environment("XDG_DATA_HOME");
    facts.home = environment("HOME");
    if (facts.home.empty())
        facts.home = account_home();
    return facts;
}

std::string first_run_prefs(const Locations& where) {
    const std::string shipped = where.data_folder + "prefs.prf";
    return where.prefs_file != shipped && nothing_at(where.prefs_file) ? shipped : "";
}

} // namespace orvix
