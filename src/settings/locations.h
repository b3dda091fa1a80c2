// Where the program reads its shipped data and keeps the user's preferences. A program
// with a writable extra/ folder beside it (the build tree, a portable copy) keeps
// everything there. An installed program reads its data from the installation's
// share/orvix/extra/ and keeps each user's preferences in that user's configuration folder.
#pragma once

#include <string>
#include <vector>

namespace orvix {

struct Locations {
    // The shipped data: infos.txt, languages/ and the default prefs.prf; trailing '/'.
    std::string data_folder;
    // The preferences file read at start-up and written at shutdown.
    std::string prefs_file;
    // The folders whose language files are offered, shipped ones first; trailing '/'.
    std::vector<std::string> language_folders;
};

// What the rules look at; system_location_facts gathers it for this process.
struct LocationFacts {
    std::string program_folder;  // the executable's folder, trailing '/'
    bool extra_exists = false;   // program_folder + "extra/" is a folder
    bool extra_writable = false; // ... and this user may create files in it
    std::string xdg_config_home; // the environment's values, "" when unset
    std::string xdg_data_home;
    std::string home; // home_folder()
};

// The rules:
// - a writable extra/ beside the program: everything in it, as portable_locations says;
// - otherwise the data comes from that extra/ when it exists (a read-only portable copy),
//   else from the installation's share/orvix/extra/ (found from the program folder, so an
//   installed tree can be moved); the preferences file is
//   $XDG_CONFIG_HOME/orvix/prefs.prf, and the user's own language files in
//   $XDG_DATA_HOME/orvix/languages/ are offered after the shipped ones. An unset, empty or
//   relative XDG variable stands for ~/.config or ~/.local/share (xdg_base_folder's rule).
Locations find_locations(const LocationFacts& facts);

// Everything under program_folder + "extra/": the build tree and portable copies.
Locations portable_locations(const std::string& program_folder);

// The facts of this process for the program folder given.
LocationFacts system_location_facts(const std::string& program_folder);

// The shipped default preferences that a user's first run starts from: the data folder's
// prefs.prf when the preferences file lies elsewhere and nothing stands at its path yet;
// otherwise "" (the preferences file itself is read).
std::string first_run_prefs(const Locations& where);

} // namespace orvix
