// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "send_pipeline.hpp"
#include "send_session.hpp"
#include "thread_loop.hpp"

namespace tavik::test {

// A session with its pipeline on a thread of their own, as tavik-cli serve runs them: made on
// that thread, which then runs their loop until the OwnerThread is destroyed.
class OwnerThread {
  public:
    OwnerThread(HidBackend& backend, LogSink& log, std::chrono::milliseconds gap = {},
                DeviceLink::Options link = {});
    ~OwnerThread();
    OwnerThread(const OwnerThread&) = delete;
    OwnerThread& operator=(const OwnerThread&) = delete;

    SendPipeline& pipeline() { return *m_pipeline; }
    // Runs `task` on the owner's thread and waits for it.
    void call(const std::function<void(SendSession&, SendPipeline&)>& task);
    // Keeps the owner's thread busy until the returned function is called, as a window that is
    // slow to come back to its loop would.
    std::function<void()> hold();

  private:
    ThreadLoop m_loop;
    std::thread m_thread;
    SendSession* m_session = nullptr;
    SendPipeline* m_pipeline = nullptr;
};

}  // namespace tavik::test
