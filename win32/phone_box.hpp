// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "qr_code.hpp"
#include "text_fit.hpp"

namespace tavik::win32 {

// The box that shows guests how to connect while the window serves phones: the QR code of the
// first link, every link, which system phones send to, and a button that ends the serving. A
// modeless dialog from its template; closing it keeps serving. Enter does nothing here: ending
// every guest's link takes the button (a click or its mnemonic).
class PhoneBox {
  public:
    struct Actions {
        std::function<void()> stopServing;
        std::function<void(bool everySystem)> openToEverySystem;
        std::function<void()> closed;  // the box is gone (closed, or serving stopped)
    };

    PhoneBox(HINSTANCE instance, HWND owner, const std::vector<std::string>& urls, Actions actions);
    ~PhoneBox();
    PhoneBox(const PhoneBox&) = delete;
    PhoneBox& operator=(const PhoneBox&) = delete;

    bool isOpen() const { return m_box != nullptr; }
    void show();
    // The system (and number) phones send to; empty: every system.
    void setSystemText(const std::string& system);

  private:
    static INT_PTR CALLBACK boxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void placeBesideOwner();
    void paintCode(const DRAWITEMSTRUCT& item) const;

    HWND m_owner;
    HWND m_box = nullptr;
    phone::QrMatrix m_code;
    std::wstring m_links;
    Actions m_actions;
    std::optional<TextFit> m_fit;
};

}  // namespace tavik::win32
