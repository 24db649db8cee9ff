// SPDX-License-Identifier: MIT
#include "hidapi_backend.hpp"
#include "remote_app.hpp"

int main(int argc, char** argv) {
    tavik::HidapiBackend backend;
    tavik::ui::CRemoteApp app;
    return app.initInstance(argc, argv, backend);
}
