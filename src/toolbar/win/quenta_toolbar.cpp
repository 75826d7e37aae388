#include "toolbar/win/quenta_toolbar.h"

#include <oleauto.h>

#include <cstdio>

#include "app/window_list.h"
#include "base/win/registry.h"
#include "quenta_ids.h"
#include "toolbar/handover.h"
#include "toolbar/win/quenta_module.h"

namespace quenta {

namespace {

WNDPROC gBaseProc = nullptr;
ATOM gClassAtom = 0;
constexpr char kObjectProperty[] = "Quenta.Toolbar";

std::string toAnsi(const wchar_t* text, int length) {
    if (text == nullptr || length <= 0)
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

std::string loadModuleString(UINT id) {
    char text[512] = {};
    LoadStringA(moduleInstance(), id, text, sizeof text);
    return text;
}

}  // namespace

bool readInstallFolder(std::string& folder) {
    const vx::BoundedValue value = vx::readBoundedValue(HKEY_CURRENT_USER, vx::kProgramKey,
                                                        kInstallPathValue, vx::kInstallPathBytes);
    if (value.status != ERROR_SUCCESS)
        return false;
    auto read =
        vx::installFolderFromValue(value.type == REG_SZ, value.bytes.data(), value.bytes.size());
    if (!read)
        return false;
    folder = std::move(*read);
    return true;
}

CQuentaToolbar::~CQuentaToolbar() {
    destroyWindow();
    releaseWindowResources();
    browser_.Reset();
}

bool CQuentaToolbar::registerClass() {
    ModuleLock lock;
    if (gClassAtom)
        return true;
    WNDCLASSEXA base = {};
    base.cbSize = sizeof base;
    if (!GetClassInfoExA(nullptr, TOOLBARCLASSNAMEA, &base))
        return false;
    WNDCLASSEXA own = base;
    own.cbSize = sizeof own;
    own.hInstance = moduleInstance();
    own.lpszClassName = kToolbarClassName;
    own.lpfnWndProc = &CQuentaToolbar::windowProc;
    gBaseProc = base.lpfnWndProc;
    gClassAtom = RegisterClassExA(&own);
    return gClassAtom != 0;
}

void CQuentaToolbar::unregisterClass() {
    if (gClassAtom) {
        UnregisterClassA(kToolbarClassName, moduleInstance());
        gClassAtom = 0;
    }
}

bool CQuentaToolbar::create(HWND parent, const RECT& rect) {
    if (hwnd_ || !registerClass())
        return false;
    CreateWindowExA(0, kToolbarClassName, nullptr, kStyle, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                    moduleInstance(), this);
    return hwnd_ != nullptr;
}

void CQuentaToolbar::destroyWindow() {
    if (hwnd_ && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

void CQuentaToolbar::setBrowser(IWebBrowser2* browser) {
    browser_ = browser;
}

LRESULT CALLBACK CQuentaToolbar::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CQuentaToolbar*>(GetPropA(hwnd, kObjectProperty));
    if (message == WM_NCCREATE && !self) {
        self =
            static_cast<CQuentaToolbar*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (self) {
            SetPropA(hwnd, kObjectProperty, self);
            self->hwnd_ = hwnd;
        }
    }
    if (!self)
        return CallWindowProcA(gBaseProc, hwnd, message, wParam, lParam);

    switch (message) {
        case WM_CREATE: {
            // The control builds itself first; only then does it take our set-up.
            const LRESULT created = CallWindowProcA(gBaseProc, hwnd, message, wParam, lParam);
            if (created == -1)
                return -1;
            self->setUp();
            return 0;
        }
        case WM_NCDESTROY: {
            const LRESULT result = CallWindowProcA(gBaseProc, hwnd, message, wParam, lParam);
            RemovePropA(hwnd, kObjectProperty);
            self->hwnd_ = nullptr;
            self->releaseWindowResources();
            return result;
        }
        default: {
            LRESULT result = 0;
            if (self->handleMessage(message, wParam, lParam, result))
                return result;
            return CallWindowProcA(gBaseProc, hwnd, message, wParam, lParam);
        }
    }
}

void CQuentaToolbar::setUp() {
    SendMessageA(hwnd_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    SendMessageA(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(hwnd_, TB_SETMAXTEXTROWS, 1, 0);

    // A list of strings, each NUL-terminated, the list ending in a second NUL.
    char names[sizeof kProductName + 1] = {};
    memcpy(names, kProductName, sizeof kProductName);
    const LRESULT nameIndex =
        SendMessageA(hwnd_, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(names));

    HICON icon = LoadIconA(moduleInstance(), MAKEINTRESOURCEA(IDI_QUENTA_BUTTON));
    releaseWindowResources();
    images_ = ImageList_Create(16, 16, ILC_COLOR16, 1, 0);
    if (images_ && icon)
        ImageList_ReplaceIcon(images_, -1, icon);
    if (icon)
        DestroyIcon(icon);
    SendMessageA(hwnd_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));

    TBBUTTON button = {};
    button.iBitmap = 0;
    button.idCommand = ID_QUENTA_BUTTON;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_DROPDOWN | BTNS_AUTOSIZE | BTNS_SHOWTEXT | BTNS_WHOLEDROPDOWN;
    button.dwData = 0;
    button.iString = nameIndex;
    SendMessageA(hwnd_, TB_INSERTBUTTONA, 0, reinterpret_cast<LPARAM>(&button));

    menu_ = CreatePopupMenu();
    if (menu_) {
        AppendMenuA(menu_, MF_STRING, ID_DOWNLOAD_ALL_PAGES, "Download &All Pages");
        AppendMenuA(menu_, MF_STRING, ID_DOWNLOAD_CURRENT_PAGE, "Download &Current Page");
        AppendMenuA(menu_, MF_STRING, ID_RUN_VEXARO, "&Run Vexaro");
        AppendMenuA(menu_, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu_, MF_STRING, ID_VISIT_HOMEPAGE, "&Visit Vexaro Homepage");
    }
}

// The menu and the images belong to one toolbar window: a window made anew gets its own.
void CQuentaToolbar::releaseWindowResources() {
    if (menu_) {
        DestroyMenu(menu_);
        menu_ = nullptr;
    }
    if (images_) {
        ImageList_Destroy(images_);
        images_ = nullptr;
    }
}

bool CQuentaToolbar::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // Nothing may leave through the window procedure: a command that runs out of memory ends
    // there, as one that finds no install folder does.
    try {
        return dispatchMessage(message, wParam, lParam, result);
    } catch (...) {
        result = 0;
        return true;
    }
}

bool CQuentaToolbar::dispatchMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_NOTIFY && lParam != 0) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == TBN_DROPDOWN) {
            if (reinterpret_cast<const NMTOOLBARA*>(lParam)->iItem == ID_QUENTA_BUTTON)
                showMenu();
            result = TBDDRET_DEFAULT;
            return true;
        }
        if (header->code == TBN_GETINFOTIPA) {
            auto* tip = reinterpret_cast<NMTBGETINFOTIPA*>(lParam);
            if (tip->iItem == ID_QUENTA_BUTTON && tip->pszText && tip->cchTextMax > 0)
                lstrcpynA(tip->pszText, kProductName, tip->cchTextMax);
            result = 0;
            return true;
        }
        return false;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == 0) {
        onCommand(LOWORD(wParam));
        result = 0;
        return true;
    }
    return false;
}

