// Starting xdg-email with an argument vector (never through a shell) and telling what
// became of it in Simple MAPI's terms.
#pragma once

#include "simplemapi/mapi.h"

#include <string>
#include <vector>

namespace orvix::simplemapi {

// The executable name along $PATH (the usual system path when it is unset), or name itself
// when it is an absolute path to one; "" when there is none.
std::string find_program(const std::string& name);
std::string find_xdg_email();

// What program prints on its standard output when it ends with status 0; "" otherwise.
std::string output_of(const std::string& program, const std::vector<std::string>& args);

// The program the desktop opens mailto links with, found as xdg-email finds it (xdg-mime's
// default for x-scheme-handler/mailto and that desktop file's Exec command): its command name
// ("claws-mail") and executable. Empty when $MAILER overrides the choice or none is known.
struct MailHandler {
    std::string name;
    std::string program;
};
MailHandler mailto_handler();

// Runs program (xdg-email or a mail client) with args after its name and waits for it to end,
// however long that takes; never through a shell. The process is not the caller's child, so
// nothing of the caller's reaps it by accident. Its exit status as a MAPI code:
//   xdg-email: 0 SUCCESS_SUCCESS; 2 (a file is missing) MAPI_E_ATTACHMENT_NOT_FOUND; 3 (no
//   mail client or tool to reach one) MAPI_E_NOT_SUPPORTED; 1, 4, any other status or a
//   signal MAPI_E_FAILURE;
//   a mail client: 0 SUCCESS_SUCCESS, any other status or a signal MAPI_E_FAILURE;
//   either: not startable MAPI_E_NOT_SUPPORTED; no process to be had
//   MAPI_E_INSUFFICIENT_MEMORY.
ULONG hand_over(const std::string& program, const std::vector<std::string>& args);

} // namespace orvix::simplemapi
