// SPDX-License-Identifier: MIT
#include "log_accessible.hpp"

#include <QListWidget>
#include <QPointer>

namespace tavik::ui {
namespace {

// Where line `row` starts in the log's text: every line before it and its newline.
int lineStart(const QListWidget& list, int row) {
    int offset = 0;
    for (int i = 0; i < row; ++i) {
        offset += static_cast<int>(list.item(i)->text().size()) + 1;
    }
    return offset;
}

// One line of the log as a list item.
class LogLineAccessible : public QAccessibleInterface {
  public:
    LogLineAccessible(QListWidget* list, int row) : m_list(list), m_row(row) {}

    int row() const { return m_row; }

    bool isValid() const override { return m_list && m_row < m_list->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_list.data());
    }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? m_list->item(m_row)->text() : QString();
    }
    void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}
    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        const QRect inView = m_list->visualItemRect(m_list->item(m_row));
        return {m_list->viewport()->mapToGlobal(inView.topLeft()), inView.size()};
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.readOnly = true;
        s.selected = m_list->item(m_row)->isSelected();
        s.focusable = true;
        s.focused = m_list->hasFocus() && m_list->currentRow() == m_row;
        s.offscreen =
            !m_list->viewport()->rect().intersects(m_list->visualItemRect(m_list->item(m_row)));
        return s;
    }

  private:
    QPointer<QListWidget> m_list;
    int m_row;
};

// New lines of the log, shown once as a notification of the window (so that a screen reader
// does not first tell the log and its size); not one of the window's children.
class LogNoticeAccessible : public QAccessibleInterface {
  public:
    LogNoticeAccessible(QListWidget* list, QString lines)
        : m_list(list), m_lines(std::move(lines)) {}

    bool isValid() const override { return m_list; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return m_list ? QAccessible::queryAccessibleInterface(m_list->window()) : nullptr;
    }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? m_lines : QString();
    }
    void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}
    QRect rect() const override {
        return m_list ? QRect(m_list->mapToGlobal(QPoint(0, 0)), m_list->size()) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.readOnly = true;
        return s;
    }

  private:
    QPointer<QListWidget> m_list;
    QString m_lines;
};

}  // namespace

LogAccessible::LogAccessible(QListWidget* list) : ReadOnlyTextAccessible(list, QAccessible::List) {}

LogAccessible::~LogAccessible() {
    for (const QAccessible::Id id : m_rows) {
        QAccessible::deleteAccessibleInterface(id);
    }
    for (const QAccessible::Id id : m_notices) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

void LogAccessible::notify(QListWidget* list, const QString& lines) {
    if (!QAccessible::isActive()) {
        return;
    }
    auto* self = dynamic_cast<LogAccessible*>(QAccessible::queryAccessibleInterface(list));
    if (self == nullptr) {
        return;
    }
    // A new object each time: Orca passes over an event when a newer one of the same kind on the
    // same object is waiting.
    constexpr std::size_t kKept = 4;
    if (self->m_notices.size() == kKept) {
        QAccessible::deleteAccessibleInterface(self->m_notices.front());
        self->m_notices.erase(self->m_notices.begin());
    }
    auto* notice = new LogNoticeAccessible(list, lines);
    self->m_notices.push_back(QAccessible::registerAccessibleInterface(notice));
    QAccessibleEvent shown(notice, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void LogAccessible::announceLine(QListWidget* list, int row) {
    // Without an assistive technology, no interfaces are made just to tell nobody.
    if (!QAccessible::isActive()) {
        return;
    }
    QAccessibleInterface* log = QAccessible::queryAccessibleInterface(list);
    if (dynamic_cast<LogAccessible*>(log) == nullptr || row < 0 || row >= list->count()) {
        return;
    }
    QAccessibleTextInsertEvent event(list, lineStart(*list, row),
                                     list->item(row)->text() + QLatin1Char('\n'));
    QAccessible::updateAccessibility(&event);
}

QListWidget* LogAccessible::list() const {
    return static_cast<QListWidget*>(widget());
}

QAccessible::State LogAccessible::state() const {
    QAccessible::State s = ReadOnlyTextAccessible::state();
    s.multiLine = true;
    return s;
}

int LogAccessible::childCount() const {
    return list()->count();
}

QAccessibleInterface* LogAccessible::child(int index) const {
    if (index < 0 || index >= list()->count()) {
        return nullptr;
    }
    // Lines are only ever appended, so a row's interface stays that row's.
    while (static_cast<int>(m_rows.size()) <= index) {
        m_rows.push_back(QAccessible::registerAccessibleInterface(
            new LogLineAccessible(list(), static_cast<int>(m_rows.size()))));
    }
    return QAccessible::accessibleInterface(m_rows[static_cast<std::size_t>(index)]);
}

int LogAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* line = dynamic_cast<const LogLineAccessible*>(child);
    return line != nullptr && line->parent() == this ? line->row() : -1;
}

QAccessibleInterface* LogAccessible::childAt(int x, int y) const {
    const QPoint inView = list()->viewport()->mapFromGlobal(QPoint(x, y));
    const QListWidgetItem* item = list()->itemAt(inView);
    return item != nullptr ? child(list()->row(item)) : nullptr;
}

QString LogAccessible::wholeText() const {
    QString all;
    for (int i = 0; i < list()->count(); ++i) {
        all += list()->item(i)->text() + QLatin1Char('\n');
    }
    return all;
}

int LogAccessible::rowAtOffset(int offset) const {
    int end = 0;
    for (int i = 0; i < list()->count(); ++i) {
        end += static_cast<int>(list()->item(i)->text().size()) + 1;
        if (offset < end) {
            return i;
        }
    }
    return -1;
}

QRect LogAccessible::characterRect(int offset) const {
    // The line's row: finer than that the list does not tell.
    const int row = rowAtOffset(offset);
    QAccessibleInterface* line = row >= 0 ? child(row) : nullptr;
    return line != nullptr ? line->rect() : QRect();
}

int LogAccessible::offsetAtPoint(const QPoint& point) const {
    const QListWidgetItem* item = list()->itemAt(list()->viewport()->mapFromGlobal(point));
    if (item == nullptr) {
        return -1;
    }
    return lineStart(*list(), list()->row(item));
}

void LogAccessible::scrollToSubstring(int startIndex, int /*endIndex*/) {
    const int row = rowAtOffset(startIndex);
    if (row >= 0) {
        list()->scrollToItem(list()->item(row));
    }
}

}  // namespace tavik::ui
