// SPDX-License-Identifier: MIT
#include "broker.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace tavik::test {
namespace {

bool accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

}  // namespace

int freeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    close(fd);
    return bound ? ntohs(address.sin_port) : -1;
}

Broker::Broker(const std::string& extra) : m_port(freeLoopbackPort()) {
    char folder[] = "/tmp/tavik-broker-XXXXXX";
    m_folder = mkdtemp(folder);
    std::ofstream(m_folder + "/mosquitto.conf")
        << "listener " << m_port << " 127.0.0.1\n"
        << "allow_anonymous true\n"
        // Small packets at once, as a venue's broker should be set up (see the README).
        << "set_tcp_nodelay true\n"
        << "persistence true\npersistence_location " << m_folder << "/\n"
        << "log_dest file " << m_folder
        << "/broker.log\n"
        // Run as root, it would become the user mosquitto, who cannot write our folder.
        << (geteuid() == 0 ? "user root\n" : "") << extra;
}

Broker::~Broker() {
    stop(SIGTERM);
    std::system(("rm -rf '" + m_folder + "'").c_str());  // NOLINT(cert-env33-c): our own folder
}

bool Broker::start() {
    std::string program = "mosquitto";
    std::string flag = "-c";
    std::string config = m_folder + "/mosquitto.conf";
    char* argv[] = {program.data(), flag.data(), config.data(), nullptr};
    if (posix_spawnp(&m_pid, "mosquitto", nullptr, nullptr, argv, environ) != 0) {
        m_pid = -1;
        return false;
    }
    for (int tries = 0; tries < 200; ++tries) {
        if (accepts(m_port)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Broker::stop(int signal) {
    if (m_pid > 0) {
        kill(m_pid, signal);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

}  // namespace tavik::test
