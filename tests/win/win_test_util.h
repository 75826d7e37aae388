#pragma once
// Helpers for tests that run under Wine: waiting for a condition while messages keep flowing,
// catching and answering message boxes, temporary folders, registry values put back afterwards,
// and dialog templates built in memory.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "download/browser_port.h"
#include "robot.h"

namespace wintest {

using robot::kDeadline;

// Handles every message waiting for this thread (dialog keyboard handling included).
void pumpMessages();

// Pumps this thread's messages until `done` returns true (checked first) or the deadline has
// passed; returns the last value of `done`.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline = kDeadline);

using robot::CaughtBox;

// Message boxes caught and answered (see robot::MessageBoxCatcher); the test thread can wait for
// them while serving its own windows.
class MessageBoxCatcher : public robot::MessageBoxCatcher {
  public:
    using robot::MessageBoxCatcher::MessageBoxCatcher;
    // Pumps this thread's messages until `n` boxes have been caught.
    bool waitForCount(size_t n, std::chrono::milliseconds deadline = kDeadline);
};

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Without a trailing backslash.
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }
    bool write(const std::string& name, const std::string& bytes) const;
    std::optional<std::string> read(const std::string& name) const;

  private:
    std::string path_;
};

// Remembers one registry value (or its absence) and puts it back on destruction.
class RegistryValueGuard {
  public:
    RegistryValueGuard(HKEY root, std::string subKey, std::string valueName);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    // Writes raw data of any type (creating the key); false on failure.
    bool set(DWORD type, const void* data, DWORD size) const;
    bool setString(const std::string& text, DWORD type = REG_SZ) const;
    bool remove() const;

  private:
    HKEY root_;
    std::string subKey_;
    std::string valueName_;
    bool keyExisted_ = false;
    bool valueExisted_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

// A registry value as stored: its type and its bytes (a string's terminating zero included).
struct StoredValue {
    DWORD type = 0;
    std::string bytes;
};
std::optional<StoredValue> readStoredValue(HKEY root, const std::string& key, const char* name);
bool keyExists(HKEY root, const std::string& key);

// A dialog template in memory (DLGTEMPLATE with its items), positions in dialog units.
class DialogTemplate {
  public:
    DialogTemplate(const std::string& caption, short width, short height,
                   DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    DialogTemplate& button(int id, const std::string& text, short x, short y, short w, short h,
                           DWORD style = BS_PUSHBUTTON | WS_TABSTOP);
    DialogTemplate& checkBox(int id, const std::string& text, short x, short y, short w, short h);
    DialogTemplate& edit(int id, short x, short y, short w, short h);
    DialogTemplate& label(int id, const std::string& text, short x, short y, short w, short h);
    const DLGTEMPLATE* get() const;

  private:
    void item(WORD classAtom, int id, const std::string& text, short x, short y, short w, short h,
              DWORD style);
    void align();
    void words(const std::string& text);

    std::vector<WORD> data_;
};

// Full path of a file beside the test program (the folder the runner records as InstallPath).
std::string besideTestProgram(const std::string& name);

// Puts `bytes` into the browser's URL cache under `address`, the way the browser leaves a file.
bool commitToCache(const std::string& address, const std::string& bytes);

// The whole file, or nothing when it cannot be opened.
std::optional<std::string> readFile(const std::string& path);

// A file beside the test program (where the runner records the install folder), replaced for one
// test: what was there before comes back afterwards.
class ProgramFolderFile {
  public:
    explicit ProgramFolderFile(const std::string& name);
    ~ProgramFolderFile();
    ProgramFolderFile(const ProgramFolderFile&) = delete;
    ProgramFolderFile& operator=(const ProgramFolderFile&) = delete;

    // A file that cannot be written fails the test.
    void write(const std::string& text) const;
    void remove() const;
    std::optional<std::string> read() const { return readFile(path_); }

  private:
    std::string path_;
    std::optional<std::string> saved_;
};

// The open windows the stand-in browser shell shows: its standin-windows.xml.
class StandinWindows : public ProgramFolderFile {
  public:
    StandinWindows() : ProgramFolderFile("standin-windows.xml") {}
};

// A standin-windows.xml with one HTML window on `pageUrl` showing `images` (10x10) and `links`.
std::string pageFixture(const std::string& pageUrl, const std::vector<std::string>& images,
                        const std::vector<std::string>& links);

// An event that holds a worker until the test opens it; opened at the latest when it goes.
class Gate {
  public:
    Gate() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate() {
        open();
        CloseHandle(event_);
    }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;
    void open() { SetEvent(event_); }
    // A browser window collection with no windows whose count waits for the gate, so that the
    // worker is held in its collection phase for as long as a test needs.
    std::unique_ptr<vx::BrowserWindowSource> heldBrowser() const;

  private:
    HANDLE event_;
};

// For a thread that plays the user while another thread runs the windows.
using robot::boxOwnedBy;
using robot::className;
using robot::dialogOfProcessWith;
using robot::poll;
using robot::press;
using robot::textOf;

}  // namespace wintest
