// How fast a run goes and how long it has left, from the bytes done so far, smoothed over
// the last seconds so one slow or quick picture does not make the figures jump.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace orvix {

class TransferRate {
public:
    explicit TransferRate(double window_seconds = 5.0) : m_window(window_seconds) {}

    // A new run of total bytes, starting at now (seconds on any steady clock).
    void start(double now, int64_t total);
    // done bytes dealt with at now.
    void add(double now, int64_t done);
    // The run waits for the user from now until resume: that time counts neither in the
    // speed nor in the window. A second pause before a resume changes nothing.
    void pause(double now);
    void resume(double now);
    // Bytes a second over the last window up to now, so the figure falls while nothing
    // arrives; nullopt during the first second.
    std::optional<double> bytes_per_second(double now) const;
    // Seconds left at that speed; nullopt while the speed is unknown or 0.
    std::optional<double> seconds_left(double now) const;

private:
    struct Sample {
        double time;
        int64_t done;
    };
    // The oldest sample the window needs: the last one at or before now - window.
    const Sample& anchor(double now) const;

    double m_window;
    int64_t m_total = 0;
    std::deque<Sample> m_samples;
    std::optional<double> m_paused_at;
};

// Whole seconds, rounded up, as "m:ss" or "h:mm:ss".
std::string time_left_text(double seconds);

} // namespace orvix
