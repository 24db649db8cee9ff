// SPDX-License-Identifier: MIT
// The window as the program starts it, over a scripted transmitter that is plugged in, so that a
// screen reader's check can send without touching a real one.
#include "remote_app.hpp"
#include "support/fake_hid_backend.hpp"

int main(int argc, char** argv) {
    tavik::test::FakeHidBackend backend;
    backend.plug({.path = "fake", .versionNumber = 0x0105});
    tavik::ui::CRemoteApp app;
    return app.initInstance(argc, argv, backend);
}
