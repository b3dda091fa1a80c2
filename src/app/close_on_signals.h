// SIGTERM (a desktop logout, a service manager) and SIGINT (Ctrl+C in a terminal) close
// the main window as the user would, so its preferences are written and its thumbnail
// folder removed, and then end the event loop.
#pragma once

#include "fs/file_io.h"

#include <QObject>
#include <QPointer>

#include <csignal>

class QSocketNotifier;
class QWidget;

namespace orvix {

class CloseOnSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; one instance at a time. A signal that arrives before
    // close_on_signal names the window waits until it does.
    CloseOnSignals();
    // Puts the handlers that were there before back.
    ~CloseOnSignals() override;
    CloseOnSignals(const CloseOnSignals&) = delete;
    CloseOnSignals& operator=(const CloseOnSignals&) = delete;

    void close_on_signal(QWidget* window);

private:
    void signal_arrived();
    void close_window();

    // The handler only writes the signal's number into this pipe, the one thing it may
    // safely do; the window is closed from the event loop that reads it.
    UniqueFd m_read;
    UniqueFd m_write;
    QSocketNotifier* m_notifier = nullptr;
    QPointer<QWidget> m_window;
    bool m_pending = false;
    struct sigaction m_old_term {};
    struct sigaction m_old_int {};
};

} // namespace orvix
