// SPDX-License-Identifier: MIT
#include "fake_hid_backend.hpp"

#include <algorithm>
#include <chrono>
#include <thread>

#include "hex_text.hpp"

namespace tavik::test {

class FakeHidBackend::Handle : public HidDevice {
  public:
    Handle(FakeHidBackend& owner, std::string path, int generation, bool omitsReportId)
        : m_owner(owner),
          m_path(std::move(path)),
          m_generation(generation),
          m_omitsReportId(omitsReportId) {}
    ~Handle() override { m_owner.closed(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        return m_owner.read(m_path, m_generation, m_cancelled, buffer, length, timeoutMs);
    }
    void cancelRead() override { m_owner.cancel(m_cancelled); }
    bool write(const std::uint8_t* data, std::size_t length) override {
        return m_owner.write(m_path, m_generation, data, length);
    }
    bool readOmitsReportId() const override { return m_omitsReportId; }

  private:
    FakeHidBackend& m_owner;
    std::string m_path;
    int m_generation;
    bool m_omitsReportId;
    bool m_cancelled = false;  // guarded by the owner's mutex
};

void FakeHidBackend::plug(Device device) {
    std::lock_guard lock(m_mutex);
    const std::string path = device.path;
    State& state = m_devices[path];
    state.device = std::move(device);
    state.present = true;
    ++state.generation;
    if (std::find(m_order.begin(), m_order.end(), path) == m_order.end()) {
        m_order.push_back(path);
    }
}

void FakeHidBackend::unplug(const std::string& path) {
    {
        std::lock_guard lock(m_mutex);
        State& state = m_devices[path];
        state.present = false;
        ++state.generation;
    }
    m_changed.notify_all();
}

void FakeHidBackend::queueInputReport(const std::string& path, std::vector<std::uint8_t> report) {
    {
        std::lock_guard lock(m_mutex);
        m_devices[path].inputs.push_back(std::move(report));
    }
    m_changed.notify_all();
}

void FakeHidBackend::failWrite(const std::string& path, int nth) {
    std::lock_guard lock(m_mutex);
    State& state = m_devices[path];
    state.device.failWriteNumber = state.writeCalls + nth;
}

std::vector<std::vector<std::uint8_t>> FakeHidBackend::writes(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_devices.find(path);
    return it == m_devices.end() ? std::vector<std::vector<std::uint8_t>>{} : it->second.writes;
}

int FakeHidBackend::openHandles() const {
    std::lock_guard lock(m_mutex);
    return m_openHandles;
}

int FakeHidBackend::opens(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_devices.find(path);
    return it == m_devices.end() ? 0 : it->second.opens;
}

int FakeHidBackend::maxConcurrentReads() const {
    std::lock_guard lock(m_mutex);
    return m_maxConcurrentReads;
}

std::vector<FakeHidBackend::Clock::time_point> FakeHidBackend::writeTimes(
    const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_devices.find(path);
    return it == m_devices.end() ? std::vector<Clock::time_point>{} : it->second.writeTimes;
}

std::vector<HidDeviceInfo> FakeHidBackend::enumerate() {
    std::lock_guard lock(m_mutex);
    std::vector<HidDeviceInfo> infos;
    for (const std::string& path : m_order) {
        const State& state = m_devices.at(path);
        if (state.present) {
            infos.push_back({path, state.device.vendorId, state.device.productId,
                             state.device.versionNumber, "Fake Maker", "Fake Transmitter",
                             state.device.serialNumber, ""});
        }
    }
    return infos;
}

std::unique_ptr<HidDevice> FakeHidBackend::open(const std::string& path, std::string& error) {
    std::lock_guard lock(m_mutex);
    const auto it = m_devices.find(path);
    if (it == m_devices.end() || !it->second.present) {
        error = "No such file or directory";
        return nullptr;
    }
    State& state = it->second;
    ++state.opens;
    if (!state.device.openError.empty() || state.opens == state.device.failOpenNumber) {
        error = state.device.openError.empty() ? "Device or resource busy" : state.device.openError;
        return nullptr;
    }
    ++m_openHandles;
    return std::make_unique<Handle>(*this, path, state.generation, state.device.omitsReportId);
}

int FakeHidBackend::read(const std::string& path, int generation, const bool& cancelled,
                         std::uint8_t* buffer, std::size_t length, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    m_maxConcurrentReads = std::max(m_maxConcurrentReads, ++m_readsInProgress);
    State& state = m_devices.at(path);
    const bool ready = m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return cancelled || state.generation != generation || !state.inputs.empty();
    });
    int result = 0;
    if (cancelled) {
        result = kReadCancelled;
    } else if (state.generation != generation) {
        result = kReadFailed;
    } else if (ready) {
        const std::vector<std::uint8_t> report = std::move(state.inputs.front());
        state.inputs.pop_front();
        result = static_cast<int>(std::min(length, report.size()));
        std::copy_n(report.begin(), result, buffer);
    }
    --m_readsInProgress;
    return result;
}

bool FakeHidBackend::write(const std::string& path, int generation, const std::uint8_t* data,
                           std::size_t length) {
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard lock(m_mutex);
        delay = m_devices.at(path).device.writeDelay;
    }
    std::this_thread::sleep_for(delay);
    std::lock_guard lock(m_mutex);
    State& state = m_devices.at(path);
    ++state.writeCalls;
    if (state.generation != generation || state.writeCalls == state.device.failWriteNumber ||
        state.device.failEveryWrite) {
        return false;
    }
    state.writes.emplace_back(data, data + length);
    state.writeTimes.push_back(Clock::now());
    return true;
}

void FakeHidBackend::cancel(bool& cancelled) {
    {
        std::lock_guard lock(m_mutex);
        cancelled = true;
    }
    m_changed.notify_all();
}

void FakeHidBackend::closed() {
    std::lock_guard lock(m_mutex);
    --m_openHandles;
}

std::vector<std::string> hexWrites(const FakeHidBackend& backend, const std::string& path) {
    std::vector<std::string> out;
    for (const auto& w : backend.writes(path)) {
        out.push_back(hexJoined(w));
    }
    return out;
}

}  // namespace tavik::test
