#pragma once

#include <QByteArray>
#include <functional>

class QWidget;

namespace tavik::ui {

// The About item "ﾊﾞｰｼﾞｮﾝ情報(tavik) (&A)..." after a separator: in the system menu where the
// program owns it (Windows), else in the window's context menu.
inline constexpr const char* kAboutItemText = "ﾊﾞｰｼﾞｮﾝ情報(tavik) (&A)...";

void installAboutItem(QWidget& window, const std::function<void()>& openAbout);

// True when a native event is the About item's command (Windows only).
bool isAboutCommand(const QByteArray& eventType, void* message);

}  // namespace tavik::ui
