#include "simplemapi/mail_request.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace orvix::simplemapi {

namespace {

constexpr ULONG no_position = 0xFFFFFFFFu;
// Characters that a display name may hold only inside a quoted string.
constexpr const char* address_specials = "()<>[]:;@\\,.\"";

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
        if (c != prefix[i])
            return false;
    }
    return true;
}

// CR LF and a lone CR become LF: xdg-email ends every line with CR LF itself.
std::string with_unix_line_breaks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            result += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

// The note text without the characters that stand for attachments.
std::string body_without_placeholders(const MapiMessage& message) {
    std::string body = message.lpszNoteText ? message.lpszNoteText : "";
    std::vector<size_t> positions;
    for (ULONG i = 0; i < message.nFileCount; ++i) {
        const ULONG position = message.lpFiles[i].nPosition;
        if (position != no_position && position < body.size())
            positions.push_back(position);
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (auto it = positions.rbegin(); it != positions.rend(); ++it)
        body.erase(*it, 1);
    return with_unix_line_breaks(body);
}

std::string trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::string address_of(const MapiRecipDesc& recipient) {
    std::string address = recipient.lpszAddress ? recipient.lpszAddress : "";
    if (starts_with_ignoring_case(address, "smtp:"))
        address.erase(0, 5);
    if (address.empty() && recipient.lpszName)
        address = recipient.lpszName;
    return with_quoted_display_name(address);
}

ULONG attachment_path(const MapiFileDesc& file, std::string& path) {
    if (!file.lpszPathName || !*file.lpszPathName)
        return MAPI_E_ATTACHMENT_NOT_FOUND;
    char resolved[PATH_MAX];
    if (!::realpath(file.lpszPathName, resolved))
        return MAPI_E_ATTACHMENT_NOT_FOUND;
    struct stat info {};
    if (::stat(resolved, &info) != 0 || !S_ISREG(info.st_mode) || ::access(resolved, R_OK) != 0)
        return MAPI_E_ATTACHMENT_OPEN_FAILURE;
    path = resolved;
    return SUCCESS_SUCCESS;
}

// Values xdg-email would damage: it echoes each one through the shell, whose echo turns
// backslash sequences into control characters (and "\c" cuts the rest), takes a lone "-n"
// as its own option and drops trailing line breaks.
bool rewritten_by_xdg_email(std::string_view text) {
    return text.find('\\') != std::string_view::npos || text == "-n" ||
           (!text.empty() && text.back() == '\n');
}

// xdg-email takes a bare argument holding "@" as an address; one starting with "-" would be
// an option to it, and one starting with "mailto:" a whole message of its own.
bool plain_address(std::string_view address) {
    return address.find('@') != std::string_view::npos && !address.starts_with('-') &&
           !starts_with_ignoring_case(address, "mailto:");
}

const char* option_of(ULONG recipient_class) {
    switch (recipient_class) {
    case MAPI_CC:
        return "--cc";
    case MAPI_BCC:
        return "--bcc";
    default:
        return "--to";
    }
}

const char* field_of(ULONG recipient_class) {
    return option_of(recipient_class) + 2;
}

} // namespace

ULONG read_message(const MapiMessage& message, MailRequest& request) {
    try {
        request = {};
        for (ULONG i = 0; i < message.nRecipCount; ++i) {
            const MapiRecipDesc& recipient = message.lpRecips[i];
            if (recipient.ulRecipClass < MAPI_TO || recipient.ulRecipClass > MAPI_BCC)
                return MAPI_E_BAD_RECIPTYPE;
            std::string address = address_of(recipient);
            // An empty recipient leaves the field to fill in the compose window.
            if (!address.empty())
                request.recipients.push_back({recipient.ulRecipClass, std::move(address)});
        }
        request.subject = with_unix_line_breaks(message.lpszSubject ? message.lpszSubject : "");
        request.body = body_without_placeholders(message);
        for (ULONG i = 0; i < message.nFileCount; ++i) {
            std::string path;
            const ULONG result = attachment_path(message.lpFiles[i], path);
            if (result != SUCCESS_SUCCESS)
                return result;
            request.attachments.push_back(std::move(path));
        }
        return SUCCESS_SUCCESS;
    } catch (const std::bad_alloc&) {
        return MAPI_E_INSUFFICIENT_MEMORY;
    }
}

