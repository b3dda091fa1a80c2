// Stands in for xdg-email in tests: appends its arguments to the file named by
// ORVIX_FAKE_XDG_LOG (one line a call, each argument as "<length>:<bytes>"), sleeps
// ORVIX_FAKE_XDG_SLEEP_MS, waits until the file named by ORVIX_FAKE_XDG_WAIT_FOR exists (a
// mail program that keeps xdg-email until the test lets it go), then ends with
// ORVIX_FAKE_XDG_EXIT (a number, or "signal" to be killed by SIGKILL).
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>

int main(int argc, char** argv) {
    if (const char* log = std::getenv("ORVIX_FAKE_XDG_LOG")) {
        std::string record;
        for (int i = 1; i < argc; ++i)
            record += std::to_string(std::strlen(argv[i])) + ":" + argv[i];
        std::ofstream(log, std::ios::binary | std::ios::app) << record << '\n';
    }
    if (const char* sleep = std::getenv("ORVIX_FAKE_XDG_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleep)));
    if (const char* gate = std::getenv("ORVIX_FAKE_XDG_WAIT_FOR")) {
        struct stat info {};
        while (::stat(gate, &info) != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const char* exit_text = std::getenv("ORVIX_FAKE_XDG_EXIT");
    if (exit_text && std::strcmp(exit_text, "signal") == 0)
        std::raise(SIGKILL);
    return exit_text ? std::atoi(exit_text) : 0;
}
