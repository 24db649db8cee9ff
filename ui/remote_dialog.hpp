#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "code_packet.hpp"
#include "device_link.hpp"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tavik::ui {

class CAboutDlg;
class LogList;

// The main window: system and number selectors, the command field with SEND, five function
// buttons and the log list. Runs on the window's thread.
class CRemoteDlg : public QDialog {
  public:
    explicit CRemoteDlg(HidBackend& backend, DeviceLink::Options linkOptions = {});
    ~CRemoteDlg() override;

    // Set before runModal; read only by the initialisation.
    QString presetLetter;
    QString presetNumber;
    QString presetCommand;

    // Initialises the dialog (presets, link, selectors, the preset command) and, unless the preset
    // command was sent, shows it and runs it modally. 1 after a preset send, else Rejected.
    int runModal();

    // The start-up part of runModal; false when the dialog already ended (preset command sent).
    bool initialise();

    // Encodes `text` for the selected system and number and sends it; logs the outcome. The
    // packet's element count, or -1 when nothing could be encoded.
    int sendCommand(const std::string& text);

    // Rebuilds the number selector for the selected system.
    void fillNumberSelector();

    // Adds a line to the log list; from any thread.
    void appendLog(std::string_view line);

    // Opens the About box modally over this window.
    void openAbout();

    // How the last preset send went: true when it encoded but did not reach the transmitter.
    bool presetNotDelivered() const { return m_presetNotDelivered; }

    QWidget* control(int id) const;
    DeviceLink& link() { return *m_link; }

    // Seam for tests: how an About box is run (default: exec).
    void setAboutRunner(std::function<void(CAboutDlg&)> runner) {
        m_aboutRunner = std::move(runner);
    }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    void createControls();
    void fillSystemSelector();
    void applyPresetNumber();
    void sendFromField();
    int currentSystemId() const;
    int currentSystemNumber() const;

    QComboBox* m_numberSelector = nullptr;
    QLineEdit* m_commandField = nullptr;
    QComboBox* m_systemSelector = nullptr;
    QListWidget* m_logList = nullptr;
    QIcon m_appIcon;

    std::unique_ptr<LogList> m_log;
    std::unique_ptr<DeviceLink> m_link;  // after the log: it logs while it shuts down
    CodePacket m_packet;                 // the program's one packet
    TransmitResult m_lastTransmit = TransmitResult::kSent;
    bool m_presetNotDelivered = false;
    std::function<void(CAboutDlg&)> m_aboutRunner;
};

}  // namespace tavik::ui
