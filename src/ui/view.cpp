#include "ui/view.h"

namespace ui {

namespace {
constexpr char kViewClass[] = "VexaroView";
}

bool View::create(HWND parent, const RECT& rect, UINT id, DWORD style, DWORD exStyle) {
    if (!registerClass(kViewClass, CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)))
        return false;
    return createWindow(exStyle, kViewClass, "", style, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

bool View::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            OnDraw(dc);
            EndPaint(hwnd_, &ps);
            result = 0;
            return true;
        }
        case WM_PRINTCLIENT:
            OnDraw(reinterpret_cast<HDC>(wp));
            return true;
        default:
            return false;
    }
}

}  // namespace ui
