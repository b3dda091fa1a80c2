#include "app/close_on_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvix {

namespace {

// Read by the handler, so it must be a lock-free atomic.
std::atomic<int> signal_pipe{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void on_termination_signal(int signal_number) {
    const int saved = errno;
    const char byte = static_cast<char>(signal_number);
    // The write end never blocks: a full pipe already holds a request to close.
    [[maybe_unused]] const ssize_t written = ::write(signal_pipe.load(), &byte, 1);
    errno = saved;
}

void install(int signal_number, struct sigaction& old) {
    struct sigaction action {};
    action.sa_handler = on_termination_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal_number, &action, &old);
}

} // namespace

CloseOnSignals::CloseOnSignals() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // without a pipe the signals keep their default action
    m_read = UniqueFd(ends[0]);
    m_write = UniqueFd(ends[1]);
    signal_pipe.store(m_write.get());
    m_notifier = new QSocketNotifier(m_read.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CloseOnSignals::signal_arrived);
    install(SIGTERM, m_old_term);
    install(SIGINT, m_old_int);
}

CloseOnSignals::~CloseOnSignals() {
    if (!m_write.valid())
        return;
    ::sigaction(SIGTERM, &m_old_term, nullptr);
    ::sigaction(SIGINT, &m_old_int, nullptr);
    signal_pipe.store(-1);
}

void CloseOnSignals::close_on_signal(QWidget* window) {
    m_window = window;
    // A request that came during start-up is served once the event loop runs, so that
    // ending the loop then ends the program.
    if (m_pending)
        QTimer::singleShot(0, this, &CloseOnSignals::close_window);
}

void CloseOnSignals::signal_arrived() {
    char bytes[64];
    while (::read(m_read.get(), bytes, sizeof bytes) > 0) {
    }
    if (m_window)
        close_window();
    else
        m_pending = true;
}

void CloseOnSignals::close_window() {
    m_pending = false;
    if (m_window)
        m_window->close();
    // A window asleep in the notification area is hidden, and closing a hidden window
    // does not end the loop by itself.
    QCoreApplication::quit();
}

} // namespace orvix
