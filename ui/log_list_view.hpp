// SPDX-License-Identifier: MIT
#pragma once

#include <QListWidget>

namespace tavik::ui {

// The log list's list box with a flat border, one logical pixel wide, that stays whole at every
// scale factor: the style's frame lines fall between device pixels at 1.25, 1.5 or 1.75 and
// lose a side or two. The border is drawn over the list's children, so they cannot cover it.
// Each appended line is announced to screen readers (LogAccessible), the focus left where it is.
class LogListView : public QListWidget {
  public:
    explicit LogListView(QWidget* parent);

    QColor borderColour() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

  private:
    QWidget* m_border;
    // Lines appended in this turn of the event loop, told as one notification at its end, so
    // that a send's lines are heard together rather than each cutting off the one before.
    QStringList m_unannounced;
};

}  // namespace tavik::ui
