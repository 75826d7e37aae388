#include "toolbar/win/band_window.h"

#include <cstdio>

#include "toolbar/win/quenta_module.h"

namespace quenta {

namespace {

ATOM gClassAtom = 0;
char gClassName[64] = {};

}  // namespace

CBandWindow::~CBandWindow() {
    destroy();
}

bool CBandWindow::registerClass() {
    ModuleLock lock;
    if (gClassAtom)
        return true;
    // A name of this load of the module, so two copies in one process never share a class.
    std::snprintf(gClassName, sizeof gClassName, "Quenta:Band:%p",
                  static_cast<void*>(moduleInstance()));
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &CBandWindow::windowProc;
    wc.hInstance = moduleInstance();
    wc.lpszClassName = gClassName;
    gClassAtom = RegisterClassExA(&wc);
    return gClassAtom != 0;
}

void CBandWindow::unregisterClass() {
    if (gClassAtom) {
        UnregisterClassA(gClassName, moduleInstance());
        gClassAtom = 0;
    }
}

bool CBandWindow::create(HWND parent, const RECT& rect) {
    if (hwnd_ || !registerClass())
        return false;
    CreateWindowExA(0, gClassName, nullptr, WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent, nullptr, moduleInstance(), this);
    return hwnd_ != nullptr;
}

void CBandWindow::destroy() {
    if (hwnd_ && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    toolbar_.destroyWindow();
}

LRESULT CALLBACK CBandWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CBandWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<CBandWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self)
            self->hwnd_ = hwnd;
    }
    if (!self)
        return DefWindowProcA(hwnd, message, wParam, lParam);

    switch (message) {
        case WM_CREATE: {
            RECT client = {};
            GetClientRect(hwnd, &client);
            self->toolbar_.create(hwnd, client);
            return 0;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            return DefWindowProcA(hwnd, message, wParam, lParam);
        default: {
            LRESULT result = 0;
            if (self->toolbar_.handleMessage(message, wParam, lParam, result))
                return result;
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
    }
}

}  // namespace quenta
