#include "ui/window.h"

#include "ui/module.h"

namespace ui {

namespace {

// Marks windows bound to a Window, so GWLP_USERDATA is trusted only for them.
constexpr char kBoundProperty[] = "ui.Window";

}  // namespace

Window::~Window() {
    if (!hwnd_)
        return;
    HWND window = hwnd_;
    unbindWindow();
    DestroyWindow(window);
}

Window* Window::fromWindow(HWND window) {
    if (!window)
        return nullptr;
    auto* object = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!object || GetPropA(window, kBoundProperty) != object)
        return nullptr;
    return object;
}

void Window::destroyWindow() {
    if (hwnd_)
        DestroyWindow(hwnd_);
}

bool Window::registerClass(const char* name, UINT style, HBRUSH background, HCURSOR cursor) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(resourceModule(), name, &existing))
        return existing.lpfnWndProc == &Window::windowProc;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = &Window::windowProc;
    wc.hInstance = resourceModule();
    wc.hCursor = cursor ? cursor : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool Window::createWindow(DWORD exStyle, const char* className, const char* title, DWORD style,
                          int x, int y, int width, int height, HWND parent, HMENU menuOrId) {
    if (hwnd_)
        return false;
    HWND window = CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent,
                                  menuOrId, resourceModule(), this);
    return window != nullptr && hwnd_ == window;
}

void Window::bindWindow(HWND window) {
    hwnd_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetPropA(window, kBoundProperty, this);
}

void Window::unbindWindow() {
    if (!hwnd_)
        return;
    RemovePropA(hwnd_, kBoundProperty);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
}

LRESULT Window::defaultProc(UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

void Window::handlerFailed() noexcept {
    if (hwnd_)
        DestroyWindow(hwnd_);
}

LRESULT CALLBACK Window::windowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lp);
        self = create ? static_cast<Window*>(create->lpCreateParams) : nullptr;
        if (self && !self->hwnd_)
            self->bindWindow(window);
        else
            self = nullptr;
    } else {
        // Only this procedure's own classes get here, and only bindWindow writes their user
        // data; asking for the property too would cost a round trip to Wine's server on every
        // message (a tree of 200,000 items sends one notification per item it deletes).
        self = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcA(window, msg, wp, lp);
    return self->handleMessage(msg, wp, lp);
}

LRESULT Window::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    try {
        result = dispatch(msg, wp, lp);
    } catch (...) {
        switch (msg) {
            case WM_NCCREATE:
                result = FALSE;
                break;
            case WM_CREATE:
                result = -1;
                break;
            case WM_DESTROY:
            case WM_NCDESTROY:
                result = 0;
                break;
            default:
                result = 0;
                handlerFailed();
                break;
        }
    }
    if (msg == WM_NCDESTROY) {
        unbindWindow();
        windowDetached();
    }
    return result;
}

LRESULT Window::dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    switch (msg) {
        case WM_CREATE: {
            LRESULT base = defaultProc(msg, wp, lp);
            if (base == -1)
                return -1;
            return OnCreate(*reinterpret_cast<CREATESTRUCTA*>(lp)) ? 0 : -1;
        }
        case WM_COMMAND:
            if (OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)))
                return 0;
            break;
        case WM_NOTIFY:
            if (lp && OnNotify(*reinterpret_cast<NMHDR*>(lp), result))
                return result;
            break;
        default:
            if (OnMessage(msg, wp, lp, result))
                return result;
            break;
    }
    return defaultProc(msg, wp, lp);
}

}  // namespace ui
