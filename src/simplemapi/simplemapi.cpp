// The mail system's entry point: a Simple MAPI message handed to the user's own mail client
// through xdg-email, which opens it in a compose window.
#include "simplemapi/handover.h"
#include "simplemapi/mail_request.h"
#include "simplemapi/mapi.h"

#include <atomic>
#include <new>

namespace {

std::atomic<int> handover_wait_ms{5000};

} // namespace

extern "C" ULONG MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage lpMessage, FLAGS, ULONG) {
    using namespace orvix::simplemapi;
    if (!lpMessage)
        return MAPI_E_FAILURE;
    try {
        MailRequest request;
        const ULONG read = read_message(*lpMessage, request);
        if (read != SUCCESS_SUCCESS)
            return read;
        const std::string program = find_xdg_email();
        if (program.empty())
            return MAPI_E_NOT_SUPPORTED;
        return hand_over(program, xdg_email_arguments(request), handover_wait_ms.load());
    } catch (const std::bad_alloc&) {
        return MAPI_E_INSUFFICIENT_MEMORY;
    }
}

extern "C" void simplemapi_set_handover_wait(int milliseconds) {
    handover_wait_ms = milliseconds < 0 ? 0 : milliseconds;
}
