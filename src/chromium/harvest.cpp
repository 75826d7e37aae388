#include "chromium/harvest.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

#include "app/url_list.h"
#include "base/file_system.h"
#include "base/install_folder.h"
#include "base/string_table.h"
#include "resources/resource.h"
#include "chromium/chromium_port.h"
#include "download/collection.h"
#include "download/file_pass.h"
#include "download/http_client.h"
#include "history/history_store.h"
#include "settings/download_settings.h"

namespace vx::chromium {

namespace {

// The configuration folder stands where the install folder stands on Windows.
class ConfigEnvironment final : public InstallEnvironment {
  public:
    explicit ConfigEnvironment(std::string folder) : folder_(std::move(folder)) {}
    std::string installFolder() override { return folder_ + "/"; }
    std::optional<std::string> registryInstallPath() override { return folder_; }

  private:
    std::string folder_;
};

std::string userConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return std::string(xdg) + "/vexaro";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/vexaro";
}

std::string userDownloadFolder() {
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/Downloads/Vexaro";
}

std::atomic<int32_t>* gRunning = nullptr;

extern "C" void stopOnSignal(int) {
    if (gRunning)
        gRunning->store(0);
}

// The bar on a terminal, one line per file otherwise; the passed-over files are kept for the
// summary.
class TerminalSink final : public ProgressSink {
  public:
    TerminalSink(std::ostream& err, bool terminal, std::size_t files)
        : err_(err), terminal_(terminal), files_(files) {}

    void setCaption(const std::string&) override {}
    void showTexts(const ProgressTexts& texts) override {
        texts_ = texts;
        if (texts.file.ends_with(tableText(IDS_FILTERED)))
            step("filtered: " + texts.source + " " + texts.file);
    }
    void setBarRange(uint64_t total) override { total_ = total; }
    void setBarPosition(uint64_t position) override { draw(position); }
    void startFile(const ProgressTexts& texts, uint64_t total) override {
        texts_ = texts;
        total_ = total;
        step(texts.source + " " + texts.file + " (" + texts.size + ")");
        draw(0);
    }
    void setCancelAllText(const std::string&) override {}
    void showCancelCurrent(bool) override {}
    void showMessage(int, const std::string& text) override { endLine(), err_ << text << "\n"; }
    void openSettingsSheet() override {}
    void passedOver(const std::string& address, const std::string& reason) override {
        problems.push_back(address + ": " + reason);
    }

    void finish() { endLine(); }

    std::vector<std::string> problems;

  private:
    void step(const std::string& what) {
        ++index_;
        if (!terminal_)
            err_ << "[" << index_ << "/" << files_ << "] " << what << "\n";
    }
    void draw(uint64_t position) {
        if (!terminal_)
            return;
        constexpr int kWidth = 30;
        uint64_t percent = percentOf(position, total_);
        int filled = static_cast<int>(percent * kWidth / 100);
        std::string line = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') +
                           "] " + std::to_string(index_) + "/" + std::to_string(files_) + " " +
                           std::to_string(percent) + "% " + texts_.file;
        if (line.size() > 100)
            line.resize(100);
        err_ << line << "\x1b[K" << std::flush;
        drawn_ = true;
    }
    void endLine() {
        if (drawn_)
            err_ << "\n";
        drawn_ = false;
    }

    std::ostream& err_;
    bool terminal_;
    std::size_t files_;
    std::size_t index_ = 0;
    uint64_t total_ = 0;
    bool drawn_ = false;
    ProgressTexts texts_;
};

// A probe file proves the folder can be written before any transfer starts.
std::optional<std::string> prepareFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec))
        return "the save folder " + folder + " does not exist and cannot be made";
    std::string probe = joinPath(folder, ".vexaro-probe-" + std::to_string(::getpid()));
    if (platformFileSystem().writeNewFile(probe, "", 0) != CreateOutcome::Created)
        return "the save folder " + folder + " cannot be written";
    platformFileSystem().removeFile(probe);
    return std::nullopt;
}

}  // namespace

