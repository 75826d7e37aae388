// The platform's floor for the file pass under Wine: a bare WinINet loop over one list of
// addresses, each saved to its own file. Switches add, one at a time, the kinds of work the
// program does around each file and each chunk, so that the cost of each can be read off by
// comparing runs over the same list.
//
//   wininet_loop --list FILE --out DIR [switches]
//
//   --chunk N            bytes asked of each InternetReadFile (default 65536)
//   --query              InternetQueryDataAvailable before each read, reading at most what it tells
//   --watchdog           a thread started before each request and joined after its file, waking
//                        every 100 ms under a lock, as a request watchdog does
//   --lookup             a URL cache lookup (GetUrlCacheEntryInfoA) before each request
//   --memory             the whole body read into memory first, then written to a new file
//   --texts-per-file     per file, three messages sent to a window of another thread: a refresh
//                        that sets four texts, the bar's range, the bar's position
//   --bar-per-chunk      per chunk, the bar's position sent to that window
//   --texts-per-percent  per change of the shown percentage, the refresh sent to that window
//   --cache              the cache road: each address looked up in the URL cache and its local
//                        file copied into DIR with CopyFileA; no HTTP
//   --watched            the window even without messages, found as the program's progress window
//                        is (a dialog with "&Cancel Current" and "Cancel &All"): at the end it
//                        reads "Download complete!" with "OK", and the program waits for that
//                        press, so the helper that plays the user (demo-driver.exe) can drive it
//   --report FILE        the result line written to FILE too
//
// Prints "files=N bytes=B reads=R sends=S ms=T" (R: reads that returned data; S: messages sent
// to the window; T: from the first request to the last file written, the setup of the session
// and of the window left out) and ends with 0 when every address was saved.

#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
    std::string list;
    std::string out;
    DWORD chunk = 65536;
    bool query = false;
    bool watchdog = false;
    bool lookup = false;
    bool memory = false;
    bool textsPerFile = false;
    bool barPerChunk = false;
    bool textsPerPercent = false;
    bool cache = false;
    bool watched = false;
    std::string report;

    bool needsWindow() const { return textsPerFile || barPerChunk || textsPerPercent || watched; }
};

constexpr UINT kRefresh = WM_APP + 1;
constexpr int kBarId = 100;
constexpr int kFirstTextId = 101;
// The ids of the progress window's buttons, by which the helper finds it.
constexpr int kCancelCurrentId = 1064;
constexpr int kCancelAllId = IDCANCEL;

