#include "mailctl/mapi_session.h"

#include "component/library.h"
#include "component/server.h"
#include "component/site.h"
#include "fs/fs.h"

#include <new>
#include <optional>

namespace orvix::sendix {

namespace {

constexpr const char* send_entry_point = "MAPISendMail";

// The process's one handle of the mail library: loaded by the first session that needs it,
// released when a session ends.
std::optional<component::SharedLibrary>& mail_library() {
    static std::optional<component::SharedLibrary> library;
    return library;
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

std::string send_failed_text(ULONG result) {
    std::string text = "The mail could not be handed to your mail program.\n";
    switch (result) {
    case MAPI_E_NOT_SUPPORTED:
        return text + "No mail program could be reached: check that xdg-utils is installed and "
                      "that a mail program is chosen to open e-mail links.";
    case MAPI_E_ATTACHMENT_NOT_FOUND:
    case MAPI_E_ATTACHMENT_OPEN_FAILURE:
        return text + "An attached file could not be read.";
    case MAPI_E_INSUFFICIENT_MEMORY:
        return text + "The system is short of memory or processes.";
    default:
        return text + "The mail system reported error " + std::to_string(result) + ".";
    }
}

MapiSession::MapiSession(Dialogs& prompts, orvix_site* site) : m_prompts(prompts), m_site(site) {
    m_message.lpOriginator = &m_originator;
    std::optional<component::SharedLibrary>& library = mail_library();
    if (!library || !library->loaded()) {
        library.emplace(mail_library_path());
        if (!library->loaded()) {
            library.reset();
            prompt(m_prompts, no_mail_system_text());
            m_last_error = library_not_loaded;
            return;
        }
    }
    m_send = library->function<LPMAPISENDMAIL>(send_entry_point);
    if (!m_send) {
        prompt(m_prompts, invalid_mail_system_text());
        m_last_error = no_send_entry_point;
    }
}

MapiSession::~MapiSession() {
    mail_library().reset();
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
        prompt(m_prompts, send_failed_text(result));
    return result;
}

} // namespace orvix::sendix
