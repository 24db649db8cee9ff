// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "combo_list.hpp"
#include "device_link.hpp"
#include "phone_hosting.hpp"
#include "phone_remote_dialog.hpp"
#include "qt_owner_loop.hpp"
#include "remote_controller.hpp"
#include "remote_view.hpp"
#include "send_pipeline.hpp"
#include "send_session.hpp"

class QAction;
class QComboBox;
class QLineEdit;
class QListWidget;

namespace tavik::ui {

class AboutMenu;
class CAboutDlg;
class LogList;

// The main window: system and number selectors, the command field with SEND, five function
// buttons and the log list; a view over the controller. Runs on the window's thread.
class CRemoteDlg : public QDialog, public RemoteView, public phone::PhoneHostingView {
  public:
    explicit CRemoteDlg(HidBackend& backend, DeviceLink::Options linkOptions = {});
    ~CRemoteDlg() override;

    // Set before runModal; read only by the initialisation. Bytes as typed on the command line.
    std::string presetLetter;
    std::string presetNumber;
    std::string presetCommand;

    // Initialises the dialog (presets, link, selectors, the preset command) and, unless the preset
    // command was sent, shows it and runs it modally. 1 after a preset send, else Rejected.
    int runModal();

    // The start-up part of runModal; false when the dialog already ended (preset command sent).
    bool initialise();

    // The controller's operations, for the buttons and for tests.
    void sendCommand(const std::string& text) { m_controller->sendCommand(text); }
    void fillNumberSelector() { m_controller->fillNumberSelector(); }

    // Adds a line to the log list; from any thread.
    void appendLog(std::string_view line);

    // Opens the About box modally over this window.
    void openAbout();

    // Serves the phones' remote (starting it when it is not running) and shows its QR code;
    // their sends go through this window's session and log. Stopping ends the serving.
    void openPhones() { m_phones->open(); }
    void stopPhones() { m_phones->stop(); }
    bool servingPhones() const { return m_phones->serving(); }
    PhoneRemoteDialog* phoneRemoteDialog() const { return m_phoneDialog; }
    QAction* phoneRemoteAction() const { return m_phoneAction; }

    // How the preset send went: true when it encoded but did not reach the transmitter.
    bool presetNotDelivered() const { return m_controller->presetNotDelivered(); }

    QWidget* control(int id) const;
    DeviceLink& link() { return m_session->link(); }

    // Seam for tests: how an About box is run (default: exec).
    void setAboutRunner(std::function<void(CAboutDlg&)> runner) {
        m_aboutRunner = std::move(runner);
    }

    // RemoteView
    ListControl& systemSelector() override { return m_systems; }
    ListControl& numberSelector() override { return m_numbers; }
    void setCommandText(std::string_view text) override;
    std::string commandText() const override;
    void endDialog(int result) override;

    // PhoneHostingView
    void showPhoneBox(const std::vector<std::string>& urls, const std::string& system,
                      const std::string& portNote) override;
    void setPhoneSystem(const std::string& system) override;
    void closePhoneBox() override;

    // Escape; ignored while phones are served.
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();

    QComboBox* m_numberSelector = nullptr;
    QLineEdit* m_commandField = nullptr;
    QComboBox* m_systemSelector = nullptr;
    QListWidget* m_logList = nullptr;
    QIcon m_appIcon;
    ComboList m_systems{nullptr};
    ComboList m_numbers{nullptr};

    std::unique_ptr<LogList> m_log;
    QtOwnerLoop m_loop;
    std::unique_ptr<SendSession> m_session;  // after the log: it logs while it shuts down
    std::unique_ptr<SendPipeline> m_pipeline;
    std::unique_ptr<RemoteController> m_controller;
    std::function<void(CAboutDlg&)> m_aboutRunner;
    AboutMenu* m_aboutMenu = nullptr;  // owned by the window
    QAction* m_phoneAction = nullptr;  // owned by the window
    std::unique_ptr<phone::PhoneHosting> m_phones;
    QPointer<PhoneRemoteDialog> m_phoneDialog;
};

}  // namespace tavik::ui
