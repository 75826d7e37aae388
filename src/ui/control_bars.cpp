#include "ui/control_bars.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/module.h"
#include "ui/text.h"

namespace ui {

namespace {

// What a toolbar resource holds (RT_TOOLBAR): version 1, image size, then the commands.
struct ToolBarResource {
    WORD version;
    WORD width;
    WORD height;
    WORD count;
};
constexpr WORD kToolBarType = 241;

int windowHeight(HWND window) {
    RECT r{};
    if (!window || !GetWindowRect(window, &r))
        return 0;
    return r.bottom - r.top;
}

int textWidth(HWND window, const std::string& text) {
    HDC dc = GetDC(window);
    if (!dc)
        return 0;
    auto font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return size.cx;
}

}  // namespace

CommandTexts commandTexts(UINT commandId) {
    std::string text = loadString(commandId);
    const std::size_t split = text.find('\n');
    if (split == std::string::npos)
        return {text, std::string()};
    return {text.substr(0, split), text.substr(split + 1)};
}

bool ToolBar::create(HWND parent, UINT id, DWORD style) {
    if (hwnd_)
        return false;
    hwnd_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                            style | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP | CCS_NODIVIDER, 0, 0,
                            0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            resourceModule(), nullptr);
    if (!hwnd_)
        return false;
    SendMessageA(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    return true;
}

bool ToolBar::loadToolBar(UINT resourceId) {
    if (!hwnd_)
        return false;
    HRSRC found = FindResourceA(resourceModule(), MAKEINTRESOURCEA(resourceId),
                                MAKEINTRESOURCEA(kToolBarType));
    HGLOBAL loaded = found ? LoadResource(resourceModule(), found) : nullptr;
    const auto* data = loaded ? static_cast<const ToolBarResource*>(LockResource(loaded)) : nullptr;
    const DWORD size = found ? SizeofResource(resourceModule(), found) : 0;
    if (!data || size < sizeof(ToolBarResource) || data->version != 1 ||
        size < sizeof(ToolBarResource) + data->count * sizeof(WORD))
        return false;
    const auto* ids = reinterpret_cast<const WORD*>(data + 1);

    // The grey shades of the strip follow the system's button colours, as toolbar images do.
    HBITMAP strip = CreateMappedBitmap(resourceModule(), resourceId, 0, nullptr, 0);
    if (!strip)
        return false;
    BITMAP info{};
    GetObjectA(strip, sizeof info, &info);
    const int images = data->width ? info.bmWidth / data->width : 0;

    SendMessageA(hwnd_, TB_SETBITMAPSIZE, 0, MAKELPARAM(data->width, data->height));
    SendMessageA(hwnd_, TB_SETBUTTONSIZE, 0, MAKELPARAM(data->width + 7, data->height + 7));
    TBADDBITMAP add{nullptr, reinterpret_cast<UINT_PTR>(strip)};
    if (SendMessageA(hwnd_, TB_ADDBITMAP, images, reinterpret_cast<LPARAM>(&add)) == -1) {
        DeleteObject(strip);
        return false;
    }
    // The toolbar keeps using the bitmap; it goes with the process.

    std::vector<TBBUTTON> buttons;
    commands_.clear();
    int image = 0;
    for (WORD i = 0; i < data->count; ++i) {
        TBBUTTON button{};
        button.idCommand = ids[i];
        if (ids[i] == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(button);
        commands_.push_back(ids[i]);
    }
    if (!buttons.empty() && !SendMessageA(hwnd_, TB_ADDBUTTONSA, buttons.size(),
                                          reinterpret_cast<LPARAM>(buttons.data())))
        return false;
    SendMessageA(hwnd_, TB_AUTOSIZE, 0, 0);
    return true;
}

int ToolBar::height() const {
    return IsWindowVisible(hwnd_) ? windowHeight(hwnd_) : 0;
}

void ToolBar::layout() const {
    if (hwnd_)
        SendMessageA(hwnd_, TB_AUTOSIZE, 0, 0);
}

bool StatusBar::create(HWND parent, UINT id, DWORD style) {
    if (hwnd_)
        return false;
    if (GetWindowLongA(parent, GWL_STYLE) & WS_THICKFRAME)
        style |= SBARS_SIZEGRIP;
    hwnd_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", style | CCS_BOTTOM, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), resourceModule(),
                            nullptr);
    return hwnd_ != nullptr;
}

bool StatusBar::setIndicators(const std::vector<UINT>& indicators) {
    if (!hwnd_ || indicators.empty() || indicators.size() > 255)
        return false;
    indicators_ = indicators;
    shown_.assign(indicators.size(), -1);
    layout();
    refreshIndicators();
    return true;
}

int StatusBar::height() const {
    return IsWindowVisible(hwnd_) ? windowHeight(hwnd_) : 0;
}

void StatusBar::layout() {
    if (!hwnd_)
        return;
    SendMessageA(hwnd_, WM_SIZE, 0, 0);
    if (indicators_.empty())
        return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    int grip =
        (GetWindowLongA(hwnd_, GWL_STYLE) & SBARS_SIZEGRIP) ? GetSystemMetrics(SM_CXVSCROLL) : 0;
    // Indicators keep the width of their text and stand at the right; the message pane takes
    // what is left.
    std::vector<int> widths(indicators_.size(), -1);
    int fixed = 0;
    for (std::size_t i = 0; i < indicators_.size(); ++i) {
        if (indicators_[i] == kMessagePane)
            continue;
        widths[i] = textWidth(hwnd_, loadString(indicators_[i])) + 12;
        fixed += widths[i];
    }
    int free = client.right - grip - fixed;
    if (free < 0)
        free = 0;
    std::vector<int> edges(indicators_.size());
    int x = 0;
    for (std::size_t i = 0; i < indicators_.size(); ++i) {
        x += widths[i] >= 0 ? widths[i] : free;
        edges[i] = x;
    }
    edges.back() = -1;
    SendMessageA(hwnd_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    std::fill(shown_.begin(), shown_.end(), -1);
    refreshIndicators();
}

void StatusBar::setMessage(const std::string& text) {
    for (std::size_t i = 0; i < indicators_.size(); ++i) {
        if (indicators_[i] == kMessagePane) {
            SendMessageA(hwnd_, SB_SETTEXTA, i, reinterpret_cast<LPARAM>(text.c_str()));
            return;
        }
    }
    if (hwnd_)
        SendMessageA(hwnd_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string StatusBar::message() const {
    for (std::size_t i = 0; i < indicators_.size(); ++i)
        if (indicators_[i] == kMessagePane)
            return paneText(static_cast<int>(i));
    return paneText(0);
}

std::string StatusBar::paneText(int index) const {
    if (!hwnd_)
        return std::string();
    const LRESULT length = LOWORD(SendMessageA(hwnd_, SB_GETTEXTLENGTHA, index, 0));
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(hwnd_, SB_GETTEXTA, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return text;
}

void StatusBar::refreshIndicators() {
    for (std::size_t i = 0; i < indicators_.size(); ++i) {
        int key = 0;
        switch (indicators_[i]) {
            case kCapsLock:
                key = VK_CAPITAL;
                break;
            case kNumLock:
                key = VK_NUMLOCK;
                break;
            case kScrollLock:
                key = VK_SCROLL;
                break;
            default:
                continue;
        }
        const int on = (GetKeyState(key) & 1) ? 1 : 0;
        if (on == shown_[i])
            continue;
        shown_[i] = on;
        const std::string text = on ? loadString(indicators_[i]) : std::string();
        SendMessageA(hwnd_, SB_SETTEXTA, i, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

}  // namespace ui
