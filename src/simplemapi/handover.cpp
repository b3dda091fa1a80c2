#include "simplemapi/handover.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace orvix::simplemapi {

namespace {

constexpr const char* program_name = "xdg-email";
constexpr const char* default_path = "/usr/local/bin:/usr/bin:/bin";
// The watcher could not start the program at all.
constexpr int no_process = -1;

bool executable_file(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

ULONG outcome_of(int status) {
    if (status == no_process)
        return MAPI_E_INSUFFICIENT_MEMORY;
    if (!WIFEXITED(status))
        return MAPI_E_FAILURE;
    switch (WEXITSTATUS(status)) {
    case 0:
        return SUCCESS_SUCCESS;
    case 2:
        return MAPI_E_ATTACHMENT_NOT_FOUND;
    case 3:
    case 126:
    case 127:
        return MAPI_E_NOT_SUPPORTED;
    default:
        return MAPI_E_FAILURE;
    }
}

long long now_ms() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Between fork and exec only async-signal-safe calls are made: the caller may have threads.
[[noreturn]] void run_watcher(const char* path, char* const* argv, int status_fd, int stdin_fd) {
    // Detached from the caller: its parent ends at once, so the caller has nothing to reap
    // and the mail client may outlive the wait.
    const pid_t watcher = ::fork();
    if (watcher != 0)
        ::_exit(watcher < 0 ? 1 : 0);

    // The program starts with default signal handling, whatever the caller had set up.
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    ::sigaction(SIGCHLD, &default_action, nullptr);
    ::sigaction(SIGPIPE, &default_action, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    const pid_t client = ::fork();
    if (client == 0) {
        if (stdin_fd >= 0)
            ::dup2(stdin_fd, STDIN_FILENO);
        ::execve(path, argv, environ);
        ::_exit(127);
    }
    int status = no_process;
    if (client > 0) {
        while (::waitpid(client, &status, 0) < 0 && errno == EINTR) {
        }
    }
    ssize_t written;
    do {
        written = ::write(status_fd, &status, sizeof status);
    } while (written < 0 && errno == EINTR);
    ::_exit(0);
}

} // namespace

std::string find_xdg_email() {
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : default_path;
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        // An empty entry would mean the current folder, which is nobody's choice here.
        if (!folder.empty() && folder.front() == '/') {
            const std::string candidate = folder + "/" + program_name;
            if (executable_file(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

ULONG hand_over(const std::string& program, const std::vector<std::string>& args, int wait_ms) {
    std::vector<std::string> storage;
    storage.reserve(args.size() + 1);
    storage.emplace_back(program_name);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return MAPI_E_INSUFFICIENT_MEMORY;
    const int stdin_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t first = ::fork();
    if (first == 0)
        run_watcher(program.c_str(), argv.data(), fds[1], stdin_fd);
    ::close(fds[1]);
    if (stdin_fd >= 0)
        ::close(stdin_fd);
    if (first < 0) {
        ::close(fds[0]);
        return MAPI_E_INSUFFICIENT_MEMORY;
    }
    int first_status = 0;
    while (::waitpid(first, &first_status, 0) < 0 && errno == EINTR) {
    }

    int status = no_process;
    ssize_t got = -1;
    pollfd ready{fds[0], POLLIN, 0};
    const long long deadline = now_ms() + wait_ms;
    for (;;) {
        const long long left = deadline - now_ms();
        const int polled = ::poll(&ready, 1, left > 0 ? static_cast<int>(left) : 0);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled == 0) {
            // The client is still at work with the message open: it has it.
            ::close(fds[0]);
            return SUCCESS_SUCCESS;
        }
        if (polled > 0) {
            do {
                got = ::read(fds[0], &status, sizeof status);
            } while (got < 0 && errno == EINTR);
        }
        break;
    }
    ::close(fds[0]);
    if (got != static_cast<ssize_t>(sizeof status))
        return MAPI_E_INSUFFICIENT_MEMORY;
    return outcome_of(status);
}

} // namespace orvix::simplemapi
