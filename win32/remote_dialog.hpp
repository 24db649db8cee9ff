// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "combo_box_list.hpp"
#include "phone_box.hpp"
#include "phone_hosting.hpp"
#include "remote_controller.hpp"
#include "send_pipeline.hpp"
#include "send_session.hpp"
#include "window_log.hpp"
#include "window_owner_loop.hpp"

namespace tavik::win32 {

// The main window as a Win32 dialog from its template; a view over the controller. Runs on
// the thread that creates it.
class CRemoteDlg : public RemoteView, public phone::PhoneHostingView {
  public:
    CRemoteDlg(HINSTANCE instance, HidBackend& backend, Presets presets);
    ~CRemoteDlg() override;
    CRemoteDlg(const CRemoteDlg&) = delete;
    CRemoteDlg& operator=(const CRemoteDlg&) = delete;

    // Runs the dialog modally; 1 after a preset send, else IDCANCEL.
    INT_PTR runModal();
    bool presetNotDelivered() const { return m_controller.presetNotDelivered(); }

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

  private:
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL initialise();
    void addAboutItem();
    void openAbout();
    bool paintMinimised();

    HINSTANCE m_instance;
    Presets m_presets;
    HWND m_dialog = nullptr;
    HWND m_commandField = nullptr;
    HICON m_icon = nullptr;
    HICON m_smallIcon = nullptr;
    ComboBoxList m_systems;
    ComboBoxList m_numbers;
    WindowLog m_log;
    WindowOwnerLoop m_loop;
    SendSession m_session;  // after the log: it logs while it shuts down
    SendPipeline m_pipeline{m_session, m_loop};
    RemoteController m_controller{*this, m_session, m_pipeline};
    std::unique_ptr<PhoneBox> m_phoneBox;
    // Last: the server's threads end before the session, and the box's owner is still there.
    phone::PhoneHosting m_phones{*this, m_controller, m_session, m_pipeline};
};

}  // namespace tavik::win32
