// One mail handed to the mail system's MAPISendMail: the message record with its
// recipients and files, the library that serves it, and the prompts when it fails.
#pragma once

#include "component/abi.h"
#include "platform/dialogs.h"
#include "simplemapi/mapi.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace orvix::sendix {

// Last-error values of a session.
enum LastError : int {
    no_error = 0,
    library_not_loaded = 1,
    no_send_entry_point = 2,
    to_recipient_not_added = 3,
    cc_recipient_not_added = 4,
    attachment_not_added = 5,
};

// The mail library every session loads: the simplemapi library beside this component's own
// library, unless a test names another (an empty path restores the default).
std::string mail_library_path();
void set_mail_library_path(const std::string& path);

// Each text standing between a double quote and the next one, in order; text outside the
// pairs and an unpaired last quote with what follows it are ignored.
std::vector<std::string> quoted_texts(const std::string& text);

// The program's text for a key in the user's language, or the fallback given.
using Texts = std::function<std::string(const std::string& key, const std::string& fallback)>;
std::string own_text(const std::string& key, const std::string& fallback);

class MapiSession {
public:
    // Loads the mail library when no session holds it yet and looks MAPISendMail up; on
    // failure shows the matching prompt through prompts and sets the last error.
    // site (may be null) is the host's, to make the send modal for the application; texts
    // gives the prompt of a failed send in the program's language.
    MapiSession(Dialogs& prompts, orvix_site* site, Texts texts = own_text);
    // Releases the mail library when no other session holds it and frees every record.
    ~MapiSession();
    MapiSession(const MapiSession&) = delete;
    MapiSession& operator=(const MapiSession&) = delete;

    // The library and its MAPISendMail are there.
    bool ready() const { return m_send != nullptr; }
    int last_error() const { return m_last_error; }

    // recipient_class MAPI_TO or MAPI_CC; a record that cannot be added is skipped.
    void add_recipient(const std::string& name, ULONG recipient_class);
    void set_subject(const std::string& subject);
    void add_file(const std::string& path);
    void set_body(const std::string& body);

    // Gives every file a trailing space of the body to stand on, calls MAPISendMail with the
    // application's windows disabled (as far as the host disables them for the call), and
    // prompts when it failed for another reason than the user's cancel or a logon failure.
    // The mail system's result.
    ULONG send(FLAGS flags);

private:
    const char* keep(const std::string& text);

    Dialogs& m_prompts;
    orvix_site* m_site;
    Texts m_texts_of;
    bool m_holds_library = false;
    LPMAPISENDMAIL m_send = nullptr;
    int m_last_error = no_error;
    MapiMessage m_message{};
    MapiRecipDesc m_originator{};
    std::vector<MapiRecipDesc> m_recipients;
    std::vector<MapiFileDesc> m_files;
    std::string m_body;
    std::deque<std::string> m_texts; // private copies; their addresses never move
};

// The texts of the three prompts.
std::string no_mail_system_text();
std::string invalid_mail_system_text();
std::string send_failed_text(ULONG result, const Texts& texts = own_text);

} // namespace orvix::sendix
