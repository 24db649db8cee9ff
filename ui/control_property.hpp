// SPDX-License-Identifier: MIT
#pragma once

namespace tavik::ui {

// The property that carries a control's identifier; tests find controls by it.
inline constexpr const char* kControlIdProperty = "controlId";

}  // namespace tavik::ui
