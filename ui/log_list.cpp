// SPDX-License-Identifier: MIT
#include "log_list.hpp"

#include <QListWidget>
#include <QMetaObject>
#include <cstdio>

namespace tavik::ui {

LogList::LogList(QListWidget* list)
    : m_list(list),
      m_handOff([this](const std::string& line) { insert(line); },
                [this] {
                    // Runs on the reader's thread: ask the window's event loop to take the line.
                    QMetaObject::invokeMethod(
                        m_list, [this] { m_handOff.deliverPending(); }, Qt::QueuedConnection);
                }) {}

void LogList::appendLog(std::string_view line) {
    m_handOff.appendLog(line);
}

void LogList::whileBlocked(const std::function<void()>& wait) {
    m_handOff.whileBlocked(wait);
}

void LogList::insert(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    if (!m_list) {
        return;
    }
    m_list->addItem(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    QListWidgetItem* item = m_list->item(m_list->count() - 1);
    m_list->scrollToItem(item);
    m_list->clearSelection();
    m_list->setCurrentRow(-1);
}

}  // namespace tavik::ui
