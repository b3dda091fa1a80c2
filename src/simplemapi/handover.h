// Starting xdg-email with an argument vector (never through a shell) and telling what
// became of it in Simple MAPI's terms.
#pragma once

#include "simplemapi/mapi.h"

#include <string>
#include <vector>

namespace orvix::simplemapi {

// The first executable "xdg-email" along $PATH (the usual system path when it is unset);
// "" when there is none.
std::string find_xdg_email();

// Runs program with args (after its name) and waits up to wait_ms for it to end. Its exit
// status, as a MAPI code:
//   0 SUCCESS_SUCCESS; 2 (a file is missing) MAPI_E_ATTACHMENT_NOT_FOUND; 3 (no mail client
//   or tool to reach one) MAPI_E_NOT_SUPPORTED; 1, 4, any other status or a signal
//   MAPI_E_FAILURE; not startable MAPI_E_NOT_SUPPORTED; no process to be had
//   MAPI_E_INSUFFICIENT_MEMORY.
// Still running after wait_ms means the mail client has the message open (a client that
// stays in the foreground until its window closes): SUCCESS_SUCCESS, and the process is
// left to run on its own, never reaped by nor tied to the caller.
ULONG hand_over(const std::string& program, const std::vector<std::string>& args, int wait_ms);

} // namespace orvix::simplemapi
