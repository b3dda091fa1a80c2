#include "transfer/transfer_rate.h"

#include <cmath>
#include <cstdio>

namespace orvix {

namespace {

// Less than this gives figures that say more about one picture than about the run.
constexpr double kMinimumSpan = 1.0;

} // namespace

void TransferRate::start(double now, int64_t total) {
    m_total = total;
    m_samples.assign(1, Sample{now, 0});
    m_paused_at.reset();
}

void TransferRate::pause(double now) {
    if (!m_paused_at)
        m_paused_at = now;
}

void TransferRate::resume(double now) {
    if (!m_paused_at)
        return;
    // Moving every sample on by the pause leaves the run as if it had not waited at all.
    const double waited = now - *m_paused_at;
    m_paused_at.reset();
    for (Sample& sample : m_samples)
        sample.time += waited;
}

void TransferRate::add(double now, int64_t done) {
    if (m_samples.empty())
        start(now, m_total);
    m_samples.push_back({now, done});
    // Keep one sample at or before the window's start, so the window spans its full length.
    while (m_samples.size() > 2 && m_samples[1].time <= now - m_window)
        m_samples.pop_front();
}

const TransferRate::Sample& TransferRate::anchor(double now) const {
    size_t i = 0;
    while (i + 1 < m_samples.size() && m_samples[i + 1].time <= now - m_window)
        ++i;
    return m_samples[i];
}

std::optional<double> TransferRate::bytes_per_second(double now) const {
    if (m_samples.size() < 2)
        return std::nullopt;
    const Sample& from = anchor(now);
    const double span = now - from.time;
    if (span < kMinimumSpan)
        return std::nullopt;
    return static_cast<double>(m_samples.back().done - from.done) / span;
}

std::optional<double> TransferRate::seconds_left(double now) const {
    const std::optional<double> speed = bytes_per_second(now);
    if (!speed || *speed <= 0)
        return std::nullopt;
    const int64_t left = m_total - m_samples.back().done;
    return left > 0 ? static_cast<double>(left) / *speed : 0.0;
}

std::string time_left_text(double seconds) {
    const long long total = seconds > 0 ? static_cast<long long>(std::ceil(seconds)) : 0;
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long secs = total % 60;
    char text[40];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, secs);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, secs);
    return text;
}

} // namespace orvix
