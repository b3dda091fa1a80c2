#include "support/mail_fakes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace orvix::test {

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// Runs a program found on PATH with arguments and no shell; its exit status.
int run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::vector<std::string> storage = args;
    for (std::string& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

template <class Read> auto wait_for(size_t count, const Read& read) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto result = read();
    while (result.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        result = read();
    }
    return result;
}

// The records of a log: one a line, each item as "<length>:<bytes>".
std::vector<std::vector<std::string>> length_prefixed_records(const std::string& log) {
    std::vector<std::vector<std::string>> records;
    const std::string text = read_file(log);
    size_t at = 0;
    while (at < text.size()) {
        std::vector<std::string> items;
        while (at < text.size() && text[at] != '\n') {
            const size_t colon = text.find(':', at);
            const size_t length = std::stoul(text.substr(at, colon - at));
            items.push_back(text.substr(colon + 1, length));
            at = colon + 1 + length;
        }
        ++at;
        records.push_back(std::move(items));
    }
    return records;
}

// Private XDG folders under dir, and a desktop environment xdg-utils treats as generic.
void use_generic_desktop(ScopedEnv& env, const TempDir& dir) {
    const std::string system = dir.folder("xdg/system");
    env.set("XDG_DATA_HOME", dir.folder("xdg/data"));
    env.set("XDG_CONFIG_HOME", dir.folder("xdg/config"));
    // No desktop files or defaults of the machine take part.
    env.set("XDG_DATA_DIRS", system);
    env.set("XDG_CONFIG_DIRS", system);
    env.set("XDG_RUNTIME_DIR", dir.folder("xdg/runtime"));
    env.set("XDG_CURRENT_DESKTOP", "X-Generic");
    for (const char* variable :
         {"MAILER", "BROWSER", "KDE_FULL_SESSION", "KDE_SESSION_VERSION",
          "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "DESKTOP_SESSION",
          "LXQT_SESSION_CONFIG", "DESKTOP", "DBUS_SESSION_BUS_ADDRESS", "XDG_UTILS_DEBUG_LEVEL"})
        env.unset(variable);
    // xdg-open asks the mailto handler only when there is a display; none is opened.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        env.set("DISPLAY", ":0");
}

} // namespace

FakeXdgEmail::FakeXdgEmail(const TempDir& dir) : m_log(dir.path() + "xdg-email.log") {
    const std::string bin = dir.folder("fake-bin");
    std::error_code ec;
    std::filesystem::create_symlink(FAKE_XDG_EMAIL, bin + "xdg-email", ec);
    EXPECT_FALSE(ec) << ec.message();
    m_env.set("PATH", bin);
    m_env.set("ORVIX_FAKE_XDG_LOG", m_log);
    m_env.unset("ORVIX_FAKE_XDG_EXIT");
    m_env.unset("ORVIX_FAKE_XDG_SLEEP_MS");
    m_env.unset("ORVIX_FAKE_XDG_WAIT_FOR");
}

std::vector<std::vector<std::string>> FakeXdgEmail::calls() const {
    return length_prefixed_records(m_log);
}

std::vector<std::vector<std::string>> FakeXdgEmail::wait_for_calls(size_t count) const {
    return wait_for(count, [this] { return calls(); });
}

std::vector<std::string> Mailto::values(const std::string& key) const {
    std::vector<std::string> result;
    const auto [first, last] = fields.equal_range(key);
    for (auto it = first; it != last; ++it)
        result.push_back(it->second);
    return result;
}

std::string percent_decoded(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            result += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

Mailto parse_mailto(const std::string& url) {
    Mailto mailto;
    std::string rest = url.rfind("mailto:", 0) == 0 ? url.substr(7) : url;
    const size_t question = rest.find('?');
    mailto.path = percent_decoded(rest.substr(0, question));
    if (question == std::string::npos)
        return mailto;
    std::istringstream query(rest.substr(question + 1));
    std::string field;
    while (std::getline(query, field, '&')) {
        const size_t equals = field.find('=');
        mailto.fields.emplace(
            field.substr(0, equals),
            equals == std::string::npos ? "" : percent_decoded(field.substr(equals + 1)));
    }
    return mailto;
}

FakeMailClient::FakeMailClient(const TempDir& dir) : m_log(dir.path() + "mail-client.log") {
    use_generic_desktop(m_env, dir);
    m_env.set("ORVIX_FAKE_MAIL_LOG", m_log);
    write_file(
        dir.path() + "xdg/data/applications/fakemail.desktop",
        "[Desktop Entry]\nType=Application\nName=Fake mail\nExec=" + std::string(FAKE_MAIL_CLIENT) +
            " %u\nMimeType=x-scheme-handler/mailto;\nTerminal=false\n");
    m_ready = run({"xdg-mime", "default", "fakemail.desktop", "x-scheme-handler/mailto"}) == 0;
}

std::vector<std::string> FakeMailClient::received(size_t count) const {
    return wait_for(count, [this] { return lines_of(read_file(m_log)); });
}

FakeDesktopMailProgram::FakeDesktopMailProgram(const TempDir& dir, const std::string& client)
    : m_log(dir.path() + client + ".log") {
    use_generic_desktop(m_env, dir);
    m_env.set("ORVIX_FAKE_MAIL_LOG", m_log);
    // A copy, not a link: xdg-email follows links to the program's real name.
    const std::string bin = dir.folder("mail-bin");
    std::error_code ec;
    std::filesystem::copy_file(FAKE_MAIL_PROGRAM, bin + client,
                               std::filesystem::copy_options::overwrite_existing, ec);
    EXPECT_FALSE(ec) << ec.message();
    const char* path = std::getenv("PATH");
    m_env.set("PATH", bin.substr(0, bin.size() - 1) + ":" + (path ? path : "/usr/bin:/bin"));
    write_file(dir.path() + "xdg/data/applications/" + client + ".desktop",
               "[Desktop Entry]\nType=Application\nName=" + client + "\nExec=" + client +
                   " %u\nMimeType=x-scheme-handler/mailto;\nTerminal=false\n");
    m_ready =
        !ec && run({"xdg-mime", "default", client + ".desktop", "x-scheme-handler/mailto"}) == 0;
}

std::vector<ComposedMail> FakeDesktopMailProgram::composed(size_t count) const {
    const auto records = wait_for(count, [this] { return length_prefixed_records(m_log); });
    std::vector<ComposedMail> mails;
    for (const std::vector<std::string>& items : records) {
        ComposedMail mail;
        for (const std::string& item : items) {
            const size_t equals = item.find('=');
            const std::string name = item.substr(0, equals);
            const std::string value = item.substr(equals + 1);
            if (name == "to")
                mail.to.push_back(value);
            else if (name == "cc")
                mail.cc.push_back(value);
            else if (name == "bcc")
                mail.bcc.push_back(value);
            else if (name == "subject")
                mail.subject.push_back(value);
            else if (name == "body")
                mail.body.push_back(value);
            else if (name == "attach")
                mail.attach.push_back(value);
            else if (name == "missing")
                mail.missing.push_back(value);
        }
        mails.push_back(std::move(mail));
    }
    return mails;
}

} // namespace orvix::test
