// How long the event loop went without serving a 10 ms timer: the longest stretch the
// window's thread was blocked while something ran.
#pragma once

#include <QTimer>

#include <algorithm>
#include <chrono>

class GapMeter {
public:
    GapMeter() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            m_longest = std::max(m_longest, milliseconds(now - m_last));
            m_last = now;
        });
    }
    void start() {
        m_last = Clock::now();
        m_longest = 0;
        m_timer.start();
    }
    // The longest gap in milliseconds, the one still open included.
    double stop() {
        m_timer.stop();
        return std::max(m_longest, milliseconds(Clock::now() - m_last));
    }

private:
    using Clock = std::chrono::steady_clock;
    static double milliseconds(Clock::duration span) {
        return std::chrono::duration<double, std::milli>(span).count();
    }

    QTimer m_timer;
    Clock::time_point m_last;
    double m_longest = 0;
};
