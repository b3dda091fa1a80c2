#include "platform/tasks.h"

#include <algorithm>
#include <utility>

namespace orvix {

void InlineTasks::post(std::function<void()> task) {
    try {
        task();
    } catch (...) {
        if (!m_error)
            m_error = std::current_exception();
    }
}

void InlineTasks::wait() {
    if (std::exception_ptr error = std::exchange(m_error, nullptr))
        std::rethrow_exception(error);
}

WorkerTasks::WorkerTasks(int threads, int max_pending)
    : m_max_pending(static_cast<size_t>(std::max(1, max_pending))) {
    for (int i = 0; i < std::max(1, threads); ++i)
        m_threads.emplace_back([this] { work(); });
}

WorkerTasks::~WorkerTasks() {
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

int WorkerTasks::threads_for_this_machine() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

void WorkerTasks::post(std::function<void()> task) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_tasks.size() < m_max_pending; });
    m_tasks.push_back(std::move(task));
    lock.unlock();
    m_changed.notify_all();
}

void WorkerTasks::wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_tasks.empty() && m_running == 0; });
    if (std::exception_ptr error = std::exchange(m_error, nullptr))
        std::rethrow_exception(error);
}

void WorkerTasks::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_tasks.empty() || m_closing; });
        if (m_tasks.empty())
            return;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        ++m_running;
        lock.unlock();
        m_changed.notify_all(); // room for the next post
        std::exception_ptr error;
        try {
            task();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        --m_running;
        if (error && !m_error)
            m_error = error;
        m_changed.notify_all();
    }
}

} // namespace orvix
