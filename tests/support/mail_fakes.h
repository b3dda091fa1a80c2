// The mail system's outside world in tests: a recording xdg-email on PATH, or the real
// xdg-email with a recording mail client registered as the mailto handler in private XDG
// folders.
#pragma once

#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <map>
#include <string>
#include <vector>

namespace orvix::test {

// Puts a recording xdg-email first on PATH (and nothing else there) for its lifetime.
class FakeXdgEmail {
public:
    explicit FakeXdgEmail(const TempDir& dir);

    // The exit status of the next calls; "signal" makes it die of SIGKILL.
    void set_exit(const std::string& status) { m_env.set("ORVIX_FAKE_XDG_EXIT", status); }
    void set_sleep_ms(int ms) { m_env.set("ORVIX_FAKE_XDG_SLEEP_MS", std::to_string(ms)); }
    // The next calls wait until the file path exists.
    void wait_for_file(const std::string& path) { m_env.set("ORVIX_FAKE_XDG_WAIT_FOR", path); }
    // The arguments of every call so far (after the program name).
    std::vector<std::vector<std::string>> calls() const;
    // The calls once there are at least count of them, or after a minute.
    std::vector<std::vector<std::string>> wait_for_calls(size_t count) const;

private:
    ScopedEnv m_env;
    std::string m_log;
};

struct Mailto {
    std::string path;                               // the addresses before '?', decoded
    std::multimap<std::string, std::string> fields; // decoded query values, in order
    std::vector<std::string> values(const std::string& key) const;
};

// RFC 3986 percent-decoding.
std::string percent_decoded(const std::string& text);
Mailto parse_mailto(const std::string& url);

// The real xdg-email, a recording mail client as the mailto handler, and a desktop
// environment xdg-utils treats as generic, all in private XDG folders under dir.
class FakeMailClient {
public:
    explicit FakeMailClient(const TempDir& dir);

    bool ready() const { return m_ready; }
    // The addresses the client was opened with, once there are at least count of them or
    // after a minute (a mail handed over on a busy machine may still be on its way).
    std::vector<std::string> received(size_t count = 1) const;

private:
    ScopedEnv m_env;
    std::string m_log;
    bool m_ready = false;
};

// What a mail program's compose window would hold.
struct ComposedMail {
    std::vector<std::string> to, cc, bcc;
    std::vector<std::string> subject, body; // each as often as the program got one
    std::vector<std::string> attach;        // files it read
    std::vector<std::string> missing;       // files it reported as not existing
};

// The real xdg-email with a mail program that plays thunderbird, evolution or claws-mail:
// an executable and a desktop file of that name, the desktop's default for mailto links, in
// private XDG folders under dir and first on PATH, with nothing else telling xdg-email which
// desktop runs (so it takes its generic road, the one it takes for that client on a desktop
// it does not know).
class FakeDesktopMailProgram {
public:
    FakeDesktopMailProgram(const TempDir& dir, const std::string& client);

    bool ready() const { return m_ready; }
    // The mails composed, once there are at least count of them or after a minute.
    std::vector<ComposedMail> composed(size_t count = 1) const;

private:
    ScopedEnv m_env;
    std::string m_log;
    bool m_ready = false;
};

} // namespace orvix::test
