#include "settings/locations.h"

#include "fs/fs.h"
#include "settings/language.h"
#include "settings/prefs.h"

#include <cstdlib>
#include <filesystem>

#ifndef ORVIX_INSTALLED_DATA
#error "ORVIX_INSTALLED_DATA: the installed data folder relative to the program's folder"
#endif

namespace orvix {

namespace {

// With no home folder known at all, the user's folders fall back on the root's, which an
// ordinary user cannot write: nothing lands in a folder relative to wherever we started.
std::string user_folder(XdgBase base, const std::string& value, const std::string& home) {
    return xdg_base_folder(base, value, home.starts_with(SEP) ? home : "/");
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
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
    where.prefs_file =
        user_folder(XdgBase::Config, facts.xdg_config_home, facts.home) + "orvix/prefs.prf";
    where.language_folders = {where.data_folder + "languages/",
                              user_folder(XdgBase::Data, facts.xdg_data_home, facts.home) +
                                  "orvix/languages/"};
    return where;
}

LocationFacts system_location_facts(const std::string& program_folder) {
    LocationFacts facts;
    facts.program_folder = add_trailing_separator(program_folder);
    const std::string extra = facts.program_folder + "extra/";
    facts.extra_exists = folder_exists(extra);
    // access() also answers "no" for a read-only mount, where root's rights do not help.
    facts.extra_writable = facts.extra_exists && may_create_in(extra);
    facts.xdg_config_home = environment("XDG_CONFIG_HOME");
    facts.xdg_data_home = environment("XDG_DATA_HOME");
    facts.home = home_folder();
    return facts;
}

std::string first_run_prefs(const Locations& where) {
    const std::string shipped = where.data_folder + "prefs.prf";
    return where.prefs_file != shipped && nothing_at(where.prefs_file) ? shipped : "";
}

} // namespace orvix
