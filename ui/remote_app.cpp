// SPDX-License-Identifier: MIT
#include "remote_app.hpp"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app_icon.hpp"
#include "presets.hpp"
#include "process_end.hpp"
#include "remote_dialog.hpp"
#include "toolkit_translation.hpp"
#include "version.hpp"

namespace tavik::ui {
namespace {

constexpr const char* kUsage =
    "usage: tavik [LETTER[NUMBER] [COMMAND]]\n"
    "Opens the window. LETTER selects the karaoke system (case ignored), NUMBER its system\n"
    "number as the window lists it (no sign, no leading zeros), COMMAND (a song number or\n"
    "SE, KU, KD, SP, ST, CL) is sent at once, and the window closes again when it encodes.\n"
    "Arguments are split at blanks and tabs; further ones are ignored. Example: tavik T3 12\n"
    "Without a display, use tavik-cli.\n";

// Qt ends the program with a core dump when no window system can be reached. While the
// application is being created, that is the only fatal message it gives: say it plainly in one
// line instead (the platform's own warnings before it are left out). When the display is there
// but Qt lacks its plugin (qt6-wayland not installed, say), Qt's reason is the useful part.
// A message handler has no context of its own: the reason waits here until the fatal message.
QString missingPlugin;

void startupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg && missingPlugin.isEmpty() &&
        message.startsWith(QLatin1String("Could not find the Qt platform plugin"))) {
        missingPlugin = message;
    }
    if (type == QtFatalMsg) {
        if (missingPlugin.isEmpty()) {
            std::fputs("tavik: no display available; use tavik-cli to send without a window\n",
                       stderr);
        } else {
            std::fprintf(stderr, "tavik: cannot use the display: %s\n",
                         missingPlugin.toLocal8Bit().constData());
        }
        std::fflush(stderr);
        std::_Exit(2);
    }
}

}  // namespace

int CRemoteApp::initInstance(int argc, char** argv, HidBackend& backend) {
    // Only these two exact words are options; anything else is the first token of a command.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tavik %s\n", kVersion);
        return 0;
    }

    const QtMessageHandler previous = qInstallMessageHandler(startupMessages);
    QApplication application(argc, argv);
    qInstallMessageHandler(previous);
    QApplication::setApplicationName(QStringLiteral("tavik"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QApplication::setDesktopFileName(QStringLiteral("tavik"));
    QApplication::setWindowIcon(appIcon());
    installToolkitTranslation(application, toolkitTranslationDirectory());

    // Qt has taken its own options out of argv by now.
    const Presets presets = presetsFromArguments(std::vector<std::string>(argv + 1, argv + argc));
    int status = 0;
    {
        CRemoteDlg dialog(backend);
        dialog.presetLetter = presets.presetLetter;
        dialog.presetNumber = presets.presetNumber;
        dialog.presetCommand = presets.presetCommand;
        dialog.runModal();
        status = dialog.presetNotDelivered() ? 1 : 0;
    }  // the session, its link and its log end with the window
    endWithoutToolkitTeardown(status);
}

}  // namespace tavik::ui
