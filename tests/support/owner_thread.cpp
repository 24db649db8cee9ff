// SPDX-License-Identifier: MIT
#include "owner_thread.hpp"

namespace tavik::test {

OwnerThread::OwnerThread(HidBackend& backend, LogSink& log, std::chrono::milliseconds gap,
                         DeviceLink::Options link) {
    std::promise<void> ready;
    m_thread = std::thread([&, gap] {
        SendSession session(backend, log, {std::move(link), gap});
        SendPipeline pipeline(session, m_loop);
        session.start();
        m_session = &session;
        m_pipeline = &pipeline;
        ready.set_value();
        m_loop.run();
        pipeline.close();
        session.shutdown();
    });
    ready.get_future().wait();
}

OwnerThread::~OwnerThread() {
    m_loop.quit();
    m_thread.join();
}

void OwnerThread::call(const std::function<void(SendSession&, SendPipeline&)>& task) {
    std::promise<void> done;
    m_loop.post([&] {
        task(*m_session, *m_pipeline);
        done.set_value();
    });
    done.get_future().wait();
}

}  // namespace tavik::test

namespace tavik::test {

std::function<void()> OwnerThread::hold() {
    auto release = std::make_shared<std::promise<void>>();
    std::promise<void> held;
    m_loop.post([&held, released = release->get_future().share()] {
        held.set_value();
        released.wait();
    });
    held.get_future().wait();
    return [release] { release->set_value(); };
}

}  // namespace tavik::test
