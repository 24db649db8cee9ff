// SPDX-License-Identifier: MIT
#include "text_fit.hpp"

#include <algorithm>
#include <string>
#include <string_view>

namespace tavik::win32 {
namespace {

std::wstring windowText(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring className(HWND control) {
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    return name;
}

// What DrawText needs for `text` in the control's font, `width` wide.
RECT textExtent(HWND control, std::wstring_view text, int width, UINT format) {
    RECT extent{0, 0, width, 0};
    HDC dc = GetDC(control);
    const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = SelectObject(dc, font);
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &extent, format | DT_CALCRECT);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return extent;
}

// The format a static text draws with, for its style.
UINT staticFormat(HWND control) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
    return DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0U);
}

// The lines of an edit's text, which the program sets with CR LF between them.
std::vector<std::wstring_view> lines(std::wstring_view text) {
    std::vector<std::wstring_view> result;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(L"\r\n", start);
        result.push_back(text.substr(start, end - start));
        if (end == std::wstring_view::npos) {
            return result;
        }
        start = end + 2;
    }
}

int width(const RECT& r) {
    return r.right - r.left;
}

int height(const RECT& r) {
    return r.bottom - r.top;
}

}  // namespace

TextFit::TextFit(HWND dialog) : m_dialog(dialog) {
    RECT client{};
    RECT window{};
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &window);
    m_client = {width(client), height(client)};
    m_nonClient = {width(window) - m_client.cx, height(window) - m_client.cy};
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        const std::wstring name = className(child);
        Kind kind = Kind::kFixed;
        if (_wcsicmp(name.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT) {
            kind = Kind::kText;
        } else if (_wcsicmp(name.c_str(), L"Edit") == 0 && (style & ES_MULTILINE) != 0 &&
                   (style & ES_READONLY) != 0) {
            kind = Kind::kLines;
            RECT format{};
            SendMessageW(child, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
            m_editFrame = {width(rect) - width(format), height(rect) - height(format)};
        }
        m_items.push_back({child, rect, kind});
    }
    std::sort(m_items.begin(), m_items.end(),
              [](const Item& a, const Item& b) { return a.rect.top < b.rect.top; });
}

void TextFit::fit() {
    // Wider, for the longest line of an edit: full-width controls widen with the dialog,
    // right-aligned ones move with its right edge, centred ones stay centred.
    int wider = 0;
    int margin = m_client.cx;
    for (const Item& item : m_items) {
        margin = std::min<int>(margin, item.rect.left);
        if (item.kind != Kind::kLines) {
            continue;
        }
        int longest = 0;
        for (std::wstring_view line : lines(windowText(item.control))) {
            longest = std::max<int>(
                longest, width(textExtent(item.control, line, 0, DT_SINGLELINE | DT_NOPREFIX)));
        }
        // One pixel more for the caret after the last character.
        wider = std::max<int>(wider, longest + 1 + m_editFrame.cx - width(item.rect));
    }
    const auto across = [&](const RECT& r) {
        const bool left = r.left <= margin;
        const bool right = r.right >= m_client.cx - margin - 1;
        const bool centred = std::abs(r.left + r.right - m_client.cx) <= 2;
        return RECT{r.left + (left      ? 0
                              : right   ? wider
                              : centred ? wider / 2
                                        : 0),
                    r.top,
                    r.right + (right     ? wider
                               : centred ? wider / 2
                                         : 0),
                    r.bottom};
    };

    // Taller, from the top down.
    struct Growth {
        LONG below;  // the template's bottom of the control that grew
        int by;
    };
    std::vector<Growth> growths;
    int lowest = 0;
    for (const Item& item : m_items) {
        RECT rect = across(item.rect);
        int down = 0;
        for (const Growth& g : growths) {
            down += item.rect.top >= g.below ? g.by : 0;
        }
        OffsetRect(&rect, 0, down);
        int needed = height(rect);
        if (item.kind == Kind::kText) {
            const std::wstring text = windowText(item.control);
            if (!text.empty()) {
                needed =
                    height(textExtent(item.control, text, width(rect), staticFormat(item.control)));
            }
        } else if (item.kind == Kind::kLines) {
            const std::wstring text = windowText(item.control);
            const int line = height(textExtent(item.control, L"Ag", 0, DT_SINGLELINE));
            needed = static_cast<int>(lines(text).size()) * line + m_editFrame.cy;
        }
        const int growth = std::max(0, needed - height(rect));
        if (growth > 0) {
            growths.push_back({item.rect.bottom, growth});
            rect.bottom += growth;
        }
        lowest = std::max<int>(lowest, rect.bottom);
        SetWindowPos(item.control, nullptr, rect.left, rect.top, width(rect), height(rect),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The template's bottom margin stays below the lowest control.
    int templateLowest = 0;
    for (const Item& item : m_items) {
        templateLowest = std::max<int>(templateLowest, item.rect.bottom);
    }
    const int taller = std::max(0, lowest - templateLowest);
    SetWindowPos(m_dialog, nullptr, 0, 0, m_client.cx + wider + m_nonClient.cx,
                 m_client.cy + taller + m_nonClient.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tavik::win32
