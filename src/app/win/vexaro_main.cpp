#include <windows.h>

#include "app/win/vexaro_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        vx::CVexaroApp app;
        return app.run();
    } catch (...) {
        // Nothing useful is left to show; end with a failure code instead of an abort.
        return 1;
    }
}
