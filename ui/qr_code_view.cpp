// SPDX-License-Identifier: MIT
#include "qr_code_view.hpp"

#include <QPainter>

#include "accessible_factory.hpp"

namespace tavik::ui {

QrCodeView::QrCodeView(phone::QrMatrix matrix, QWidget* parent)
    : QWidget(parent), m_matrix(std::move(matrix)) {
    installAccessibleFactory();
    setObjectName(QStringLiteral("qrCode"));
    setFixedSize(side(), side());
}

int QrCodeView::side() const {
    return (m_matrix.size + 2 * kQuietZone) * kModulePixels;
}

QSize QrCodeView::sizeHint() const {
    return {side(), side()};
}

void QrCodeView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const int modules = m_matrix.size + 2 * kQuietZone;
    const int pixels = std::max(1, std::min(width(), height()) / std::max(1, modules));
    const int offset = kQuietZone * pixels;
    for (int y = 0; y < m_matrix.size; ++y) {
        for (int x = 0; x < m_matrix.size; ++x) {
            if (m_matrix.isDark(x, y)) {
                painter.fillRect(offset + x * pixels, offset + y * pixels, pixels, pixels,
                                 Qt::black);
            }
        }
    }
}

}  // namespace tavik::ui
