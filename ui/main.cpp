#include "remote_app.hpp"

int main(int argc, char** argv) {
    tavik::ui::CRemoteApp app;
    return app.initInstance(argc, argv);
}
