// SPDX-License-Identifier: MIT
#include "cross_thread_log.hpp"

namespace tavik {

CrossThreadLog::CrossThreadLog(Insert insert, Wake wake)
    : m_insert(std::move(insert)), m_wake(std::move(wake)), m_owner(std::this_thread::get_id()) {}

void CrossThreadLog::appendLog(std::string_view line) {
    if (std::this_thread::get_id() == m_owner) {
        // Lines handed over earlier go first, so the list keeps the order of the calls.
        deliverPending();
        m_insert(std::string(line));
        return;
    }
    std::unique_lock lock(m_mutex);
    m_pending.emplace_back(line);
    const std::uint64_t ticket = ++m_handedOver;
    lock.unlock();
    if (m_wake) {
        m_wake();
    }
    lock.lock();
    m_delivered.wait(lock, [&] { return m_inserted >= ticket || m_ownerBlocked; });
}

void CrossThreadLog::whileBlocked(const std::function<void()>& wait) {
    {
        std::lock_guard lock(m_mutex);
        m_ownerBlocked = true;
    }
    m_delivered.notify_all();
    wait();
    {
        std::lock_guard lock(m_mutex);
        m_ownerBlocked = false;
    }
    deliverPending();
}

void CrossThreadLog::deliverPending() {
    std::unique_lock lock(m_mutex);
    while (!m_pending.empty()) {
        std::string line = std::move(m_pending.front());
        m_pending.pop_front();
        lock.unlock();
        m_insert(line);
        lock.lock();
        ++m_inserted;
    }
    lock.unlock();
    m_delivered.notify_all();
}

}  // namespace tavik
