// SPDX-License-Identifier: MIT
#pragma once

namespace tavik::ui {

// Makes Qt give the log list, the selectors and the QR code the interfaces a screen reader needs
// (a list that announces its lines, selectors named for their purpose, an image). Safe to call any
// number of times, from the window's thread.
void installAccessibleFactory();

}  // namespace tavik::ui
