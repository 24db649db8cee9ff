// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "console.hpp"
#include "text_convert_win.hpp"

namespace tavik::cli {
namespace {

UINT g_consoleCodePage = 0;

void restoreCodePage() {
    SetConsoleOutputCP(g_consoleCodePage);
}

}  // namespace

void prepareStandardStreams() {
    // The output is UTF-8: a console shows it as such for this run, and a redirect gets the same
    // bytes as on other platforms (no CR before LF), on both streams: a script reads the resume
    // line of a stopped batch from the error stream.
    g_consoleCodePage = GetConsoleOutputCP();
    if (g_consoleCodePage != 0 && SetConsoleOutputCP(CP_UTF8)) {
        std::atexit(restoreCodePage);
    }
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
}

std::vector<std::string> programArguments(int, char**) {
    // argv is in the ANSI code page; the wide command line keeps every character.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace tavik::cli
