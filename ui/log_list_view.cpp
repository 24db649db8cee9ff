// SPDX-License-Identifier: MIT
#include "log_list_view.hpp"

#include <QPainter>
#include <QResizeEvent>

#include "accessible_factory.hpp"
#include "log_accessible.hpp"

namespace tavik::ui {
namespace {

class Border : public QWidget {
  public:
    explicit Border(LogListView* list) : QWidget(list), m_list(list) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        // Filled bands, not lines: a band one logical pixel wide always covers a whole device
        // pixel, however the widget's edges round.
        QPainter painter(this);
        const QColor colour = m_list->borderColour();
        const qreal w = width();
        const qreal h = height();
        painter.fillRect(QRectF(0, 0, w, 1), colour);
        painter.fillRect(QRectF(0, h - 1, w, 1), colour);
        painter.fillRect(QRectF(0, 0, 1, h), colour);
        painter.fillRect(QRectF(w - 1, 0, 1, h), colour);
    }

  private:
    LogListView* m_list;
};

}  // namespace

LogListView::LogListView(QWidget* parent) : QListWidget(parent), m_border(new Border(this)) {
    installAccessibleFactory();
    setFrameShape(QFrame::NoFrame);
    setViewportMargins(1, 1, 1, 1);
}

QColor LogListView::borderColour() const {
    // The outline colour of Qt's Fusion style, so the list looks as before at whole scales.
    return palette().color(QPalette::Window).darker(140);
}

void LogListView::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    m_border->setGeometry(rect());
    m_border->raise();
}

void LogListView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QListWidget::rowsInserted(parent, start, end);
    if (!QAccessible::isActive()) {
        return;
    }
    for (int row = start; row <= end; ++row) {
        LogAccessible::announceLine(this, row);
        m_unannounced << item(row)->text();
    }
    if (m_unannounced.size() == end - start + 1) {  // the first lines of this turn
        QMetaObject::invokeMethod(
            this,
            [this] {
                LogAccessible::notify(this, m_unannounced.join(QLatin1Char(' ')));
                m_unannounced.clear();
            },
            Qt::QueuedConnection);
    }
}

}  // namespace tavik::ui
