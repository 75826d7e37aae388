#include "settings/win/page_frame.h"

#include "settings/win/theme_library.h"

namespace vx {

namespace {

constexpr char kFrameClass[] = "VexaroPageFrame";
constexpr char kFrameName[] = "Page Frame";
// The tab pane part of the "Tab" theme class (TABP_PANE).
constexpr int kTabPanePart = 9;

COLORREF blend(COLORREF from, COLORREF to, int step, int steps) {
    auto mix = [&](int a, int b) { return a + (b - a) * step / (steps > 0 ? steps : 1); };
    return RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
               mix(GetBValue(from), GetBValue(to)));
}

void fillSolid(HDC dc, const RECT& rect, COLORREF color) {
    COLORREF previous = SetBkColor(dc, color);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(dc, previous);
}

}  // namespace

PageFrame::~PageFrame() {
    destroy();
}

bool PageFrame::create(HWND parent, const RECT& rect, bool showCaption, int captionHeight) {
    if (hwnd_ || !registerClass(kFrameClass, CS_HREDRAW | CS_VREDRAW,
                                reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return false;
    showCaption_ = showCaption;
    captionHeight_ = captionHeight;
    // Clipping the siblings keeps the frame from painting over the page inside it.
    return createWindow(0, kFrameClass, kFrameName, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                        rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlId)));
}

void PageFrame::destroy() {
    destroyWindow();
}

void PageFrame::setThemeLibrary(const ThemeLibrary& library) {
    theme_ = &library;
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, FALSE);
}

const ThemeLibrary& PageFrame::theme() const {
    return theme_ ? *theme_ : ThemeLibrary::instance();
}

void PageFrame::setCaption(const std::string& text, HIMAGELIST images, int image) {
    text_ = text;
    images_ = images;
    image_ = image;
    if (hwnd_ && showCaption_) {
        RECT bar = captionRect();
        InvalidateRect(hwnd_, &bar, FALSE);
    }
}

RECT PageFrame::contentRect(HDC dc) const {
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    const ThemeLibrary& theme = this->theme();
    if (hwnd_ && theme.isThemeActive()) {
        if (HTHEME data = theme.openThemeData(hwnd_, L"Tab")) {
            RECT content{};
            bool found =
                theme.themeBackgroundContentRect(data, dc, kTabPanePart, 0, client, content);
            theme.closeThemeData(data);
            if (found)
                return content;
        }
    }
    return client;
}

RECT PageFrame::captionRect() const {
    HDC dc = hwnd_ ? GetDC(hwnd_) : nullptr;
    RECT area = contentRect(dc);
    if (dc)
        ReleaseDC(hwnd_, dc);
    if (!showCaption_)
        return RECT{area.left, area.top, area.right, area.top};
    return RECT{area.left, area.top, area.right, area.top + captionHeight_};
}

RECT PageFrame::pageArea() const {
    HDC dc = hwnd_ ? GetDC(hwnd_) : nullptr;
    RECT area = contentRect(dc);
    if (dc)
        ReleaseDC(hwnd_, dc);
    if (showCaption_)
        area.top += captionHeight_ + 1;
    if (area.top > area.bottom)
        area.top = area.bottom;
    return area;
}

void PageFrame::paint(HDC dc) const {
    if (!hwnd_)
        return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    RECT area = client;
    bool themed = false;
    const ThemeLibrary& theme = this->theme();
    if (theme.isThemeActive()) {
        if (HTHEME data = theme.openThemeData(hwnd_, L"Tab")) {
            themed = theme.drawThemeBackground(data, dc, kTabPanePart, 0, client);
            RECT content{};
            if (themed &&
                theme.themeBackgroundContentRect(data, dc, kTabPanePart, 0, client, content))
                area = content;
            theme.closeThemeData(data);
        }
    }
    if (!themed)
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    if (showCaption_)
        paintCaption(dc, RECT{area.left, area.top, area.right, area.top + captionHeight_});
}

void PageFrame::paintCaption(HDC dc, const RECT& bar) const {
    int width = bar.right - bar.left;
    int height = bar.bottom - bar.top;
    if (width <= 0 || height <= 0)
        return;
    // Fades from the caption colour into whatever the background is below the bar's left end.
    COLORREF from = GetSysColor(COLOR_INACTIVECAPTION);
    COLORREF to = GetPixel(dc, bar.left, bar.bottom - 1);
    if (to == CLR_INVALID)
        to = GetSysColor(COLOR_BTNFACE);
    for (int x = 0; x < width; ++x) {
        RECT column{bar.left + x, bar.top, bar.left + x + 1, bar.bottom};
        fillSolid(dc, column, blend(from, to, x, width - 1));
    }

    int textLeft = bar.left + 3;
    int imageCount = images_ ? ImageList_GetImageCount(images_) : 0;
    if (image_ >= 0 && image_ < imageCount) {
        int iconWidth = 0;
        int iconHeight = 0;
        ImageList_GetIconSize(images_, &iconWidth, &iconHeight);
        ImageList_Draw(images_, image_, dc, bar.left + 3, bar.top + (height - iconHeight) / 2,
                       ILD_TRANSPARENT);
        textLeft = bar.left + 3 + iconWidth + 2;
    }
    RECT textRect{textLeft, bar.top, bar.right - 2, bar.bottom};
    if (textRect.right <= textRect.left || text_.empty())
        return;
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
    DrawTextA(dc, text_.c_str(), static_cast<int>(text_.size()), &textRect,
              DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

void PageFrame::onPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client{};
    GetClientRect(hwnd_, &client);
    // Drawn off screen first: no flicker, and the gradient can read back its background pixel.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, client.right, client.bottom) : nullptr;
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        paint(memory);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
    } else {
        paint(dc);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    EndPaint(hwnd_, &ps);
}

bool PageFrame::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    switch (msg) {
        case WM_ERASEBKGND:
            result = 1;
            return true;
        case WM_PAINT:
            onPaint();
            return true;
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(wp));
            return true;
        default:
            return false;
    }
}

}  // namespace vx
