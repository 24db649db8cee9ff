// SPDX-License-Identifier: MIT
#include "read_interrupt.hpp"

#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>

namespace tavik {
namespace {

// SIGURG is ignored by default, so one that arrives elsewhere or before the handler is in place
// does no harm.
constexpr int kInterruptSignal = SIGURG;

extern "C" void onInterrupt(int) {}

void installHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: the read must return, not go on waiting
        sigaction(kInterruptSignal, &action, nullptr);
    });
}

}  // namespace

ReadInterrupt::ReadInterrupt() {
    installHandler();
}

bool ReadInterrupt::enter() {
    m_reader = pthread_self();
    m_reading = true;
    // Either cancel() sees m_reading and signals, or this sees m_cancelled: never neither.
    if (m_cancelled.load()) {
        m_reading = false;
        return false;
    }
    return true;
}

void ReadInterrupt::leave() {
    m_reading = false;
}

void ReadInterrupt::cancel() {
    m_cancelled = true;
    // A signal that lands just before the reader enters its system call is lost, so it is sent
    // again until the reader has left.
    while (m_reading.load()) {
        pthread_kill(m_reader.load(), kInterruptSignal);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace tavik
