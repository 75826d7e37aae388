#include "robot.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "png_file.h"

namespace robot {

namespace {

// Text of a window of any thread or process, without hanging on one that does not answer.
std::string remoteText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return {};
    text.resize(std::min<size_t>(copied, length));
    return text;
}

struct BoxShape {
    HWND box = nullptr;
    HWND textControl = nullptr;
    HWND iconControl = nullptr;
    std::vector<std::pair<int, HWND>> buttons;
    bool foreign = false;  // a control that no message box has
};

BOOL CALLBACK collectChild(HWND child, LPARAM param) {
    auto* shape = reinterpret_cast<BoxShape*>(param);
    if (GetAncestor(child, GA_PARENT) != shape->box)
        return TRUE;
    std::string name = className(child);
    int id = GetDlgCtrlID(child);
    if (lstrcmpiA(name.c_str(), "Static") == 0) {
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
            if (IsWindowVisible(child))
                shape->iconControl = child;
        } else if (id == 0xFFFF) {
            shape->textControl = child;
        }
    } else if (lstrcmpiA(name.c_str(), "Button") == 0) {
        if (IsWindowVisible(child))
            shape->buttons.emplace_back(id, child);
    } else {
        shape->foreign = true;
    }
    return TRUE;
}

UINT iconStyleOf(HWND iconControl) {
    if (!iconControl)
        return 0;
    DWORD_PTR icon = 0;
    if (!SendMessageTimeoutA(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon))
        return 0;
    const std::pair<LPCSTR, UINT> known[] = {{IDI_INFORMATION, MB_ICONINFORMATION},
                                             {IDI_ERROR, MB_ICONERROR},
                                             {IDI_WARNING, MB_ICONWARNING},
                                             {IDI_QUESTION, MB_ICONQUESTION}};
    for (const auto& [id, style] : known) {
        if (reinterpret_cast<HICON>(icon) == LoadIconA(nullptr, id))
            return style;
    }
    return 0;
}

}  // namespace

MessageBoxCatcher::MessageBoxCatcher(std::vector<int> answers, DWORD processId)
    : answers_(answers.empty() ? std::vector<int>{IDOK} : std::move(answers)),
      processId_(processId ? processId : GetCurrentProcessId()) {
    thread_ = std::thread([this] { watch(); });
}

MessageBoxCatcher::~MessageBoxCatcher() {
    stop_ = true;
    thread_.join();
}

void MessageBoxCatcher::watchProcess(DWORD processId) {
    processId_ = processId;
}

std::vector<CaughtBox> MessageBoxCatcher::boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

size_t MessageBoxCatcher::count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_.size();
}

void MessageBoxCatcher::watch() {
    while (!stop_) {
        std::vector<HWND> candidates;
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&candidates));
        for (HWND window : candidates)
            inspect(window);
        Sleep(10);
    }
}

void MessageBoxCatcher::inspect(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != processId_ || !IsWindowVisible(window) || className(window) != "#32770")
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (seen_.count(window))
            return;
    }
    BoxShape shape;
    shape.box = window;
    EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&shape));
    if (!shape.textControl || shape.foreign || shape.buttons.empty())
        return;

    CaughtBox box;
    box.processId = pid;
    box.caption = remoteText(window);
    box.text = remoteText(shape.textControl);
    box.iconStyle = iconStyleOf(shape.iconControl);
    for (const auto& [id, control] : shape.buttons)
        box.buttons.push_back(id);

    size_t index;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        index = boxes_.size();
    }
    int wanted = answers_[std::min(index, answers_.size() - 1)];
    auto has = [&](int id) {
        return std::any_of(shape.buttons.begin(), shape.buttons.end(),
                           [id](const auto& b) { return b.first == id; });
    };
    if (!has(wanted)) {
        for (int fallback : {IDCANCEL, IDNO, IDOK}) {
            if (has(fallback)) {
                wanted = fallback;
                break;
            }
        }
    }
    if (!has(wanted))
        wanted = shape.buttons.front().first;
    HWND button = std::find_if(shape.buttons.begin(), shape.buttons.end(), [&](const auto& b) {
                      return b.first == wanted;
                  })->second;
    box.answer = wanted;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.insert(window);
        boxes_.push_back(std::move(box));
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(wanted, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

bool poll(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return done();
        Sleep(10);
    }
    return true;
}

std::string textOf(HWND window) {
    return window ? remoteText(window) : std::string();
}

std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND firstChild(HWND parent, const std::function<bool(HWND)>& matches) {
    struct Search {
        const std::function<bool(HWND)>& matches;
        HWND found;
    } search{matches, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (!s->matches(child))
                return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND visibleChildOfClass(HWND parent, const std::string& name) {
    return firstChild(
        parent, [&](HWND child) { return className(child) == name && IsWindowVisible(child); });
}

HWND boxOwnedBy(HWND owner) {
    struct Search {
        HWND owner;
        HWND box;
    } search{owner, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (className(w) == "#32770" && GetWindow(w, GW_OWNER) == s->owner &&
                GetDlgItem(w, 0xFFFF) && IsWindowVisible(w)) {
                s->box = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.box;
}

HWND dialogOfProcessWith(DWORD pid, int childId) {
    struct Search {
        DWORD pid;
        int child;
        HWND window;
    } search{pid, childId, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == s->pid && className(w) == "#32770" && GetDlgItem(w, s->child) &&
                IsWindowVisible(w)) {
                s->window = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.window;
}

void settle(HWND window) {
    DWORD_PTR ignored = 0;
    for (int i = 0; i < 3; ++i) {
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
}

bool capture(const RECT& rect, const std::string& path) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top,
                    SRCCOPY | CAPTUREBLT) != 0;
        // The bitmap is read while selected into no device context.
        SelectObject(memory, old);
        ok = ok && demo::savePng(bitmap, path);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool capture(HWND window, const std::string& path) {
    RECT rect{};
    return GetWindowRect(window, &rect) && capture(rect, path);
}

}  // namespace robot