void CQuentaToolbar::showMenu() {
    if (!hwnd_ || !menu_)
        return;
    RECT rect = {};
    SendMessageA(hwnd_, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect));
    MapWindowPoints(hwnd_, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
    TrackPopupMenu(menu_, TPM_RIGHTBUTTON, rect.left, rect.bottom, 0, hwnd_, nullptr);
}

void CQuentaToolbar::onCommand(UINT id) {
    std::string folder;
    switch (id) {
        case ID_DOWNLOAD_ALL_PAGES:
            if (readInstallFolder(folder))
                startVexaro(folder, "/all");
            break;
        case ID_DOWNLOAD_CURRENT_PAGE:
            downloadCurrentPage();
            break;
        case ID_RUN_VEXARO:
            if (readInstallFolder(folder))
                startVexaro(folder, nullptr);
            break;
        case ID_VISIT_HOMEPAGE:
            visitHomePage();
            break;
        default:
            break;
    }
}

void CQuentaToolbar::startVexaro(const std::string& installFolder, const char* parameters) {
    ShellExecuteA(hwnd_, "open", vx::vexaroExecutablePath(installFolder).c_str(), parameters,
                  nullptr, SW_SHOWNORMAL);
}

std::string CQuentaToolbar::currentPageAddress() {
    if (!browser_)
        return {};
    BSTR location = nullptr;
    std::string address;
    if (SUCCEEDED(browser_->get_LocationURL(&location)) && location)
        address = toAnsi(location, static_cast<int>(SysStringLen(location)));
    SysFreeString(location);
    return address;
}

void CQuentaToolbar::downloadCurrentPage() {
    std::string folder;
    if (!readInstallFolder(folder))
        return;
    const std::string address = currentPageAddress();
    // Text mode, so each line end is stored as CR LF, which is what Vexaro reads.
    if (FILE* file = std::fopen(vx::handOverFilePath(folder).c_str(), "w")) {
        const std::string text = vx::handOverText(address);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    } else {
        MessageBoxA(hwnd_, loadModuleString(IDS_CANNOT_OPEN_URL_CACHE).c_str(), "Error", MB_OK);
    }
    startVexaro(folder, "/current");
}

void CQuentaToolbar::visitHomePage() {
    if (!browser_)
        return;
    browser_->Stop();
    const int n = MultiByteToWideChar(CP_ACP, 0, vx::kHomePageAddress, -1, nullptr, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, vx::kHomePageAddress, -1, wide.data(), n);
    BSTR address = SysAllocString(wide.c_str());
    VARIANT flags, frame, postData, headers;
    VariantInit(&flags);
    VariantInit(&frame);
    VariantInit(&postData);
    VariantInit(&headers);
    browser_->Navigate(address, &flags, &frame, &postData, &headers);
    SysFreeString(address);
}

}  // namespace quenta
