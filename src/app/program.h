// The program's start: what Main does before the main window takes over.
#pragma once

#include "fs/fs.h"
#include "settings/locations.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvix {

class Desktop;
class Form1;
class TrayIcon;

// What one run starts from.
struct StartUp {
    Locations locations;
    std::string thumbs_dir;
    // The command line's folder: it replaces the source folder of the preferences as if
    // the user had typed it.
    std::optional<std::string> source;
    // Where the card watch reads the mounted volumes.
    SystemTables system_tables;
    // The desktop's languages, most wanted first: the language of a start whose
    // preferences name none.
    std::vector<std::string> desktop_languages;
};

// Creates the thumbnail folder, reads the preferences and the language file, builds the
// main window, refreshes its status, and then either puts it to sleep in the notification
// area or shows it. The program lives as long as the returned window. desktop must
// outlive it.
std::unique_ptr<Form1> Main(const StartUp& start, std::unique_ptr<TrayIcon> tray, Desktop& desktop);

// A thumbnail folder of this run's own (mode 0700) under the system's temporary folder,
// so two users or two copies of the program never clear each other's thumbnails.
std::string new_thumbs_dir();

} // namespace orvix
