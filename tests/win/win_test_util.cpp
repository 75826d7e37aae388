#include "win_test_util.h"

#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "base/install_folder.h"
#include "base/win/module_file.h"
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

bool MessageBoxCatcher::waitForCount(size_t n, std::chrono::milliseconds deadline) {
    return waitFor([&] { return count() >= n; }, deadline);
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

std::optional<StoredValue> readStoredValue(HKEY root, const std::string& key, const char* name) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return std::nullopt;
    StoredValue value;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(h, name, nullptr, &value.type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        value.bytes.resize(size);
        rc = RegQueryValueExA(h, name, nullptr, &value.type,
                              reinterpret_cast<BYTE*>(value.bytes.data()), &size);
        value.bytes.resize(size);
    }
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool keyExists(HKEY root, const std::string& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
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
    return vx::installFolderFromModulePath(vx::moduleFileName()) + name;
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

}  // namespace wintest
