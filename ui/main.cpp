// SPDX-License-Identifier: MIT
#include "platform_hid.hpp"
#include "remote_app.hpp"

int main(int argc, char** argv) {
    const auto backend = tavik::createPlatformHidBackend();
    tavik::ui::CRemoteApp app;
    return app.initInstance(argc, argv, *backend);
}
