#pragma once
// What a download session is given and what it holds while it runs: the page list, the media
// list, the flags shared by the window thread and the worker, and the four progress texts.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vx {

// The worker converts every address the browser gives into a 520-byte buffer, so the addresses it
// compares and collects are at most 519 bytes long. An address that does not fit is skipped, not
// cut: a cut address names some other resource (or none), and fetching it would save the wrong
// file or match the wrong page. The window list and the all-windows page list are not bound by
// this rule.
inline constexpr std::size_t kAddressBufferBytes = 520;
inline constexpr std::size_t kMaxWorkerAddressLength = kAddressBufferBytes - 1;

bool fitsAddressBuffer(std::string_view address);
// The address as the worker may use it, or nullopt when it is too long and must be skipped.
std::optional<std::string> workerAddress(std::string_view converted);

// Page addresses in the order they were appended; no two entries are equal (exact,
// case-sensitive byte comparison). Lookups go through a set, so filling the list from many
// windows stays linear.
class PageUrlList {
  public:
    // Appends at the end unless an equal entry is already listed; true when appended.
    bool appendPageUrl(std::string_view address);
    bool contains(std::string_view address) const;
    void clear();

    std::size_t size() const { return urls_.size(); }
    bool empty() const { return urls_.empty(); }
    const std::string& operator[](std::size_t i) const { return urls_[i]; }
    const std::vector<std::string>& entries() const { return urls_; }
    auto begin() const { return urls_.begin(); }
    auto end() const { return urls_.end(); }

  private:
    std::vector<std::string> urls_;
    std::unordered_set<std::string> present_;
};

// Media addresses of one session, in page order and, within a page, images before links.
// Repeats stay: the file pass meets them as files that already exist.
using MediaUrlList = std::vector<std::string>;

// Which window runs a session: the download window of the command-line modes, which is its own
// progress window and watches `stopRequested`; or the main window with its progress window, which
// shows "&Cancel Current" again and keeps the history.
enum class SessionHost {
    DownloadWindow,  // CDownloadDlg: the window is its own progress window; no history
    MainWindow,      // CBrowserListDlg with its progress window; keeps the history
};

// Where a session stands; written by whoever moves it on, read by anyone.
enum class SessionPhase : int32_t {
    Idle,          // no session yet, or the main window is back to waiting for "&Download Now"
    Collecting,    // the worker matches the open pages and collects their media
    Empty,         // collection found nothing to fetch ("No files to download.")
    Transferring,  // the file pass runs
    Finished,      // the file pass has ended (run to its end or cancelled)
};

// Flags shared by the window thread and the worker: 0 = false, 1 = true. Each is written by the
// side named and read by the other, without a lock.
struct SessionFlags {
    // Both hosts. Set to 1 by CDownloadDlg when it initialises, by the main window when its
    // worker starts; set to 0 when the file pass ends, when collection finds no media, and by the
    // main window when the user confirms "Cancel &All". Read by both worker loops, the transfer
    // loops and the cancel handlers.
    std::atomic<int32_t> running{0};
    // Both hosts. Set to 1 by CDownloadDlg when it initialises, by the main window when it
    // creates its progress window, and by the worker just before each transfer (cache copy or
    // HTTP download); set to 0 by "&Cancel Current". Read by the HTTP read loop and the
    // cache-copy progress routine.
    std::atomic<int32_t> continueCurrent{0};
    // CDownloadDlg only. Set to 1 when the user confirms "Cancel &All" or presses it while no
    // session runs, when the file pass ends and when collection finds no media; set to 0 when the
    // window initialises. Read by the file pass and the close timer.
    std::atomic<int32_t> stopRequested{0};
    // CDownloadDlg only. Set to 1 together with stopRequested by the button of id 2; set to 0
    // when the window initialises. Read by the close timer.
    std::atomic<int32_t> closeRequested{0};
    // Main window only. Set to 1 once its progress window and its browser-window collection
    // object exist; set to 0 before they are created and when either creation fails. Read by
    // "&Download Now" and the window list fill.
    std::atomic<int32_t> ready{0};
    // Both hosts: a SessionPhase. The file pass moves it to Finished before its button 2 reads
    // "OK", so that a press of "OK" is never taken for a "Cancel &All" to confirm.
    std::atomic<int32_t> phase{static_cast<int32_t>(SessionPhase::Idle)};
};

// The four texts the progress window shows, in the order of its controls.
struct ProgressTexts {
    // IDC_DOWNLOAD_FROM "Download From:": local cache file path or host name
    std::string source;
    // IDC_DOWNLOAD_FILE "Download File:": file name or address path, or "Filtered."
    std::string file;
    // IDC_DOWNLOAD_SIZE "File Size:": "%d Bytes" with the file size
    std::string size;
    // IDC_DOWNLOAD_PERCENT: "%d%% Complete" with the percentage
    std::string percent;

    friend bool operator==(const ProgressTexts&, const ProgressTexts&) = default;
};

// The worker writes the texts, the window copies them into its controls when it handles the
// refresh message. The lock lets the window read them at any other moment too (a repaint, a
// data exchange of its own) without racing the worker's next update.
class SharedProgressTexts {
  public:
    void set(ProgressTexts texts);
    ProgressTexts snapshot() const;

  private:
    mutable std::mutex mutex_;
    ProgressTexts texts_;
};

}  // namespace vx
