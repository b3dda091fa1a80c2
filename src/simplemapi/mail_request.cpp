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

std::string address_of(const MapiRecipDesc& recipient) {
    std::string address = recipient.lpszAddress ? recipient.lpszAddress : "";
    if (starts_with_ignoring_case(address, "smtp:"))
        address.erase(0, 5);
    if (address.empty() && recipient.lpszName)
        address = recipient.lpszName;
    return address;
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

std::vector<std::string> xdg_email_arguments(const MailRequest& request) {
    // Every value given as text is UTF-8; without this xdg-email converts from the locale's
    // character set, and in the C locale any non-ASCII byte makes that fail.
    std::vector<std::string> args = {"--utf8"};
    std::string encoded;
    auto encode = [&encoded](const char* field, const std::string& value) {
        encoded += (encoded.empty() ? "" : "&") + std::string(field) + "=" + percent_encoded(value);
    };
    for (const Recipient& recipient : request.recipients) {
        if (rewritten_by_xdg_email(recipient.address))
            encode(field_of(recipient.recipient_class), recipient.address);
    }
    if (rewritten_by_xdg_email(request.subject))
        encode("subject", request.subject);
    if (rewritten_by_xdg_email(request.body))
        encode("body", request.body);
    for (const std::string& path : request.attachments) {
        if (rewritten_by_xdg_email(path))
            encode("attach", path);
    }
    // First, so the addresses that follow are added to it rather than replaced by it.
    if (!encoded.empty())
        args.push_back("mailto:?" + encoded);

    for (const Recipient& recipient : request.recipients) {
        if (rewritten_by_xdg_email(recipient.address))
            continue;
        if (recipient.recipient_class != MAPI_TO || !plain_address(recipient.address))
            args.push_back(option_of(recipient.recipient_class));
        args.push_back(recipient.address);
    }
    // xdg-email refuses an option with an empty value; an empty field is simply left out.
    if (!request.subject.empty() && !rewritten_by_xdg_email(request.subject)) {
        args.push_back("--subject");
        args.push_back(request.subject);
    }
    if (!request.body.empty() && !rewritten_by_xdg_email(request.body)) {
        args.push_back("--body");
        args.push_back(request.body);
    }
    for (const std::string& path : request.attachments) {
        if (rewritten_by_xdg_email(path))
            continue;
        args.push_back("--attach");
        args.push_back(path);
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
