// SPDX-License-Identifier: MIT
// The MQTT bridge's latency and memory: tavik-cli mqtt in this process over a scripted
// transmitter, against Debian's mosquitto on loopback. Each of PUBLISHERS senders publishes its
// commands one after another, each once the one before has been written; the time is from the
// publish to the send's log line, which the session writes right after the packet's reports.
// Then the resident memory after 100 commands and after COUNT more.
// Usage: tavik_mqtt_latency [COUNT [PUBLISHERS [memory]]] (default 1000 1).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "mqtt_command.hpp"
#include "support/broker.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/mqtt_test_client.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// When each log line was completed.
class TimedLines : public std::streambuf {
  public:
    Clock::time_point waitFor(const std::string& line) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_times.count(line) > 0; });
        return m_times[line];
    }

  protected:
    int_type overflow(int_type c) override {
        std::lock_guard lock(m_mutex);
        if (c == '\n') {
            m_times[m_line] = Clock::now();
            m_line.clear();
            m_changed.notify_all();
        } else if (c != traits_type::eof()) {
            m_line.push_back(static_cast<char>(c));
        }
        return c;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, Clock::time_point> m_times;
    std::string m_line;
};

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int publishers = argc > 2 ? std::atoi(argv[2]) : 1;
    tavik::test::Broker broker;
    if (!broker.start()) {
        std::fprintf(stderr, "mosquitto did not start\n");
        return 1;
    }
    tavik::test::FakeHidBackend backend;
    tavik::test::FakeHidBackend::Device transmitter;
    transmitter.path = "/dev/hidraw0";
    backend.plug(transmitter);
    TimedLines lines;
    std::ostream out(&lines);
    std::ostringstream err;
    const std::string state = "/tmp/tavik-mqtt-bench-" + std::to_string(getpid());
    setenv("STATE_DIRECTORY", state.c_str(), 1);  // NOLINT(concurrency-mt-unsafe): no thread yet
    std::thread bridge([&] {
        tavik::cli::runMqttBridge({"tavik-cli mqtt", "--broker", broker.url(), "--room", "bench",
                                   "--system", "T3", "--gap", "0", "--no-discovery"},
                                  out, err, &backend);
    });
    {
        tavik::test::MqttTestClient watch(broker.port(), {"tavik/bench/state"});
        watch.waitFor([](const auto& m) { return !m.empty(); });
    }
    int song = 10000;
    std::mutex songs;
    const auto run = [&](int total, std::vector<double>* latencies, bool ids) {
        std::vector<std::thread> threads;
        threads.reserve(static_cast<std::size_t>(publishers));
        std::mutex kept;
        for (int p = 0; p < publishers; ++p) {
            threads.emplace_back([&] {
                tavik::test::MqttTestClient sender(broker.port());
                for (int i = 0; i < total / publishers; ++i) {
                    int mine = 0;
                    {
                        std::lock_guard lock(songs);
                        mine = song++;
                    }
                    const std::string text = std::to_string(mine);
                    const auto began = Clock::now();
                    // With an id, each command also goes through the journal.
                    const std::string payload =
                        ids ? nlohmann::json{{"command", text}, {"id", "c" + text}}.dump() : text;
                    sender.publish("tavik/bench/send", payload);
                    const auto written = lines.waitFor("tavik T3 " + text);
                    if (latencies != nullptr) {
                        std::lock_guard lock(kept);
                        latencies->push_back(
                            std::chrono::duration<double, std::milli>(written - began).count());
                    }
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
    };
    std::vector<double> latencies;
    run(count, &latencies, false);
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))];
    };
    std::printf("%zu commands, %d publisher(s): median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                latencies.size(), publishers, at(0.5), at(0.99), latencies.back());
    if (argc > 3) {
        run(100, nullptr, true);
        const long after100 = residentKiB();
        run(10000, nullptr, true);
        std::printf("resident memory: %ld KiB after %d+100 commands, %ld KiB after 10000 more\n",
                    after100, count, residentKiB());
    }
    kill(getpid(), SIGTERM);
    bridge.join();
    std::filesystem::remove_all(state);
    return 0;
}
