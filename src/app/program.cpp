#include "app/program.h"

#include "app/form1.h"
#include "fs/fs.h"
#include "mail/mail_preparation.h"
#include "platform/qt/tray.h"

namespace orvix {

std::unique_ptr<Form1> Main(const StartUp& start, std::unique_ptr<TrayIcon> tray,
                            Desktop& desktop) {
    ProgramState state;
    state.locations = start.locations;
    state.thumbs_dir = add_trailing_separator(start.thumbs_dir);
    state.system_tables = start.system_tables;
    // A folder that cannot be made is not reported: thumbnails then fail quietly.
    make_path(state.thumbs_dir);
    // Mails handed to the mail client keep their pictures a day for it to read them.
    remove_old_mail_folders(mail_folder_root(), std::time(nullptr));
    state.prefs_text = load_prefs(state.locations);
    state.language_names =
        load_language(state.locations, state.prefs_text, state.language, start.desktop_languages);

    auto window = std::make_unique<Form1>(std::move(state), std::move(tray), desktop);
    window->updatetabs();
    if (start.source)
        window->type_source(*start.source);
    window->update();
    if (window->starts_asleep())
        window->go_asleep();
    else
        window->show();
    return window;
}

std::string new_thumbs_dir() {
    const std::string folder = make_private_temp_folder("orvix-thumbs");
    return folder.empty() ? temp_folder() + "orvix-thumbs/" : folder;
}

} // namespace orvix
