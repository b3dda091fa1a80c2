#include "simplemapi/handover.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orvix::simplemapi {

namespace {

constexpr const char* xdg_email_name = "xdg-email";
constexpr const char* default_path = "/usr/local/bin:/usr/bin:/bin";
// The watcher could not start the program at all.
constexpr int no_process = -1;

bool executable_file(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

ULONG outcome_of(int status, bool xdg_email) {
    if (status == no_process)
        return MAPI_E_INSUFFICIENT_MEMORY;
    if (!WIFEXITED(status))
        return MAPI_E_FAILURE;
    // A mail client's own status tells only success or failure.
    if (!xdg_email && WEXITSTATUS(status) != 0 && WEXITSTATUS(status) < 126)
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

std::vector<char*> argument_vector(std::vector<std::string>& storage) {
    std::vector<char*> argv;
    for (std::string& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

std::string base_name(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The first word of a desktop file's Exec line, without quotes.
std::string exec_command(const std::string& desktop_file) {
    std::ifstream in(desktop_file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with("Exec="))
            continue;
        std::string command = line.substr(5);
        if (!command.empty() && command.front() == '"') {
            const size_t close = command.find('"', 1);
            return command.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        }
        return command.substr(0, command.find_first_of(" \t"));
    }
    return {};
}

std::string data_home() {
    const char* value = std::getenv("XDG_DATA_HOME");
    if (value && *value == '/')
        return value;
    const char* home = std::getenv("HOME");
    return home && *home == '/' ? std::string(home) + "/.local/share" : std::string();
}

// The first folder + "/" + name of a colon-separated list that passes the test. Only
// absolute folders count: an empty or relative entry would mean the current folder, which
// is nobody's choice here.
std::string first_in_folders(const std::string& folders, const std::string& name,
                             const std::function<bool(const std::string&)>& test) {
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && folder.front() == '/') {
            const std::string candidate = folder + "/" + name;
            if (test(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

// The desktop file of desktop_id, looked for as xdg-utils does: the user's data folder first,
// then the system's.
std::string desktop_file_of(const std::string& desktop_id) {
    if (desktop_id.empty() || desktop_id.find('/') != std::string::npos)
        return {};
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    const std::string folders =
        data_home() + ":" + (dirs && *dirs ? std::string(dirs) : "/usr/local/share:/usr/share");
    return first_in_folders(folders, "applications/" + desktop_id, [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    });
}

// Between fork and exec only async-signal-safe calls are made: the caller may have threads.
[[noreturn]] void run_watcher(const char* path, char* const* argv, int status_fd, int stdin_fd) {
    // Detached from the caller: its parent ends at once, so the caller has nothing to reap
    // and nothing of the caller's (a handler that reaps every child) takes its status.
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

std::string find_program(const std::string& name) {
    if (name.starts_with('/'))
        return executable_file(name) ? name : std::string();
    if (name.empty() || name.find('/') != std::string::npos)
        return {};
    const char* path = std::getenv("PATH");
    return first_in_folders(path ? path : default_path, name, executable_file);
}

std::string find_xdg_email() {
    return find_program(xdg_email_name);
}

std::string output_of(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> storage;
    storage.push_back(base_name(program));
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv = argument_vector(storage);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    const int stdin_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t child = ::fork();
    if (child == 0) {
        if (stdin_fd >= 0)
            ::dup2(stdin_fd, STDIN_FILENO);
        ::dup2(fds[1], STDOUT_FILENO);
        ::execve(program.c_str(), argv.data(), environ);
        ::_exit(127);
    }
    ::close(fds[1]);
    if (stdin_fd >= 0)
        ::close(stdin_fd);
    std::string output;
    if (child > 0) {
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            output.append(buffer, static_cast<size_t>(got));
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            output.clear();
    }
    ::close(fds[0]);
    return output;
}

MailHandler mailto_handler() {
    // xdg-email then runs the $MAILER command, whatever the desktop's choice.
    const char* mailer = std::getenv("MAILER");
    if (mailer && *mailer)
        return {};
    const std::string xdg_mime = find_program("xdg-mime");
    if (xdg_mime.empty())
        return {};
    std::string desktop_id = output_of(xdg_mime, {"query", "default", "x-scheme-handler/mailto"});
    while (!desktop_id.empty() && (desktop_id.back() == '\n' || desktop_id.back() == ' '))
        desktop_id.pop_back();
    const std::string command = exec_command(desktop_file_of(desktop_id));
    const std::string program = find_program(command);
    if (program.empty())
        return {};
    return {base_name(command), program};
}

ULONG hand_over(const std::string& program, const std::vector<std::string>& args) {
    const bool xdg_email = base_name(program) == xdg_email_name;
    std::vector<std::string> storage;
    storage.reserve(args.size() + 1);
    storage.push_back(base_name(program));
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv = argument_vector(storage);

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

    // The program's own end, however long it takes: a mail program that was not running
    // yet keeps xdg-email waiting until it closes, and a failure may come late.
    int status = no_process;
    ssize_t got;
    do {
        got = ::read(fds[0], &status, sizeof status);
    } while (got < 0 && errno == EINTR);
    ::close(fds[0]);
    if (got != static_cast<ssize_t>(sizeof status))
        return MAPI_E_INSUFFICIENT_MEMORY;
    return outcome_of(status, xdg_email);
}

} // namespace orvix::simplemapi
