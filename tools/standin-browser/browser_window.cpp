#include "browser_window.h"

#include <commctrl.h>

namespace standin {

namespace {

constexpr char kPageClassName[] = "StandinBrowserPage";
constexpr UINT kAddressBandId = 1;
constexpr UINT kFirstBandId = 100;
// The process ends with its last browser window.
int gLiveWindows = 0;

std::string captionOf(const std::string& title, const std::string& address) {
    return (title.empty() ? address : title) + kCaptionSuffix;
}

}  // namespace

BrowserWindow::BrowserWindow(const FixtureWindow& page, const std::vector<FixtureWindow>* pages)
    : address_(page.url), title_(page.title), page_(page), pages_(pages) {}

BrowserWindow::~BrowserWindow() {
    if (frame_ && IsWindow(frame_))
        DestroyWindow(frame_);
}

bool BrowserWindow::registerClasses(HINSTANCE instance) {
    WNDCLASSEXA frame{};
    frame.cbSize = sizeof frame;
    frame.lpfnWndProc = &BrowserWindow::frameProc;
    frame.hInstance = instance;
    frame.hCursor = LoadCursor(nullptr, IDC_ARROW);
    frame.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frame.lpszClassName = kFrameClassName;
    WNDCLASSEXA page = frame;
    page.lpfnWndProc = &BrowserWindow::pageProc;
    page.hIcon = nullptr;
    page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    page.lpszClassName = kPageClassName;
    return RegisterClassExA(&frame) && RegisterClassExA(&page);
}

bool BrowserWindow::create(HINSTANCE instance, POINT position) {
    CreateWindowExA(0, kFrameClassName, captionOf(title_, address_).c_str(),
                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, position.x, position.y, kWidth, kHeight,
                    nullptr, nullptr, instance, this);
    if (!frame_)
        return false;
    ++gLiveWindows;
    ShowWindow(frame_, SW_SHOWNORMAL);
    UpdateWindow(frame_);
    loadBands();
    layout();
    return true;
}

LRESULT CALLBACK BrowserWindow::frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<BrowserWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self =
            static_cast<BrowserWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->frame_ = hwnd;
    }
    if (!self)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            self->onCreate();
            return 0;
        case WM_SIZE:
            self->layout();
            return 0;
        case WM_NOTIFY:
            if (reinterpret_cast<NMHDR*>(lParam)->code == RBN_HEIGHTCHANGE) {
                self->layout();
                return 0;
            }
            break;
        case WM_DESTROY:
            // The bands go while the strip they live in still exists.
            self->unloadBands();
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            self->frame_ = nullptr;
            self->strip_ = nullptr;
            self->addressBar_ = nullptr;
            self->pageView_ = nullptr;
            if (self->font_)
                DeleteObject(self->font_);
            self->font_ = nullptr;
            if (--gLiveWindows == 0)
                PostQuitMessage(0);
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void BrowserWindow::onCreate() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(frame_, GWLP_HINSTANCE));
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_ = CreateFontIndirectA(&metrics.lfMessageFont);

    strip_ = CreateWindowExA(WS_EX_TOOLWINDOW, REBARCLASSNAMEA, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                 RBS_VARHEIGHT | RBS_BANDBORDERS | CCS_NODIVIDER | CCS_TOP,
                             0, 0, 0, 0, frame_, nullptr, instance, nullptr);
    REBARINFO info{};
    info.cbSize = sizeof info;
    SendMessageA(strip_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));

    addressBar_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", address_.c_str(),
                                  WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_READONLY, 0, 0, 200,
                                  22, strip_, nullptr, instance, nullptr);
    if (font_)
        SendMessageA(addressBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    char label[] = "Address";
    REBARBANDINFOA band{};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_STYLE | RBBIM_TEXT | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID;
    band.fStyle = RBBS_CHILDEDGE | RBBS_BREAK;
    band.lpText = label;
    band.hwndChild = addressBar_;
    band.cxMinChild = 100;
    band.cyMinChild = 22;
    band.cx = 600;
    band.wID = kAddressBandId;
    SendMessageA(strip_, RB_INSERTBANDA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));

    pageView_ = CreateWindowExA(WS_EX_CLIENTEDGE, kPageClassName, nullptr, WS_CHILD | WS_VISIBLE, 0,
                                0, 0, 0, frame_, nullptr, instance, this);

    browser_ = makeBrowser(this);
    site_ = makeBandSite(this, browser_.Get());
}

