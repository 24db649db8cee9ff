// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

namespace tavik::ui {

// What the guests need to connect while the window serves phones: the QR code of the first link,
// every link as text, and a button that ends the serving. Closing the box keeps serving.
class PhoneRemoteDialog : public QDialog {
  public:
    PhoneRemoteDialog(QWidget* parent, const std::vector<std::string>& urls,
                      std::function<void()> stopServing);
};

}  // namespace tavik::ui
