// SPDX-License-Identifier: MIT
#include "stop_signals.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <csignal>

namespace tavik::cli {
namespace {

// The handler's only state: where it writes the signal's number.
int g_wakeFd = -1;
std::array<int, 2> g_pipe{-1, -1};
struct sigaction g_oldInt {};
struct sigaction g_oldTerm {};

extern "C" void onSignal(int signal) {
    const char byte = static_cast<char>(signal);
    (void)!write(g_wakeFd, &byte, 1);
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
    m_watcher = std::thread([this, readFd = g_pipe[0]] {
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
    sigaction(SIGINT, &g_oldInt, nullptr);
    sigaction(SIGTERM, &g_oldTerm, nullptr);
    const char quit = 0;  // wakes the watcher without a stop
    (void)!write(g_pipe[1], &quit, 1);
    m_watcher.join();
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_wakeFd = -1;
}

}  // namespace tavik::cli
