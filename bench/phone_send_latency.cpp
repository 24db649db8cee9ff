// SPDX-License-Identifier: MIT
// The time from a phone's request to its report being written: sends through the phone
// service's API on loopback to a scripted transmitter, by CLIENTS phones at once (each round all
// of them send together). Prints the median, the 99th percentile and the spread.
// Usage: tavik_phone_latency [SENDS [CLIENTS]] (default 100 1).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "phone_server.hpp"
#include "pipeline_sends.hpp"
#include "send_session.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/http_client.hpp"
#include "support/owner_thread.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// When each send's log line ("tavik T3 N") came, which the session writes right after the
// packet's reports.
class TimedLog : public tavik::LogSink {
  public:
    void appendLog(std::string_view line) override {
        const auto now = Clock::now();
        std::lock_guard lock(m_mutex);
        m_times.emplace(std::string(line), now);
    }
    Clock::time_point when(const std::string& line) {
        std::lock_guard lock(m_mutex);
        return m_times.at(line);
    }

  private:
    std::mutex m_mutex;
    std::map<std::string, Clock::time_point> m_times;
};

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100;
    const int clients = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    tavik::test::FakeHidBackend backend;
    tavik::test::FakeHidBackend::Device transmitter;
    transmitter.path = "/dev/hidraw0";
    backend.plug(transmitter);
    TimedLog log;
    const std::string token = "00112233445566778899aabbccddeeff";
    // Limits above the load, so that only the path is timed, not the refusals.
    // The session's thread, as tavik-cli serve runs it (gap 0: only the path is timed).
    tavik::test::OwnerThread owner(backend, log);
    tavik::phone::PipelineSends sends(owner.pipeline(),
                                      {100000, static_cast<std::size_t>(clients) + 1});
    tavik::phone::ServerOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    options.token = token;
    options.hosts = tavik::phone::HostCheck({"127.0.0.1"});
    tavik::phone::PhoneServer server(sends, options);
    if (const tavik::Result<void> started = server.start(); !started) {
        std::fprintf(stderr, "%s\n", started.error().c_str());
        return 1;
    }
    std::vector<double> micros;
    bool failed = false;
    for (int first = 0; first < count && !failed; first += clients) {
        std::vector<std::thread> phones;
        std::vector<Clock::time_point> begins(static_cast<std::size_t>(clients));
        std::vector<int> statuses(static_cast<std::size_t>(clients), 0);
        for (int c = 0; c < clients && first + c < count; ++c) {
            phones.emplace_back([&, c] {
                const std::string body =
                    R"({"system":"T3","command":")" + std::to_string(1000 + first + c) + R"("})";
                begins[static_cast<std::size_t>(c)] = Clock::now();
                statuses[static_cast<std::size_t>(c)] =
                    tavik::test::postSend(server.port(), token, body).status;
            });
        }
        for (std::thread& phone : phones) {
            phone.join();
        }
        for (int c = 0; c < static_cast<int>(phones.size()); ++c) {
            if (statuses[static_cast<std::size_t>(c)] != 200) {
                std::fprintf(stderr, "send %d: status %d\n", first + c,
                             statuses[static_cast<std::size_t>(c)]);
                failed = true;
                continue;
            }
            const auto written = log.when("tavik T3 " + std::to_string(1000 + first + c));
            micros.push_back(std::chrono::duration<double, std::micro>(
                                 written - begins[static_cast<std::size_t>(c)])
                                 .count());
        }
    }
    owner.call([&](tavik::SendSession&, tavik::SendPipeline&) { sends.close(); });
    server.stop();
    if (failed || micros.empty()) {
        return 1;
    }
    std::sort(micros.begin(), micros.end());
    // The value below which `percent` of the sends lie.
    const auto at = [&](std::size_t percent) {
        return micros[std::min(micros.size() - 1, percent * micros.size() / 100)];
    };
    std::printf(
        "%zu sends, %d at once: request to report written: median %.0f us, p99 %.0f, "
        "min %.0f, max %.0f\n",
        micros.size(), clients, at(50), at(99), micros.front(), micros.back());
    return 0;
}
