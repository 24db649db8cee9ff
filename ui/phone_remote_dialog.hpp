// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;

namespace tavik::ui {

// What the guests need to connect while the window serves phones: the QR code of the first link,
// every link as text, which system phones send to, and a button that ends the serving. Closing
// the box keeps serving. Return and Enter do nothing here: ending every guest's link takes the
// button's click or its mnemonic, never a stray key.
class PhoneRemoteDialog : public QDialog {
  public:
    // `portNote`, when not empty, says that the usual port was taken and which one serves.
    PhoneRemoteDialog(QWidget* parent, const std::vector<std::string>& urls,
                      const std::string& portNote, std::function<void()> stopServing,
                      std::function<void(bool everySystem)> openToEverySystem);

    // The system (and number) phones send to, or every system.
    void setSystemText(const QString& system, bool everySystem);
    // Beside `window`, on the side of the screen with room, rather than over its log.
    void placeBeside(const QWidget& window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* m_system = nullptr;
    QCheckBox* m_everySystem = nullptr;
};

}  // namespace tavik::ui