std::string harvestUsage() {
    return "usage: vexaro-harvest (--all | --current | --list) [options]\n"
           "  --all                every open tab of the browser\n"
           "  --current            the tabs whose pages are listed in cacheurl.xml\n"
           "  --list               the open tabs, title and address, one a line\n"
           "  --devtools HOST:PORT the browser's DevTools address (default 127.0.0.1:9222)\n"
           "  --folder DIR         save folder (default: the settings' folder)\n"
           "  --settings FILE      settings file (default: config.xml in the configuration "
           "folder)\n"
           "  --config DIR         configuration folder (default: ~/.config/vexaro)\n"
           "  --history            keep the per-day download history\n"
           "  --timeout SECONDS    longest wait for the browser (default 30)\n";
}

std::optional<HarvestOptions> parseHarvestArguments(const std::vector<std::string>& args,
                                                    std::string& error) {
    HarvestOptions options;
    int modes = 0;
    error.clear();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = a + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "--all" || a == "--current" || a == "--list") {
            ++modes;
            options.mode = a == "--all"       ? HarvestMode::All
                           : a == "--current" ? HarvestMode::Current
                                              : HarvestMode::List;
        } else if (a == "--devtools") {
            if (!value(options.endpoint))
                return std::nullopt;
            options.endpoint = normalizeEndpoint(options.endpoint);
        } else if (a == "--folder") {
            if (!value(options.saveFolder))
                return std::nullopt;
        } else if (a == "--settings") {
            if (!value(options.settingsFile))
                return std::nullopt;
        } else if (a == "--config") {
            if (!value(options.configFolder))
                return std::nullopt;
        } else if (a == "--history") {
            options.history = true;
        } else if (a == "--timeout") {
            std::string text;
            if (!value(text))
                return std::nullopt;
            char* end = nullptr;
            long seconds = std::strtol(text.c_str(), &end, 10);
            if (*end != '\0' || seconds < 1 || seconds > 3600) {
                error = "--timeout takes a number of seconds from 1 to 3600";
                return std::nullopt;
            }
            options.timeoutSeconds = static_cast<int>(seconds);
        } else if (a == "--help" || a == "-h") {
            return std::nullopt;
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    if (modes != 1) {
        error = "give exactly one of --all, --current and --list";
        return std::nullopt;
    }
    if (options.configFolder.empty())
        options.configFolder = userConfigFolder();
    return options;
}

