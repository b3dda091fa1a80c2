#include "mailctl/mapi_session.h"

#include "component/library.h"
#include "component/server.h"
#include "component/site.h"
#include "fs/fs.h"

#include <mutex>
#include <new>
#include <optional>

namespace orvix::sendix {

namespace {

constexpr const char* send_entry_point = "MAPISendMail";

// The process's one handle of the mail library: loaded by the first session that needs it,
// released when the last session ends. Mails are handed over on worker threads, so two
// sessions may overlap: one must not close the library under the other.
struct MailLibrary {
    std::mutex mutex;
    std::optional<component::SharedLibrary> library;
    int sessions = 0;
};

MailLibrary& mail_library() {
    static MailLibrary library;
    return library;
}

std::string with_code(std::string text, ULONG code) {
    const size_t marker = text.find("#1");
    if (marker != std::string::npos)
        text.replace(marker, 2, std::to_string(code));
    return text;
}

std::string& library_path_override() {
    static std::string path;
    return path;
}

void prompt(Dialogs& prompts, const std::string& text) {
    prompts.message_box(text, "", Icon::Exclamation, Buttons::Ok);
}

} // namespace

std::string mail_library_path() {
    if (!library_path_override().empty())
        return library_path_override();
    return parent_folder(component::this_library_path()) + ORVIX_MAIL_LIBRARY_NAME;
}

void set_mail_library_path(const std::string& path) {
    library_path_override() = path;
}

std::vector<std::string> quoted_texts(const std::string& text) {
    std::vector<std::string> texts;
    size_t at = 0;
    for (;;) {
        const size_t open = text.find('"', at);
        if (open == std::string::npos)
            break;
        const size_t close = text.find('"', open + 1);
        if (close == std::string::npos)
            break;
        texts.push_back(text.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    return texts;
}

std::string no_mail_system_text() {
    return "The mail system could not be started, so no mail was sent.\n"
           "Its library (" +
           mail_library_path() + ") is missing or damaged; installing Orvix again mends it.";
}

std::string invalid_mail_system_text() {
    return "The mail system's library is not a valid mail system (it offers no MAPISendMail), "
           "so no mail was sent.";
}

std::string send_failed_text(ULONG result, const Texts& texts) {
    switch (result) {
    case MAPI_E_NOT_SUPPORTED:
        return texts("mail_no_client",
                     "No mail program could be reached: check that a mail program is chosen to "
                     "open e-mail links.");
    case MAPI_E_ATTACHMENT_NOT_FOUND:
    case MAPI_E_ATTACHMENT_OPEN_FAILURE:
        return texts("mail_file_unreadable",
                     "Your mail program could not take the mail: an attached picture could not "
                     "be read.");
    default:
        return with_code(
            texts("mail_send_failed", "Your mail program could not take the mail (error #1)."),
            result);
    }
}

std::string own_text(const std::string&, const std::string& fallback) {
    return fallback;
}

MapiSession::MapiSession(Dialogs& prompts, orvix_site* site, Texts texts)
    : m_prompts(prompts), m_site(site), m_texts_of(std::move(texts)) {
    m_message.lpOriginator = &m_originator;
    MailLibrary& shared = mail_library();
    {
        const std::lock_guard lock(shared.mutex);
        if (!shared.library || !shared.library->loaded()) {
            shared.library.emplace(mail_library_path());
            if (!shared.library->loaded())
                shared.library.reset();
        }
        if (shared.library) {
            ++shared.sessions;
            m_holds_library = true;
            m_send = shared.library->function<LPMAPISENDMAIL>(send_entry_point);
        }
    }
    if (!m_holds_library) {
        prompt(m_prompts, no_mail_system_text());
        m_last_error = library_not_loaded;
        return;
    }
    if (!m_send) {
        prompt(m_prompts, invalid_mail_system_text());
        m_last_error = no_send_entry_point;
    }
}

MapiSession::~MapiSession() {
    if (!m_holds_library)
        return;
    MailLibrary& shared = mail_library();
    const std::lock_guard lock(shared.mutex);
    if (--shared.sessions == 0)
        shared.library.reset();
}

const char* MapiSession::keep(const std::string& text) {
    return m_texts.emplace_back(text).c_str();
}

void MapiSession::add_recipient(const std::string& name, ULONG recipient_class) {
    try {
        MapiRecipDesc recipient{};
        recipient.ulRecipClass = recipient_class;
        recipient.lpszName = const_cast<char*>(keep(name));
        recipient.lpszAddress = const_cast<char*>(keep(""));
        m_recipients.push_back(recipient);
    } catch (const std::bad_alloc&) {
        m_last_error = recipient_class == MAPI_CC ? cc_recipient_not_added : to_recipient_not_added;
    }
}

void MapiSession::set_subject(const std::string& subject) {
    m_message.lpszSubject = const_cast<char*>(keep(subject));
}

void MapiSession::add_file(const std::string& path) {
    try {
        MapiFileDesc file{};
        file.lpszPathName = const_cast<char*>(keep(path));
        file.lpszFileName = const_cast<char*>(keep(""));
        m_files.push_back(file);
    } catch (const std::bad_alloc&) {
        m_last_error = attachment_not_added;
    }
}

void MapiSession::set_body(const std::string& body) {
    m_body = body;
}

ULONG MapiSession::send(FLAGS flags) {
    if (!ready())
        return MAPI_E_FAILURE;
    // Each file is shown where its own trailing space of the body stands.
    const size_t length = m_body.size();
    m_body.append(m_files.size(), ' ');
    for (size_t i = 0; i < m_files.size(); ++i)
        m_files[i].nPosition = static_cast<ULONG>(length + i);
    m_message.lpszNoteText = m_body.data();
    m_message.nRecipCount = static_cast<ULONG>(m_recipients.size());
    m_message.lpRecips = m_recipients.empty() ? nullptr : m_recipients.data();
    m_message.nFileCount = static_cast<ULONG>(m_files.size());
    m_message.lpFiles = m_files.empty() ? nullptr : m_files.data();

    ULONG result;
    {
        component::ModalScope modal(m_site);
        result = m_send(0, modal.owner_window(), &m_message, MAPI_LOGON_UI | flags, 0);
    }
    if (result != SUCCESS_SUCCESS && result != MAPI_USER_ABORT && result != MAPI_E_LOGIN_FAILURE)
        prompt(m_prompts, send_failed_text(result, m_texts_of));
    return result;
}

} // namespace orvix::sendix
