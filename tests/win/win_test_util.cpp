#include "win_test_util.h"

#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "base/install_folder.h"
#include "support/fake_browser.h"
#include "ui/dialog.h"
#include "ui/module.h"
#include "ui/text.h"

namespace wintest {

void pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!ui::preTranslateMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return done();
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        pumpMessages();
    }
}

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

bool MessageBoxCatcher::waitForCount(size_t n, std::chrono::milliseconds deadline) {
    return waitFor([&] { return count() >= n; }, deadline);
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

namespace {

void removeTree(const std::string& path) {
    WIN32_FIND_DATAA found{};
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    char base[MAX_PATH + 1] = {};
    GetTempPathA(sizeof base, base);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = std::string(base) + "vxtest-" +
                                std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(GetTickCount()) + "-" + std::to_string(counter++);
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
}

TempFolder::~TempFolder() {
    if (!path_.empty())
        removeTree(path_);
}

bool TempFolder::write(const std::string& name, const std::string& bytes) const {
    HANDLE h = CreateFileA(file(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::optional<std::string> TempFolder::read(const std::string& name) const {
    HANDLE h = CreateFileA(file(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(h);
    return bytes;
}

RegistryValueGuard::RegistryValueGuard(HKEY root, std::string subKey, std::string valueName)
    : root_(root), subKey_(std::move(subKey)), valueName_(std::move(valueName)) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root_, subKey_.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    keyExisted_ = true;
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName_.c_str(), nullptr, &type_, nullptr, &size) ==
        ERROR_SUCCESS) {
        data_.resize(size);
        if (RegQueryValueExA(key, valueName_.c_str(), nullptr, &type_,
                             data_.empty() ? nullptr : data_.data(), &size) == ERROR_SUCCESS) {
            data_.resize(size);
            valueExisted_ = true;
        }
    }
    RegCloseKey(key);
}

RegistryValueGuard::~RegistryValueGuard() {
    if (valueExisted_) {
        set(type_, data_.data(), static_cast<DWORD>(data_.size()));
    } else if (keyExisted_) {
        remove();
    } else {
        remove();
        // Removes the key only when nothing else lives in it.
        RegDeleteKeyA(root_, subKey_.c_str());
    }
}

bool RegistryValueGuard::set(DWORD type, const void* data, DWORD size) const {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root_, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc =
        RegSetValueExA(key, valueName_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool RegistryValueGuard::setString(const std::string& text, DWORD type) const {
    return set(type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool RegistryValueGuard::remove() const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root_, subKey_.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return true;
    LONG rc = RegDeleteValueA(key, valueName_.c_str());
    RegCloseKey(key);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

DialogTemplate::DialogTemplate(const std::string& caption, short width, short height, DWORD style) {
    data_ = {LOWORD(style),
             HIWORD(style),
             0,
             0,
             0,
             0,
             0,
             static_cast<WORD>(width),
             static_cast<WORD>(height)};
    data_.push_back(0);  // no menu
    data_.push_back(0);  // the standard dialog class
    words(caption);
    if (style & DS_SETFONT) {
        data_.push_back(8);
        words("MS Shell Dlg");
    }
}

void DialogTemplate::align() {
    if (data_.size() % 2)
        data_.push_back(0);
}

void DialogTemplate::words(const std::string& text) {
    std::wstring wide = ui::toWide(text);
    data_.insert(data_.end(), wide.begin(), wide.end());
    data_.push_back(0);
}

void DialogTemplate::item(WORD classAtom, int id, const std::string& text, short x, short y,
                          short w, short h, DWORD style) {
    align();
    style |= WS_CHILD | WS_VISIBLE;
    data_.insert(data_.end(), {LOWORD(style), HIWORD(style), 0, 0, static_cast<WORD>(x),
                               static_cast<WORD>(y), static_cast<WORD>(w), static_cast<WORD>(h),
                               static_cast<WORD>(id), 0xFFFF, classAtom});
    words(text);
    data_.push_back(0);  // no creation data
    ++data_[4];          // the item count of the header
}

DialogTemplate& DialogTemplate::button(int id, const std::string& text, short x, short y, short w,
                                       short h, DWORD style) {
    item(0x0080, id, text, x, y, w, h, style);
    return *this;
}

DialogTemplate& DialogTemplate::checkBox(int id, const std::string& text, short x, short y, short w,
                                         short h) {
    item(0x0080, id, text, x, y, w, h, BS_AUTOCHECKBOX | WS_TABSTOP);
    return *this;
}

DialogTemplate& DialogTemplate::edit(int id, short x, short y, short w, short h) {
    item(0x0081, id, "", x, y, w, h, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP);
    return *this;
}

DialogTemplate& DialogTemplate::label(int id, const std::string& text, short x, short y, short w,
                                      short h) {
    item(0x0082, id, text, x, y, w, h, SS_LEFT);
    return *this;
}

const DLGTEMPLATE* DialogTemplate::get() const {
    return reinterpret_cast<const DLGTEMPLATE*>(data_.data());
}

std::string pageFixture(const std::string& pageUrl, const std::vector<std::string>& images,
                        const std::vector<std::string>& links) {
    std::string xml = "<BROWSER>\n<WINDOW TITLE=\"Page\" URL=\"" + pageUrl + "\" KIND=\"html\">\n";
    for (const auto& src : images)
        xml += "<IMG SRC=\"" + src + "\" WIDTH=\"10\" HEIGHT=\"10\"/>\n";
    for (const auto& href : links)
        xml += "<A HREF=\"" + href + "\"/>\n";
    return xml + "</WINDOW>\n</BROWSER>\n";
}

std::unique_ptr<vx::BrowserWindowSource> Gate::heldBrowser() const {
    auto browser = std::make_unique<vx::test::FakeBrowser>();
    browser->beforeWindowCount = [event = event_] { WaitForSingleObject(event, INFINITE); };
    return browser;
}

std::string besideTestProgram(const std::string& name) {
    return vx::installFolderFromModulePath(ui::moduleFileName(nullptr)) + name;
}

bool commitToCache(const std::string& address, const std::string& bytes) {
    char file[MAX_PATH] = {};
    if (!CreateUrlCacheEntryA(address.c_str(), static_cast<DWORD>(bytes.size()), "bin", file, 0))
        return false;
    {
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.good())
            return false;
    }
    FILETIME none{};
    return CommitUrlCacheEntryA(address.c_str(), file, none, none, NORMAL_CACHE_ENTRY, nullptr, 0,
                                nullptr, nullptr) != 0;
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ProgramFolderFile::ProgramFolderFile(const std::string& name)
    : path_(besideTestProgram(name)), saved_(readFile(path_)) {}

ProgramFolderFile::~ProgramFolderFile() {
    if (saved_) {
        write(*saved_);
    } else {
        remove();
    }
}

void ProgramFolderFile::write(const std::string& text) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out.good())
        ADD_FAILURE() << "cannot write " << path_;
}

void ProgramFolderFile::remove() const {
    DeleteFileA(path_.c_str());
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

}  // namespace wintest
