// The desktop's thumbnail cache filled behind a transfer: the transfer draws the grid's small
// thumbnails only, so the copy never waits for the larger ones; they are drawn here afterwards,
// one picture at a time, on a thread that runs only when the machine has nothing else to do.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace orvix {

class CacheFiller {
public:
    CacheFiller();
    // Stops after the picture in hand: the pictures still waiting get no cache thumbnails,
    // which file managers make when they need them.
    ~CacheFiller();
    CacheFiller(const CacheFiller&) = delete;
    CacheFiller& operator=(const CacheFiller&) = delete;

    // Queues the pictures; those whose cache thumbnails are already valid are passed over.
    void add(const std::vector<std::string>& pictures);
    // Waits until every picture queued so far has been handled.
    void wait_until_idle();

private:
    void work(const std::stop_token& stop);

    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::condition_variable m_idle;
    std::deque<std::string> m_waiting;
    bool m_busy = false;
    // Last, so the thread stops before what it uses goes.
    std::jthread m_thread;
};

} // namespace orvix