int runHarvest(const HarvestOptions& options, std::ostream& out, std::ostream& err,
               bool progressOnTerminal) {
    const auto timeout = std::chrono::milliseconds(options.timeoutSeconds * 1000);
    FileSystem& files = platformFileSystem();
    int tabProblems = 0;
    TabProblem onProblem = [&](const DevToolsTarget& tab, const std::string& reason) {
        ++tabProblems;
        err << "vexaro-harvest: tab \"" << tab.title << "\" (" << tab.url
            << ") could not be read: " << reason << "\n";
    };

    std::unique_ptr<ChromiumWindowSource> source;
    try {
        source = std::make_unique<ChromiumWindowSource>(options.endpoint, timeout, onProblem);
    } catch (const DevToolsError& e) {
        err << "vexaro-harvest: " << e.what() << "\n";
        return 1;
    }

    if (options.mode == HarvestMode::List) {
        for (const DevToolsTarget& tab : source->targets()) {
            if (tab.type == "page")
                out << tab.title << "\t" << tab.url << "\n";
        }
        return 0;
    }

    // The settings: the engine's defaults, then the file over them, then the command line.
    DownloadSettings settings;
    settings.saveFolder = userDownloadFolder();
    std::string settingsFile = options.settingsFile.empty()
                                   ? joinPath(options.configFolder, "config.xml")
                                   : options.settingsFile;
    if (std::optional<std::string> text = files.readFile(settingsFile)) {
        applySettingsText(settings, *text);
    } else if (!options.settingsFile.empty()) {
        err << "vexaro-harvest: cannot read the settings file " << settingsFile << "\n";
        return 1;
    }
    if (!options.saveFolder.empty())
        settings.saveFolder = options.saveFolder;
    // A settings file brought over from Windows names a folder this system does not have; made
    // here as it is, it would be a folder named "D:\Media" inside the current one.
    const std::string text = settings.saveFolder.str();
    if (text.find('\\') != std::string::npos ||
        (text.size() >= 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0])))) {
        err << "vexaro-harvest: the save folder " << text
            << " is a Windows path; give a folder of this system with --folder\n";
        return 1;
    }
    std::string folder = files.fullPath(settings.saveFolder.str());
    if (std::optional<std::string> problem = prepareFolder(folder)) {
        err << "vexaro-harvest: " << *problem << "\n";
        return 1;
    }
    settings.saveFolder = folder;

    PageUrlList pageUrls;
    if (options.mode == HarvestMode::All) {
        appendOpenPages(*source, pageUrls);
    } else {
        UrlListResult list = loadUrlList(files, options.configFolder);
        if (!list.loaded()) {
            err << "vexaro-harvest: "
                << formatText(tableText(list.messageId), {list.messageArgument}) << " (in "
                << options.configFolder << ")\n";
            return 1;
        }
        pageUrls = std::move(list.pageUrls);
    }
    if (pageUrls.empty()) {
        err << "vexaro-harvest: " << tableText(IDS_NO_PAGE_TO_DOWNLOAD) << "\n";
        return 1;
    }

    ConfigEnvironment environment(options.configFolder);
    std::unique_ptr<CHistoryStore> history;
    if (options.history) {
        std::error_code ec;
        std::filesystem::create_directories(options.configFolder, ec);
        history = std::make_unique<CHistoryStore>(environment, files);
    }

    SessionFlags flags;
    flags.running = 1;
    flags.continueCurrent = 1;
    gRunning = &flags.running;
    std::signal(SIGINT, stopOnSignal);
    std::signal(SIGTERM, stopOnSignal);

    MediaUrlList media;
    collectSessionMedia(*source, pageUrls, settings, flags.running, media, history.get());

    // The harvested tabs' own copies, found before the first file is saved.
    std::vector<DevToolsTarget> harvested;
    for (const DevToolsTarget& tab : source->targets()) {
        std::optional<std::string> address = workerAddress(tab.url);
        if (tab.type == "page" && address && matchesPageList(pageUrls, *address))
            harvested.push_back(tab);
    }
    std::shared_ptr<const TabResources> resources;
    try {
        resources = std::make_shared<TabResources>(harvested, timeout);
    } catch (const DevToolsError& e) {
        err << "vexaro-harvest: " << e.what() << "; every file goes over the network\n";
    }

    TerminalSink sink(err, progressOnTerminal, media.size());
    FilePassPorts ports;
    if (resources)
        ports.openCache = [resources]() -> std::unique_ptr<UrlCache> {
            return std::make_unique<ChromiumUrlCache>(resources);
        };
    ports.openInternet = [] { return platformHttpClient(); };
    ports.files = &files;
    ports.sink = &sink;
    FilePass::Counts counts;
    if (!media.empty() && flags.running.load() == 1) {
        FilePass pass(history ? SessionHost::MainWindow : SessionHost::DownloadWindow,
                      settingsOf(settings), flags, history.get(), ports);
        pass.run(media);
        counts = pass.counts();
    } else if (history) {
        counts.historyNotSaved = history->Save().failed;
    }
    sink.finish();
    const bool interrupted = gRunning->load() == 0 && counts.copied + counts.downloaded +
                                                              counts.duplicates + counts.filtered +
                                                              counts.passedOver <
                                                          static_cast<int>(media.size());
    gRunning = nullptr;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    out << "pages: " << pageUrls.size() << ", media: " << media.size() << "\n"
        << "saved: " << counts.copied + counts.downloaded << " (" << counts.copied
        << " from the browser, " << counts.downloaded << " downloaded)\n"
        << "skipped as the same file: " << counts.duplicates << "\n"
        << "filtered: " << counts.filtered << "\n"
        << "passed over: " << counts.passedOver << "\n";
    for (const std::string& problem : sink.problems)
        out << "  " << problem << "\n";
    if (media.empty())
        out << tableText(IDS_NO_FILES_TO_DOWNLOAD) << "\n";
    if (interrupted)
        out << "interrupted before every file was handled\n";
    if (counts.historyNotSaved != 0)
        out << "history: " << counts.historyNotSaved << " page(s) could not be saved\n";
    return counts.passedOver == 0 && tabProblems == 0 && !interrupted && counts.historyNotSaved == 0
               ? 0
               : 1;
}

}  // namespace vx::chromium
