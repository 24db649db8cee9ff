// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include "qr_code.hpp"

namespace tavik::ui {

// Paints a QR code's modules, dark on white with the quiet zone, at a whole number of pixels a
// module so that cameras read it sharp.
class QrCodeView : public QWidget {
  public:
    QrCodeView(phone::QrMatrix matrix, QWidget* parent);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int side() const;

    static constexpr int kQuietZone = 4;
    static constexpr int kModulePixels = 5;

    phone::QrMatrix m_matrix;
};

}  // namespace tavik::ui