std::string with_quoted_display_name(const std::string& recipient) {
    const std::string text = trimmed(recipient);
    if (text.empty() || text.back() != '>')
        return recipient;
    const size_t open = text.rfind('<');
    if (open == std::string::npos)
        return recipient;
    const std::string display = trimmed(std::string_view(text).substr(0, open));
    const std::string address = text.substr(open);
    const bool quoted = display.size() >= 2 && display.front() == '"' && display.back() == '"';
    if (display.empty() || quoted || display.find_first_of(address_specials) == std::string::npos)
        return recipient;
    std::string result = "\"";
    for (const char c : display) {
        if (c == '"' || c == '\\')
            result += '\\';
        result += c;
    }
    return result + "\" " + address;
}

std::string mailto_url(const MailRequest& request, bool with_attachments) {
    std::string url = "mailto:";
    std::string query;
    auto add = [&query](const char* field, const std::string& value) {
        query += (query.empty() ? "?" : "&") + std::string(field) + "=" + percent_encoded(value);
    };
    bool first_to = true;
    for (const Recipient& recipient : request.recipients) {
        // The first To address stands in the link's path, where every client looks for it.
        if (first_to && recipient.recipient_class == MAPI_TO) {
            url += percent_encoded(recipient.address);
            first_to = false;
        } else {
            add(field_of(recipient.recipient_class), recipient.address);
        }
    }
    if (!request.subject.empty())
        add("subject", request.subject);
    if (!request.body.empty())
        add("body", request.body);
    if (with_attachments) {
        for (const std::string& path : request.attachments)
            add("attach", path);
    }
    return url + query;
}

std::vector<std::string> xdg_email_arguments(const MailRequest& request) {
    // Every value given as text is UTF-8; without this xdg-email converts from the locale's
    // character set, and in the C locale any non-ASCII byte makes that fail.
    std::vector<std::string> args = {"--utf8"};
    bool link_needed =
        rewritten_by_xdg_email(request.subject) || rewritten_by_xdg_email(request.body) ||
        std::any_of(request.attachments.begin(), request.attachments.end(), rewritten_by_xdg_email);
    for (const Recipient& recipient : request.recipients)
        link_needed = link_needed || rewritten_by_xdg_email(recipient.address);
    // The whole message then travels as one link, which xdg-email hands on unchanged.
    if (link_needed) {
        args.push_back(mailto_url(request, true));
        return args;
    }

    for (const Recipient& recipient : request.recipients) {
        if (recipient.recipient_class != MAPI_TO || !plain_address(recipient.address))
            args.push_back(option_of(recipient.recipient_class));
        args.push_back(recipient.address);
    }
    // xdg-email refuses an option with an empty value; an empty field is simply left out.
    if (!request.subject.empty()) {
        args.push_back("--subject");
        args.push_back(request.subject);
    }
    if (!request.body.empty()) {
        args.push_back("--body");
        args.push_back(request.body);
    }
    for (const std::string& path : request.attachments) {
        args.push_back("--attach");
        args.push_back(path);
    }
    return args;
}

std::vector<std::string> claws_mail_arguments(const MailRequest& request) {
    std::vector<std::string> args = {"--compose", mailto_url(request, false)};
    // Claws takes every path after --attach up to the next option; ours are absolute.
    if (!request.attachments.empty()) {
        args.push_back("--attach");
        args.insert(args.end(), request.attachments.begin(), request.attachments.end());
    }
    return args;
}

std::string percent_encoded(std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            result += "%0D%0A";
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '.' || c == '_' || c == '~' || c == '/' || c == '@') {
            result += static_cast<char>(c);
        } else {
            result += '%';
            result += hex[c >> 4];
            result += hex[c & 15];
        }
    }
    return result;
}

} // namespace orvix::simplemapi
