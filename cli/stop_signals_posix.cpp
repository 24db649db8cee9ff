// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include "stop_signals.hpp"

namespace tavik::cli {
namespace {

// The handler's only state: where it writes the signal's number (a lock-free atomic, which a
// handler on any thread may read).
std::atomic<int> g_wakeFd{-1};
std::array<int, 2> g_pipe{-1, -1};
struct sigaction g_oldInt {};
struct sigaction g_oldTerm {};
sigset_t g_oldMask{};

extern "C" void onSignal(int signal) {
    const char byte = static_cast<char>(signal);
    (void)!write(g_wakeFd.load(), &byte, 1);
}

sigset_t stopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onStop) : m_onStop(std::move(onStop)) {
    if (pipe2(g_pipe.data(), O_CLOEXEC) != 0) {
        return;
    }
    g_wakeFd = g_pipe[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_oldInt);
    sigaction(SIGTERM, &action, &g_oldTerm);
    // Only the watcher takes the signals: in this thread, and the threads it starts from now on
    // (a transmitter's reader), a signal must not cut a read or a write short.
    const sigset_t set = stopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, &g_oldMask);
    m_watcher = std::thread([this, readFd = g_pipe[0]] {
        const sigset_t taken = stopSignalSet();
        pthread_sigmask(SIG_UNBLOCK, &taken, nullptr);
        char byte = 0;
        ssize_t got = 0;
        do {
            got = read(readFd, &byte, 1);
        } while (got < 0 && errno == EINTR);
        if (got == 1 && byte != 0) {
            m_onStop();
        }
    });
}

StopSignals::~StopSignals() {
    if (!m_watcher.joinable()) {
        return;
    }
    const char quit = 0;  // wakes the watcher without a stop
    (void)!write(g_pipe[1], &quit, 1);
    m_watcher.join();
    sigaction(SIGINT, &g_oldInt, nullptr);
    sigaction(SIGTERM, &g_oldTerm, nullptr);
    pthread_sigmask(SIG_SETMASK, &g_oldMask, nullptr);
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_wakeFd = -1;
}

}  // namespace tavik::cli
