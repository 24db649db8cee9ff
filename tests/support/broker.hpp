// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>

#include <string>

namespace tavik::test {

// Debian's mosquitto on a free loopback port, with its own configuration and persistence in a
// folder of its own; never the system's service. Stopped (SIGTERM) when destroyed.
class Broker {
  public:
    // `extra`: configuration lines after the listener's (a password file, say).
    explicit Broker(const std::string& extra = {});
    ~Broker();
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    // Starts it (again) on its port; true once the port takes connections.
    bool start();
    // Ends it with `signal` (SIGTERM saves its sessions, SIGKILL does not) and waits.
    void stop(int signal);

    int port() const { return m_port; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(m_port); }
    const std::string& folder() const { return m_folder; }

  private:
    std::string m_folder;
    int m_port = 0;
    pid_t m_pid = -1;
};

// A port that nothing listens on just now.
int freeLoopbackPort();

}  // namespace tavik::test