// A window on a thread of its own with a bar and four texts, as a progress window has. The
// worker changes it only by sent messages, so each one is a round trip between threads.
class ProgressWindow {
  public:
    bool start() {
        thread_ = std::thread([this] { run(); });
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return started_; });
        return window_ != nullptr;
    }
    void stop() {
        if (window_)
            PostMessageA(window_, WM_CLOSE, 0, 0);
        if (thread_.joinable())
            thread_.join();
    }
    // The finished state as the helper waits for it, then its press of "OK".
    bool finishAndWaitForOk() {
        SetWindowTextA(window_, "Download complete!");
        SetDlgItemTextA(window_, kCancelAllId, "OK");
        std::unique_lock<std::mutex> lock(mutex_);
        return pressed_.wait_for(lock, std::chrono::minutes(2), [this] { return okPressed_; });
    }
    void showTexts(const std::string& from, const std::string& file, const std::string& size,
                   const std::string& percent) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            texts_[0] = from;
            texts_[1] = file;
            texts_[2] = size;
            texts_[3] = percent;
        }
        SendMessageA(window_, kRefresh, 0, 0);
        ++sends_;
    }
    void setRange(DWORD total) {
        SendMessageA(bar_, PBM_SETRANGE32, 0, total);
        ++sends_;
    }
    void setPosition(DWORD position) {
        SendMessageA(bar_, PBM_SETPOS, position, 0);
        ++sends_;
    }
    uint64_t sends() const { return sends_; }

  private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == kRefresh && self) {
            std::lock_guard<std::mutex> lock(self->mutex_);
            for (int i = 0; i < 4; ++i)
                SetDlgItemTextA(window, kFirstTextId + i, self->texts_[i].c_str());
            return 0;
        }
        if (message == WM_COMMAND && LOWORD(wParam) == kCancelAllId && self) {
            {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->okPressed_ = true;
            }
            self->pressed_.notify_all();
            return 0;
        }
        if (message == WM_CLOSE) {
            DestroyWindow(window);
            return 0;
        }
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return self ? CallWindowProcA(self->dialogProc_, window, message, wParam, lParam)
                    : DefWindowProcA(window, message, wParam, lParam);
    }

    void run() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        // The system's dialog class, as the progress window is one.
        HINSTANCE instance = GetModuleHandleA(nullptr);
        HWND window =
            CreateWindowExA(0, "#32770", "Download files now...", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            100, 100, 420, 220, nullptr, nullptr, instance, nullptr);
        if (window) {
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            dialogProc_ = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&proc)));
            CreateWindowExA(0, "BUTTON", "&Cancel Current", WS_CHILD | WS_VISIBLE, 10, 140, 120, 24,
                            window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCancelCurrentId)),
                            instance, nullptr);
            CreateWindowExA(0, "BUTTON", "Cancel &All", WS_CHILD | WS_VISIBLE, 140, 140, 120, 24,
                            window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCancelAllId)),
                            instance, nullptr);
            for (int i = 0; i < 4; ++i)
                CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 10 + 22 * i, 390, 20,
                                window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstTextId + i)),
                                instance, nullptr);
            bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 110, 390, 20,
                                   window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBarId)),
                                   instance, nullptr);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            window_ = window;
            started_ = true;
        }
        ready_.notify_all();
        if (!window)
            return;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable pressed_;
    bool started_ = false;
    bool okPressed_ = false;
    WNDPROC dialogProc_ = nullptr;
    HWND window_ = nullptr;
    HWND bar_ = nullptr;
    std::string texts_[4];
    uint64_t sends_ = 0;
};

// Wakes every 100 ms under its lock until stopped: the shape of a request watchdog.
class Watchdog {
  public:
    Watchdog() : thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

  private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopping_)
            wake_.wait_for(lock, std::chrono::milliseconds(100));
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

class Handle {
  public:
    explicit Handle(HINTERNET h = nullptr) : h_(h) {}
    ~Handle() {
        if (h_)
            InternetCloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET get() const { return h_; }

  private:
    HINTERNET h_;
};

std::string lastSegment(const std::string& url) {
    size_t slash = url.find_last_of('/');
    return slash == std::string::npos ? url : url.substr(slash + 1);
}

std::string percentText(uint64_t position, uint64_t total) {
    return std::to_string(total ? position * 100 / total : 100) + "% Complete";
}

bool cacheLookup(const std::string& url, std::vector<char>& buffer, std::string* localFile) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
        info->dwStructSize = sizeof *info;
        if (GetUrlCacheEntryInfoA(url.c_str(), info, &size)) {
            if (localFile && info->lpszLocalFileName)
                *localFile = info->lpszLocalFileName;
            return info->lpszLocalFileName != nullptr;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return false;
        buffer.resize(size);
    }
    return false;
}

class Loop {
  public:
    Loop(const Options& options, ProgressWindow* window)
        : options_(options), window_(window), chunk_(options.chunk), lookupBuffer_(4096) {}

