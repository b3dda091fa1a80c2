#include "session/cache_filler.h"

#include "session/pictures.h"
#include "thumbcache/thumbcache.h"

#include <sys/resource.h>
#include <unistd.h>

namespace orvix {

namespace {

// The next transfer's copy and the window's own thumbnails go first. Not the idle class:
// starved on a busy machine, the picture in hand would hold up the window's closing.
void run_behind_the_rest() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
}

bool cache_is_valid(const std::string& picture) {
    return !cached_thumbnail(picture, CacheSize::Normal).empty() &&
           !cached_thumbnail(picture, CacheSize::Large).empty();
}

} // namespace

CacheFiller::CacheFiller() : m_thread([this](const std::stop_token& stop) { work(stop); }) {}

// The thread is stopped and joined by its own end, before the queue it reads goes.
CacheFiller::~CacheFiller() = default;

void CacheFiller::add(const std::vector<std::string>& pictures) {
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.insert(m_waiting.end(), pictures.begin(), pictures.end());
    }
    m_wake.notify_all();
}

void CacheFiller::wait_until_idle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_waiting.empty() && !m_busy; });
}

void CacheFiller::work(const std::stop_token& stop) {
    run_behind_the_rest();
    for (;;) {
        std::string picture;
        {
            std::unique_lock lock(m_mutex);
            m_busy = false;
            if (m_waiting.empty())
                m_idle.notify_all();
            if (!m_wake.wait(lock, stop, [this] { return !m_waiting.empty(); }) ||
                stop.stop_requested())
                return;
            picture = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_busy = true;
        }
        if (!cache_is_valid(picture))
            make_cache_thumbnails(picture);
    }
}

} // namespace orvix
