// A mail library for the tests of the mail control: MAPISendMail writes what it was given
// to the file named by ORVIX_FAKE_MAPI_LOG and returns ORVIX_FAKE_MAPI_RESULT (default 0);
// loading and unloading the library are written there too.
#include "simplemapi/mapi.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string escaped(const char* text) {
    if (!text)
        return "(null)";
    std::string result;
    for (const char* c = text; *c; ++c) {
        if (*c == '\n')
            result += "\\n";
        else if (*c == '\r')
            result += "\\r";
        else
            result += *c;
    }
    return result;
}

void log(const std::string& line) {
    if (const char* path = std::getenv("ORVIX_FAKE_MAPI_LOG"))
        std::ofstream(path, std::ios::app) << line << '\n';
}

__attribute__((constructor)) void loaded() {
    log("load");
}

__attribute__((destructor)) void unloaded() {
    log("unload");
}

} // namespace

extern "C" ULONG MAPISendMail(LHANDLE session, ULONG_PTR ui, lpMapiMessage message, FLAGS flags,
                              ULONG reserved) {
    log("send session=" + std::to_string(session) + " ui=" + std::to_string(ui) +
        " flags=" + std::to_string(flags) + " reserved=" + std::to_string(reserved));
    log("subject=" + escaped(message->lpszSubject));
    log("note=" + escaped(message->lpszNoteText));
    log("originator=" +
        std::string(message->lpOriginator && message->lpOriginator->lpszName == nullptr ? "zeroed"
                                                                                        : "set"));
    for (ULONG i = 0; i < message->nRecipCount; ++i) {
        const MapiRecipDesc& r = message->lpRecips[i];
        log("recipient=" + std::to_string(r.ulRecipClass) + "|" + escaped(r.lpszName) + "|" +
            escaped(r.lpszAddress));
    }
    for (ULONG i = 0; i < message->nFileCount; ++i) {
        const MapiFileDesc& f = message->lpFiles[i];
        log("file=" + std::to_string(f.nPosition) + "|" + escaped(f.lpszPathName) + "|" +
            escaped(f.lpszFileName));
    }
    const char* result = std::getenv("ORVIX_FAKE_MAPI_RESULT");
    return result ? static_cast<ULONG>(std::atoi(result)) : SUCCESS_SUCCESS;
}
