// SPDX-License-Identifier: MIT
// Builds without the web remote: no serve command.
#include "serve_command.hpp"

#include "cli_app.hpp"

namespace tavik::cli {

CLI::App* addServeCommand(CLI::App& /*app*/, ServeOptions& /*options*/) {
    return nullptr;
}

int serveRemote(HidBackend& /*backend*/, const ServeOptions& /*options*/, std::ostream& /*out*/,
                std::ostream& /*err*/) {
    return kExitBadInput;
}

}  // namespace tavik::cli
