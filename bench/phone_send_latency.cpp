// SPDX-License-Identifier: MIT
// The time from a phone's request to its report being written: N sends through the web remote's
// API on loopback, one after another, to a scripted transmitter. Prints the median and the spread.
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "phone_remote.hpp"
#include "send_session.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/recording_log.hpp"

int main(int argc, char** argv) {
    using Clock = std::chrono::steady_clock;
    const int sends = argc > 1 ? std::atoi(argv[1]) : 100;
    tavik::test::FakeHidBackend backend;
    tavik::test::FakeHidBackend::Device transmitter;
    transmitter.path = "/dev/hidraw0";
    backend.plug(transmitter);
    tavik::test::RecordingLog log;
    const std::string token = "00112233445566778899aabbccddeeff";
    tavik::remote::PhoneRemote remote({"127.0.0.1", 0, token});
    std::string error;
    if (!remote.start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // The session's thread, as tavik-cli serve runs it (gap 0: only the path is timed).
    std::thread owner([&] {
        tavik::SendSession session(backend, log);
        session.start();
        while (remote.queue().waitAndRun(session)) {
        }
        session.shutdown();
    });
    const std::string url = remote.urls().front();
    const int port = std::stoi(url.substr(url.rfind(':') + 1));
    std::vector<double> micros;
    for (int i = 0; i < sends; ++i) {
        // Spaced so that the limit of 5 sends a second never applies.
        std::this_thread::sleep_for(std::chrono::milliseconds(210));
        httplib::Client client("127.0.0.1", port);
        const auto begin = Clock::now();
        const auto result = client.Post("/api/send", {{"Authorization", "Bearer " + token}},
                                        R"({"system":"T3","command":"12"})", "application/json");
        if (!result || result->status != 200) {
            std::fprintf(stderr, "send %d failed\n", i);
            return 1;
        }
        const auto written = backend.writeTimes("/dev/hidraw0").back();
        micros.push_back(std::chrono::duration<double, std::micro>(written - begin).count());
    }
    remote.stop();
    owner.join();
    std::sort(micros.begin(), micros.end());
    std::printf(
        "%d sends: request to report written: median %.0f us, min %.0f, p90 %.0f, max %.0f\n",
        sends, micros[micros.size() / 2], micros.front(), micros[micros.size() * 9 / 10],
        micros.back());
    return 0;
}
