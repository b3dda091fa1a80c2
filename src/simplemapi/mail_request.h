// A Simple MAPI message read into plain values, and the argument vector that hands it to
// xdg-email.
#pragma once

#include "simplemapi/mapi.h"

#include <string>
#include <string_view>
#include <vector>

namespace orvix::simplemapi {

struct Recipient {
    ULONG recipient_class = MAPI_TO;
    std::string address;
};

struct MailRequest {
    std::vector<Recipient> recipients;
    std::string subject;
    std::string body;                     // line breaks as '\n'
    std::vector<std::string> attachments; // absolute paths of readable files
};

// Reads the message: SUCCESS_SUCCESS, or the MAPI code of the first thing that keeps it from
// being sent (MAPI_E_BAD_RECIPTYPE, MAPI_E_ATTACHMENT_NOT_FOUND, MAPI_E_ATTACHMENT_OPEN_FAILURE,
// MAPI_E_INSUFFICIENT_MEMORY).
ULONG read_message(const MapiMessage& message, MailRequest& request);

// A recipient "Display name <address>" whose display name holds a character that would split
// or end it (a comma, a semicolon, a quote...) gets that name quoted as RFC 5322 writes it,
// so a client reads one recipient: "Lefèvre, Zoë" <zoe@example.org>. Anything else stays as
// it is.
std::string with_quoted_display_name(const std::string& recipient);

// The message as one mailto link: the first To recipient in its path, the other recipients,
// the subject, the body and (with_attachments) the files as percent-encoded fields.
std::string mailto_url(const MailRequest& request, bool with_attachments);

// xdg-email's arguments after the program name. Every value is data that follows its option
// (or, for a plain address, stands where xdg-email takes an address), so nothing a user typed
// can be read as an option. When a value is one xdg-email's own shell code would rewrite (it
// passes values through echo, which turns backslash sequences into control characters and
// drops trailing line breaks), the whole message travels as one mailto link instead, which
// xdg-email hands on unchanged.
std::vector<std::string> xdg_email_arguments(const MailRequest& request);

// Claws Mail's own arguments after its name: the message as a link to compose, and every file
// after --attach (a link reaches Claws with one file at most).
std::vector<std::string> claws_mail_arguments(const MailRequest& request);

// RFC 3986 percent-encoding of every byte but the unreserved ones and '/' and '@'; a line
// break becomes %0D%0A, as mailto bodies carry them.
std::string percent_encoded(std::string_view text);

} // namespace orvix::simplemapi