    bool open() {
        session_ = InternetOpenA("Vexaro", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        return session_ != nullptr;
    }
    ~Loop() {
        if (session_)
            InternetCloseHandle(session_);
    }
    uint64_t reads() const { return reads_; }

    // The bytes saved for `url`, or -1 when it could not be saved.
    int64_t fetch(const std::string& url, const std::string& path) {
        if (options_.cache)
            return copyFromCache(url, path);
        if (options_.lookup)
            cacheLookup(url, lookupBuffer_, nullptr);

        URL_COMPONENTSA parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = 1;
        parts.dwUrlPathLength = 1;
        if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts))
            return -1;
        std::string host(parts.lpszHostName, parts.dwHostNameLength);
        std::string object(parts.lpszUrlPath, parts.dwUrlPathLength);
        Handle connection(InternetConnectA(session_, host.c_str(), parts.nPort, "", "",
                                           INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection.get())
            return -1;
        Handle request(HttpOpenRequestA(connection.get(), "GET", object.c_str(), "HTTP/1.0",
                                        nullptr, nullptr,
                                        INTERNET_FLAG_DONT_CACHE | INTERNET_FLAG_NO_UI, 0));
        if (!request.get())
            return -1;
        std::unique_ptr<Watchdog> watchdog;
        if (options_.watchdog)
            watchdog = std::make_unique<Watchdog>();
        if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0))
            return -1;
        DWORD status = 0, length = 0, size = sizeof status;
        HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                       &size, nullptr);
        size = sizeof length;
        if (status != 200 ||
            !HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                            &length, &size, nullptr))
            return -1;
        if (window_ && options_.textsPerFile) {
            window_->showTexts(host, object, std::to_string(length) + " bytes",
                               percentText(0, length));
            window_->setRange(length);
            window_->setPosition(0);
        }
        return options_.memory ? readToMemory(request.get(), path, length)
                               : readToFile(request.get(), path, length);
    }

  private:
    // One read: at most what is there when asked first, else a whole chunk.
    bool readChunk(HINTERNET request, char* into, DWORD want, DWORD* got) {
        if (options_.query) {
            DWORD available = 0;
            if (!InternetQueryDataAvailable(request, &available, 0, 0))
                return false;
            if (available == 0) {
                *got = 0;
                return true;
            }
            want = std::min(want, available);
        }
        if (!InternetReadFile(request, into, want, got))
            return false;
        if (*got > 0)
            ++reads_;
        return true;
    }

    void progress(uint64_t received, uint64_t total) {
        if (!window_)
            return;
        if (options_.barPerChunk)
            window_->setPosition(static_cast<DWORD>(received));
        if (options_.textsPerPercent) {
            uint64_t percent = total ? received * 100 / total : 100;
            if (percent != shownPercent_) {
                shownPercent_ = percent;
                window_->showTexts("", "", "", percentText(received, total));
            }
        }
    }

    int64_t readToFile(HINTERNET request, const std::string& path, DWORD length) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return -1;
        shownPercent_ = 0;
        uint64_t received = 0;
        bool ok = true;
        for (;;) {
            DWORD got = 0;
            if (!readChunk(request, chunk_.data(), options_.chunk, &got)) {
                ok = false;
                break;
            }
            if (got == 0)
                break;
            DWORD written = 0;
            if (!WriteFile(file, chunk_.data(), got, &written, nullptr) || written != got) {
                ok = false;
                break;
            }
            received += got;
            progress(received, length);
        }
        CloseHandle(file);
        return ok && received == length ? static_cast<int64_t>(received) : -1;
    }

    int64_t readToMemory(HINTERNET request, const std::string& path, DWORD length) {
        if (body_.size() < length)
            body_.resize(length);
        shownPercent_ = 0;
        uint64_t received = 0;
        while (received < length) {
            DWORD want = static_cast<DWORD>(std::min<uint64_t>(options_.chunk, length - received));
            DWORD got = 0;
            if (!readChunk(request, body_.data() + received, want, &got))
                return -1;
            if (got == 0)
                break;
            received += got;
            progress(received, length);
        }
        if (received != length)
            return -1;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return -1;
        DWORD written = 0;
        bool ok = WriteFile(file, body_.data(), length, &written, nullptr) && written == length;
        CloseHandle(file);
        return ok ? static_cast<int64_t>(length) : -1;
    }

    int64_t copyFromCache(const std::string& url, const std::string& path) {
        std::string local;
        if (!cacheLookup(url, lookupBuffer_, &local))
            return -1;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExA(local.c_str(), GetFileExInfoStandard, &data))
            return -1;
        if (window_ && options_.textsPerFile) {
            window_->showTexts(local, lastSegment(url), std::to_string(data.nFileSizeLow),
                               percentText(0, data.nFileSizeLow));
            window_->setRange(data.nFileSizeLow);
            window_->setPosition(0);
        }
        if (!CopyFileA(local.c_str(), path.c_str(), TRUE))
            return -1;
        progress(data.nFileSizeLow, data.nFileSizeLow);
        return data.nFileSizeLow;
    }

    const Options& options_;
    ProgressWindow* window_;
    HINTERNET session_ = nullptr;
    std::vector<char> chunk_;
    std::vector<char> body_;
    std::vector<char> lookupBuffer_;
    uint64_t shownPercent_ = 0;
    uint64_t reads_ = 0;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--list" || a == "--out" || a == "--chunk" || a == "--report") {
            const char* v = value();
            if (!v)
                return false;
            if (a == "--list")
                o.list = v;
            else if (a == "--out")
                o.out = v;
            else if (a == "--report")
                o.report = v;
            else
                o.chunk = static_cast<DWORD>(std::strtoul(v, nullptr, 10));
        } else if (a == "--query") {
            o.query = true;
        } else if (a == "--watchdog") {
            o.watchdog = true;
        } else if (a == "--lookup") {
            o.lookup = true;
        } else if (a == "--memory") {
            o.memory = true;
        } else if (a == "--texts-per-file") {
            o.textsPerFile = true;
        } else if (a == "--bar-per-chunk") {
            o.barPerChunk = true;
        } else if (a == "--texts-per-percent") {
            o.textsPerPercent = true;
        } else if (a == "--cache") {
            o.cache = true;
        } else if (a == "--watched") {
            o.watched = true;
        } else {
            std::fprintf(stderr, "wininet_loop: unknown argument %s\n", a.c_str());
            return false;
        }
    }
    return !o.list.empty() && !o.out.empty() && o.chunk > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: wininet_loop --list FILE --out DIR [switches]\n");
        return 2;
    }
    std::vector<std::string> urls;
    {
        std::ifstream in(options.list);
        std::string line;
        while (std::getline(in, line)) {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                line.pop_back();
            if (!line.empty())
                urls.push_back(line);
        }
    }
    if (urls.empty()) {
        std::fprintf(stderr, "wininet_loop: no addresses in %s\n", options.list.c_str());
        return 2;
    }
    ProgressWindow window;
    const bool windowed = options.needsWindow();
    if (windowed && !window.start()) {
        std::fprintf(stderr, "wininet_loop: no window (error %lu)\n", GetLastError());
        return 1;
    }
    int rc = 0;
    {
        Loop loop(options, windowed ? &window : nullptr);
        if (!loop.open()) {
            std::fprintf(stderr, "wininet_loop: InternetOpen failed (error %lu)\n", GetLastError());
            rc = 1;
        } else {
            std::string folder = options.out;
            if (!folder.empty() && folder.back() != '\\')
                folder += '\\';
            uint64_t bytes = 0;
            int saved = 0;
            LARGE_INTEGER frequency, begin, end;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&begin);
            for (const std::string& url : urls) {
                int64_t got = loop.fetch(url, folder + lastSegment(url));
                if (got < 0) {
                    std::fprintf(stderr, "wininet_loop: %s not saved (error %lu)\n", url.c_str(),
                                 GetLastError());
                    rc = 1;
                    continue;
                }
                bytes += static_cast<uint64_t>(got);
                ++saved;
            }
            QueryPerformanceCounter(&end);
            double ms = 1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) /
                        static_cast<double>(frequency.QuadPart);
            char line[256];
            std::snprintf(line, sizeof line, "files=%d bytes=%llu reads=%llu sends=%llu ms=%.1f\n",
                          saved, static_cast<unsigned long long>(bytes),
                          static_cast<unsigned long long>(loop.reads()),
                          static_cast<unsigned long long>(windowed ? window.sends() : 0), ms);
            std::fputs(line, stdout);
            if (!options.report.empty())
                std::ofstream(options.report, std::ios::binary | std::ios::trunc) << line;
        }
    }
    if (options.watched && !window.finishAndWaitForOk()) {
        std::fprintf(stderr, "wininet_loop: \"OK\" was never pressed\n");
        rc = 1;
    }
    if (windowed)
        window.stop();
    std::fflush(stdout);
    return rc;
}
