// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace tavik::win32 {

// The command field does not scroll, so its edit control keeps only the part of a paste that
// fits and drops the rest; a cut song number would then be sent. This makes `edit` refuse a
// paste that it cannot take whole (text and selection stay as they were, with a beep).
void refusePartialPastes(HWND edit);

}  // namespace tavik::win32
