#include "remote_app.hpp"

#include <QApplication>

#include "app_icon.hpp"
#include "command_line.hpp"
#include "hidapi_backend.hpp"
#include "remote_dialog.hpp"
#include "version.hpp"

namespace tavik::ui {

Presets presetsFromArguments(const std::vector<std::string>& arguments) {
    const std::vector<std::string> tokens = splitArguments(arguments);
    Presets presets;
    if (!tokens.empty()) {
        presets.letter = tokens[0].substr(0, 1);
        presets.number = tokens[0].substr(1);
    }
    if (tokens.size() > 1) {
        presets.command = tokens[1];
    }
    return presets;
}

int CRemoteApp::initInstance(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavik"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QApplication::setDesktopFileName(QStringLiteral("tavik"));
    QApplication::setWindowIcon(appIcon());

    // Qt has taken its own options out of argv by now.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const Presets presets = presetsFromArguments(arguments);

    HidapiBackend backend;
    CRemoteDlg dialog(backend);
    // The letter is one byte as typed; only an ASCII letter can match a system.
    dialog.presetLetter =
        presets.letter.empty() ? QString() : QString(QChar(static_cast<uchar>(presets.letter[0])));
    dialog.presetNumber = QString::fromStdString(presets.number);
    dialog.presetCommand = QString::fromStdString(presets.command);
    dialog.runModal();
    return dialog.presetNotDelivered() ? 1 : 0;
}

}  // namespace tavik::ui
