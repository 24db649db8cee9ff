// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include "owner_loop.hpp"

namespace tavik::ui {

// The window thread's Qt event loop as a send pipeline's owner loop. Posted tasks and timers
// belong to a context object of the loop's own, so that none runs once the loop is gone.
class QtOwnerLoop : public OwnerLoop {
  public:
    void post(std::function<void()> task) override;
    void runAfter(std::chrono::milliseconds delay, std::function<void()> task) override;

  private:
    QObject m_context;
};

}  // namespace tavik::ui
