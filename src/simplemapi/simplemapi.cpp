// The mail system's entry point: a Simple MAPI message handed to the user's own mail client
// through xdg-email, which opens it in a compose window.
#include "simplemapi/handover.h"
#include "simplemapi/mail_request.h"
#include "simplemapi/mapi.h"

#include <new>

extern "C" ULONG MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage lpMessage, FLAGS, ULONG) {
    using namespace orvix::simplemapi;
    if (!lpMessage)
        return MAPI_E_FAILURE;
    try {
        MailRequest request;
        const ULONG read = read_message(*lpMessage, request);
        if (read != SUCCESS_SUCCESS)
            return read;
        // A link reaches Claws Mail with one attachment at most: it gets its files on its
        // own command line. Every other client reads what xdg-email hands it whole.
        const MailHandler handler = mailto_handler();
        if (handler.name == "claws-mail")
            return hand_over(handler.program, claws_mail_arguments(request));
        const std::string program = find_xdg_email();
        if (program.empty())
            return MAPI_E_NOT_SUPPORTED;
        return hand_over(program, xdg_email_arguments(request));
    } catch (const std::bad_alloc&) {
        return MAPI_E_INSUFFICIENT_MEMORY;
    }
}
