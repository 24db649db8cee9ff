#include "remote_app.hpp"

#include <QApplication>

#include "app_icon.hpp"
#include "presets.hpp"
#include "remote_dialog.hpp"
#include "version.hpp"

namespace tavik::ui {

int CRemoteApp::initInstance(int argc, char** argv, HidBackend& backend) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavik"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QApplication::setDesktopFileName(QStringLiteral("tavik"));
    QApplication::setWindowIcon(appIcon());

    // Qt has taken its own options out of argv by now.
    const Presets presets = presetsFromArguments(std::vector<std::string>(argv + 1, argv + argc));
    CRemoteDlg dialog(backend);
    dialog.presetLetter = presets.presetLetter;
    dialog.presetNumber = presets.presetNumber;
    dialog.presetCommand = presets.presetCommand;
    dialog.runModal();
    return dialog.presetNotDelivered() ? 1 : 0;
}

}  // namespace tavik::ui