void BrowserWindow::loadBands() {
    if (!site_)
        return;
    UINT nextId = kFirstBandId;
    for (const CLSID& clsid : registeredToolbarBands()) {
        auto band = std::make_unique<LoadedBand>();
        std::string error;
        if (!band->load(clsid, nextId, site_.Get(), error)) {
            wchar_t text[64] = {};
            StringFromGUID2(clsid, text, 64);
            bandErrors_.push_back(toAnsi(text) + " " + error);
            continue;
        }
        // The strip becomes the band window's parent, as in a browser.
        HWND child = band->window();
        SetParent(child, strip_);
        const DESKBANDINFO& info = band->info();
        REBARBANDINFOA entry{};
        entry.cbSize = sizeof entry;
        entry.fMask =
            RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID | RBBIM_IDEALSIZE;
        entry.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS;
        entry.hwndChild = child;
        entry.cxMinChild = (info.dwMask & DBIM_MINSIZE) ? info.ptMinSize.x : 100;
        entry.cyMinChild = (info.dwMask & DBIM_MINSIZE) ? info.ptMinSize.y : 22;
        entry.cx = (info.dwMask & DBIM_ACTUAL) ? info.ptActual.x : entry.cxMinChild;
        entry.cxIdeal = entry.cx;
        entry.wID = nextId++;
        // Bands sit in the first row, before the address bar.
        SendMessageA(strip_, RB_INSERTBANDA, static_cast<WPARAM>(bands_.size()),
                     reinterpret_cast<LPARAM>(&entry));
        band->band()->ShowDW(TRUE);
        bands_.push_back(std::move(band));
    }
    InvalidateRect(pageView_, nullptr, TRUE);
}

void BrowserWindow::unloadBands() {
    while (!bands_.empty()) {
        const UINT count = static_cast<UINT>(SendMessageA(strip_, RB_GETBANDCOUNT, 0, 0));
        if (count > 1)
            SendMessageA(strip_, RB_DELETEBAND, bands_.size() - 1, 0);
        bands_.back()->unload();
        bands_.pop_back();
    }
    site_.Reset();
    detachBrowser(browser_.Get());
    browser_.Reset();
}

void BrowserWindow::layout() {
    if (!frame_ || !strip_)
        return;
    RECT client{};
    GetClientRect(frame_, &client);
    SendMessageA(strip_, WM_SIZE, 0, 0);
    RECT strip{};
    GetWindowRect(strip_, &strip);
    const int stripHeight = strip.bottom - strip.top;
    MoveWindow(pageView_, 0, stripHeight, client.right, client.bottom - stripHeight, TRUE);
}

void BrowserWindow::navigate(const std::string& address) {
    address_ = address;
    pageKnown_ = false;
    title_.clear();
    if (pages_) {
        for (const FixtureWindow& candidate : *pages_) {
            if (!candidate.isFolder && candidate.url == address) {
                page_ = candidate;
                title_ = candidate.title;
                pageKnown_ = true;
                break;
            }
        }
    }
    showPage();
}

void BrowserWindow::showPage() {
    if (!frame_)
        return;
    SetWindowTextA(frame_, captionOf(title_, address_).c_str());
    SetWindowTextA(addressBar_, address_.c_str());
    InvalidateRect(pageView_, nullptr, TRUE);
}

LRESULT CALLBACK BrowserWindow::pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<BrowserWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self =
            static_cast<BrowserWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (message == WM_PAINT && self) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT area{};
        GetClientRect(hwnd, &area);
        try {
            self->paintPage(dc, area);
        } catch (...) {
            // Out of memory while painting: the page stays blank until the next paint.
        }
        EndPaint(hwnd, &paint);
        return 0;
    }
    if (message == WM_NCDESTROY)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The page as the fixture describes it: its title and address, then its pictures with their
// laid-out sizes and its links, in page order.
void BrowserWindow::paintPage(HDC dc, const RECT& area) {
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    const int line = metrics.tmHeight + 4;
    int y = 12;
    auto write = [&](const std::string& text, int indent, COLORREF colour) {
        SetTextColor(dc, colour);
        RECT row = {12 + indent, y, area.right - 12, y + line};
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &row,
                  DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        y += line;
    };
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF link = RGB(0, 0, 204);
    const COLORREF quiet = GetSysColor(COLOR_GRAYTEXT);
    write(title_.empty() ? "(untitled page)" : title_, 0, text);
    write(address_, 0, quiet);
    y += line / 2;
    if (!pageKnown_) {
        write("This page is not one of the stand-in browser's pages: nothing to show.", 0, text);
    } else {
        if (page_.images.empty() && page_.links.empty())
            write("This page holds no pictures and no links.", 0, text);
        if (!page_.images.empty()) {
            write("Pictures:", 0, text);
            for (const FixtureImage& image : page_.images) {
                write(image.source + "   (" + std::to_string(image.width) + " x " +
                          std::to_string(image.height) + ")",
                      16, text);
            }
        }
        if (!page_.links.empty()) {
            write("Links:", 0, text);
            for (const FixtureLink& target : page_.links)
                write(target.target, 16, link);
        }
    }
    if (!bandErrors_.empty()) {
        y += line / 2;
        for (const std::string& error : bandErrors_)
            write("Toolbar band " + error, 0, RGB(176, 0, 0));
    }
    if (oldFont)
        SelectObject(dc, oldFont);
}

}  // namespace standin
