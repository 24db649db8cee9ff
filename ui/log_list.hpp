// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>

#include "cross_thread_log.hpp"

class QListWidget;

namespace tavik::ui {

// The log list: every line goes to the end of the list, is scrolled into view and left
// unselected, and is also written to stderr so a window that closes at once still tells what
// happened. A line from another thread is handed to the window's thread, and its caller waits
// until it is in.
class LogList : public LogSink {
  public:
    // `list` belongs to the window; the constructing thread is the window's thread.
    explicit LogList(QListWidget* list);

    void appendLog(std::string_view line) override;
    void whileBlocked(const std::function<void()>& wait) override;

  private:
    void insert(const std::string& line);

    QPointer<QListWidget> m_list;
    CrossThreadLog m_handOff;
};

}  // namespace tavik::ui
