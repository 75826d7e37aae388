// vexaro-harvest against a real headless Chromium: one browser for the whole binary, with two
// tabs of pages from the loopback server (and an https image through its TLS front). Skipped,
// never failed, where no Chromium can start.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "chromium/chromium_port.h"
#include "chromium/devtools.h"
#include "settings/download_settings.h"
#include "support/loopback_server.h"
#include "support/scratch_folder.h"
#include "support/test_paths.h"
#include "support/tls_relay.h"

namespace vx {
namespace {

using test::LoopbackServer;
using test::ScratchFolder;
using Clock = std::chrono::steady_clock;

// A PNG of 1x1 pixel; `padding` bytes after its end change its size, not the picture.
std::string png(std::size_t padding, char fill) {
    static const unsigned char kPixel[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
        0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
        0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78,
        0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF, 0x89, 0x99,
        0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    return std::string(reinterpret_cast<const char*>(kPixel), sizeof kPixel) +
           std::string(padding, fill);
}

test::LoopbackResponse typed(const std::string& type, std::string body) {
    std::string head = "HTTP/1.0 200 OK\r\nContent-Type: " + type +
                       "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    return test::rawResponse(head, std::move(body));
}

bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit) {
    auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::string chromiumProgram() {
    if (const char* given = std::getenv("VX_CHROMIUM"); given && *given)
        return given;
    for (const char* candidate : {"/usr/bin/chromium-headless-shell", "/usr/bin/chromium"}) {
        if (::access(candidate, X_OK) == 0)
            return candidate;
    }
    return {};
}

struct HarvestRun {
    int status = -1;
    std::string out;
    std::string err;
};

class ChromiumHarvest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server = new LoopbackServer;
        const std::string fixtures = VX_FIXTURES_DIR;
        relay = new test::TlsRelay(server->port(), fixtures + "/tls/loopback.crt",
                                   fixtures + "/tls/loopback.key");
        serveSite();
        skipReason = startBrowser();
    }
    static void TearDownTestSuite() {
        if (browser > 0) {
            ::kill(-browser, SIGTERM);
            ::waitpid(browser, nullptr, 0);
            ::kill(-browser, SIGKILL);
        }
        delete profile;
        delete relay;
        delete server;
    }
    void SetUp() override {
        if (!skipReason.empty())
            GTEST_SKIP() << skipReason;
    }

    static void serveSite() {
        gallery = server->url("/gallery.html");
        other = server->url("/other.html");
        server->route(
            "/gallery.html",
            typed("text/html",
                  "<html><head><title>Gallery</title></head><body>"
                  "<img src='/img/small.png' width='10' height='10'>"
                  "<img src='/img/large.png' width='200' height='150'>"
                  "<img src='/img/banner.png' width='468' height='60'>"
                  "<img src='" +
                      relay->url("/img/secure.png") +
                      "' width='20' height='20'>"
                      "<a href='/media/song.mp3'>song</a> <a href='/media/movie.swf'>movie</a>"
                      "<a href='/media/notes.txt'>notes</a>"
                      "<img src='/img/small.png' usemap='#m' width='5' height='5'>"
                      "<map name='m'><area shape='rect' coords='0,0,5,5' "
                      "href='/media/clip.mp3'></map></body></html>"));
        server->route("/other.html", typed("text/html",
                                           "<html><head><title>Other</title></head><body>"
                                           "<img src='/img/other.png' width='30' height='30'>"
                                           "</body></html>"));
        server->route("/img/small.png", typed("image/png", png(100, 's')));
        server->route("/img/large.png", typed("image/png", png(5000, 'l')));
        server->route("/img/banner.png", typed("image/png", png(300, 'b')));
        server->route("/img/secure.png", typed("image/png", png(700, 'x')));
        server->route("/img/other.png", typed("image/png", png(900, 'o')));
        server->route("/media/song.mp3", typed("audio/mpeg", std::string(3000, 'm')));
        server->route("/media/movie.swf", typed("application/x-shockwave-flash", "FWS movie"));
        server->route("/media/clip.mp3", typed("audio/mpeg", std::string(400, 'c')));
        server->route("/media/notes.txt", typed("text/plain", "notes"));
    }

    // Empty when the browser runs with both pages loaded; otherwise why the tests are skipped.
    static std::string startBrowser() {
        std::string program = chromiumProgram();
        if (program.empty())
            return "no Chromium here (install chromium-headless-shell, or set VX_CHROMIUM)";
        profile = new ScratchFolder("vx-chromium-profile");
        std::vector<std::string> args = {program,
                                         "--headless",
                                         "--remote-debugging-port=0",
                                         "--remote-debugging-address=127.0.0.1",
                                         "--user-data-dir=" + profile->path(),
                                         "--ignore-certificate-errors",
                                         "--disable-gpu",
                                         "--no-first-run",
                                         "--proxy-server=direct://",
                                         gallery};
        if (::geteuid() == 0)
            args.insert(args.begin() + 1, "--no-sandbox");
        browser = ::fork();
        if (browser == 0) {
            ::setpgid(0, 0);
            int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 1);
            if (!std::getenv("VX_CHROMIUM_LOG"))
                ::dup2(null, 2);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (browser < 0)
            return "cannot start " + program;
        ::setpgid(browser, browser);
        const std::string portFile = profile->file("DevToolsActivePort");
        bool exited = false;
        std::string browserPath;
        bool up = waitFor(
            [&] {
                exited = ::waitpid(browser, nullptr, WNOHANG) == browser;
                std::ifstream in(portFile);
                std::string port;
                return exited || (std::getline(in, port) && std::getline(in, browserPath) &&
                                  (endpoint = "127.0.0.1:" + port, true));
            },
            std::chrono::seconds(60));
        if (exited) {
            browser = 0;
            return program + " could not start here";
        }
        if (!up)
            return program + " gave no DevTools port within a minute";
        // The second tab is opened by the browser's own target domain: the headless shell takes
        // one address on its command line.
        try {
            chromium::DevToolsSession session("ws://" + endpoint + browserPath,
                                              std::chrono::seconds(30));
            session.call("Target.createTarget", {{"url", other}});
        } catch (const chromium::DevToolsError& e) {
            return std::string("cannot open a second tab: ") + e.what();
        }
        // Both tabs loaded: their titles are in, and every image reached the server.
        bool loaded = waitFor(
            [] {
                try {
                    int titled = 0;
                    for (const auto& t : chromium::listTargets(endpoint, std::chrono::seconds(5)))
                        titled += t.title == "Gallery" || t.title == "Other";
                    return titled == 2 && server->requestCount("/img/other.png") == 1 &&
                           server->requestCount("/img/secure.png") == 1 &&
                           server->requestCount("/img/banner.png") == 1;
                } catch (const chromium::DevToolsError&) {
                    return false;
                }
            },
            std::chrono::seconds(60));
        if (loaded)
            return "";
        std::string seen;
        for (const LoopbackServer::Request& r : server->requests())
            seen += " " + r.target;
        try {
            for (const auto& t : chromium::listTargets(endpoint, std::chrono::seconds(5)))
                seen += " [" + t.type + " " + t.title + " " + t.url + "]";
        } catch (const chromium::DevToolsError&) {
        }
        return program + " did not load the test pages within a minute; asked for:" + seen;
    }

    // vexaro-harvest with `args`; its configuration folder is `config`.
    static HarvestRun harvest(const std::string& args, const ScratchFolder& config) {
        ScratchFolder logs("vx-harvest-logs");
        // Loopback addresses never go through a proxy the environment may name.
        std::string command = "no_proxy=127.0.0.1,localhost " + std::string(VX_HARVEST_PROGRAM) +
                              " --config " + config.path() + " " + args + " >" + logs.file("out") +
                              " 2>" + logs.file("err");
        HarvestRun run;
        int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = logs.read("out");
        run.err = logs.read("err");
        return run;
    }

    static void writeSettings(const ScratchFolder& config, const DownloadSettings& settings) {
        config.putBytes("config.xml", settingsText(settings));
    }

    static inline LoopbackServer* server = nullptr;
    static inline test::TlsRelay* relay = nullptr;
    static inline ScratchFolder* profile = nullptr;
    static inline pid_t browser = 0;
    static inline std::string endpoint;
    static inline std::string gallery;
    static inline std::string other;
    static inline std::string skipReason;
};

TEST_F(ChromiumHarvest, ListShowsTheTabsWithTitleAndAddress) {
    ScratchFolder config("vx-config");
    HarvestRun run = harvest("--list --devtools " + endpoint, config);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Gallery\t" + gallery + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Other\t" + other + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << run.out;
}

TEST_F(ChromiumHarvest, AllSavesEveryTabsMediaAndTakesWhatTheBrowserLoadedFromIt) {
    ScratchFolder config("vx-config");
    ScratchFolder saved("vx-saved");
    DownloadSettings settings;
    settings.limitFileSize = 0;
    settings.typeMp3 = 1;
    settings.typeFlash = 1;
    settings.limitResolution = 1;
    settings.resolutions = {{468, 60}};
    writeSettings(config, settings);
    const int imageRequestsBefore = server->requestCount("/img/small.png");

    HarvestRun run =
        harvest("--all --history --devtools " + endpoint + " --folder " + saved.path(), config);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    // Images at their laid-out size, the banner's listed resolution left out; mp3 and swf links,
    // the area's among them. The second use of small.png is the same file again.
    EXPECT_EQ(saved.read("small.png"), png(100, 's'));
    EXPECT_EQ(saved.read("large.png"), png(5000, 'l'));
    EXPECT_EQ(saved.read("secure.png"), png(700, 'x'));
    EXPECT_EQ(saved.read("other.png"), png(900, 'o'));
    EXPECT_EQ(saved.read("song.mp3"), std::string(3000, 'm'));
    EXPECT_EQ(saved.read("movie.swf"), "FWS movie");
    EXPECT_EQ(saved.read("clip.mp3"), std::string(400, 'c'));
    EXPECT_FALSE(saved.has("banner.png"));
    EXPECT_FALSE(saved.has("notes.txt"));
    EXPECT_EQ(saved.count(), 7u);
    EXPECT_NE(run.out.find("saved: 7 (4 from the browser, 3 downloaded)"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("skipped as the same file: 1"), std::string::npos) << run.out;

    // What the browser had loaded was not asked for again, over either scheme.
    EXPECT_EQ(server->requestCount("/img/small.png"), imageRequestsBefore);
    EXPECT_EQ(server->requestCount("/img/large.png"), 1);
    EXPECT_EQ(server->requestCount("/img/secure.png"), 1);
    EXPECT_EQ(server->requestCount("/img/other.png"), 1);
    EXPECT_EQ(server->requestCount("/img/banner.png"), 1);
    EXPECT_EQ(server->requestCount("/media/song.mp3"), 1);
    EXPECT_EQ(server->requestCount("/media/notes.txt"), 0);

    // The day file of the history names both pages.
    std::vector<std::filesystem::path> days;
    for (const auto& entry : std::filesystem::directory_iterator(config.file("History")))
        days.push_back(entry.path());
    ASSERT_EQ(days.size(), 1u);
    std::ifstream in(days[0]);
    std::string day((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(day.find("<REFERRER_URL>" + gallery + "</REFERRER_URL>"), std::string::npos) << day;
    EXPECT_NE(day.find("<REFERRER_URL>" + other + "</REFERRER_URL>"), std::string::npos) << day;
    EXPECT_NE(day.find(saved.file("song.mp3")), std::string::npos) << day;
}

TEST_F(ChromiumHarvest, CurrentTakesTheListedPagesOnlyWithTheSizeFilter) {
    ScratchFolder config("vx-config");
    ScratchFolder saved("vx-saved");
    config.putBytes("cacheurl.xml", "<URLCACHE>\r\n<URL>" + other + "</URL>\r\n</URLCACHE>");
    DownloadSettings settings;
    settings.limitFileSize = 0;
    writeSettings(config, settings);
    HarvestRun first =
        harvest("--current --devtools " + endpoint + " --folder " + saved.path(), config);
    EXPECT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_EQ(saved.read("other.png"), png(900, 'o'));
    EXPECT_EQ(saved.count(), 1u);

    // Again into the same folder: the same file is not saved twice.
    HarvestRun again =
        harvest("--current --devtools " + endpoint + " --folder " + saved.path(), config);
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_NE(again.out.find("skipped as the same file: 1"), std::string::npos) << again.out;
    EXPECT_EQ(saved.count(), 1u);

    // Files of 1 KB or more only: the 969-byte image is filtered.
    settings.limitFileSize = 1;
    settings.largerThanOn = 1;
    settings.largerThanKB = 1;
    writeSettings(config, settings);
    ScratchFolder filtered("vx-saved");
    HarvestRun small =
        harvest("--current --devtools " + endpoint + " --folder " + filtered.path(), config);
    EXPECT_EQ(small.status, 0) << small.out << small.err;
    EXPECT_NE(small.out.find("filtered: 1"), std::string::npos) << small.out;
    EXPECT_EQ(filtered.count(), 0u);
    EXPECT_EQ(server->requestCount("/img/other.png"), 1);
}

TEST_F(ChromiumHarvest, ErrorsSayWhatIsWrongAndFail) {
    ScratchFolder config("vx-config");
    uint16_t closedPort;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    HarvestRun noBrowser =
        harvest("--all --devtools 127.0.0.1:" + std::to_string(closedPort), config);
    EXPECT_EQ(noBrowser.status, 1);
    EXPECT_NE(noBrowser.err.find("no browser answers at 127.0.0.1:" + std::to_string(closedPort)),
              std::string::npos)
        << noBrowser.err;

    ScratchFolder parent("vx-saved");
    parent.putBytes("taken", "a file, not a folder");
    HarvestRun badFolder =
        harvest("--all --devtools " + endpoint + " --folder " + parent.file("taken"), config);
    EXPECT_EQ(badFolder.status, 1);
    EXPECT_NE(badFolder.err.find("cannot be made"), std::string::npos) << badFolder.err;

    HarvestRun noList =
        harvest("--current --devtools " + endpoint + " --folder " + parent.path(), config);
    EXPECT_EQ(noList.status, 1);
    EXPECT_NE(noList.err.find("Unable to read url cache file: cacheurl.xml"), std::string::npos)
        << noList.err;

    HarvestRun usage = harvest("--all --list", config);
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("give exactly one of"), std::string::npos) << usage.err;
}

TEST_F(ChromiumHarvest, ATabClosedBeforeItsDocumentIsReadIsReportedAndCountsAsEmpty) {
    std::string browserPath;
    {
        std::ifstream in(profile->file("DevToolsActivePort"));
        std::getline(in, browserPath);
        std::getline(in, browserPath);
    }
    chromium::DevToolsSession browserSession("ws://" + endpoint + browserPath,
                                             std::chrono::seconds(30));
    std::string id =
        browserSession.call("Target.createTarget", {{"url", "about:blank"}}).value("targetId", "");
    std::vector<std::string> problems;
    chromium::ChromiumWindowSource source(
        endpoint, std::chrono::seconds(30),
        [&](const chromium::DevToolsTarget& tab, const std::string& reason) {
            problems.push_back(tab.id + " " + reason);
        });
    int32_t index = -1;
    for (std::size_t i = 0; i < source.targets().size(); ++i) {
        if (source.targets()[i].id == id)
            index = static_cast<int32_t>(i);
    }
    ASSERT_GE(index, 0);
    browserSession.call("Target.closeTarget", {{"targetId", id}});
    ASSERT_TRUE(waitFor(
        [&] {
            for (const auto& t : chromium::listTargets(endpoint, std::chrono::seconds(5)))
                if (t.id == id)
                    return false;
            return true;
        },
        std::chrono::seconds(30)));

    std::optional<BrowserPage> page = source.page(index);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->document->imageCount(), 0);
    EXPECT_EQ(page->document->linkCount(), 0);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].rfind(id + " cannot connect to the tab", 0), 0u) << problems[0];
}

TEST(DevToolsAddress, ABarePortIsOnTheLoopbackAndTheSchemeIsOptional) {
    EXPECT_EQ(chromium::normalizeEndpoint("9222"), "127.0.0.1:9222");
    EXPECT_EQ(chromium::normalizeEndpoint("http://host:9333/"), "host:9333");
    EXPECT_EQ(chromium::normalizeEndpoint("[::1]:9222"), "[::1]:9222");
    EXPECT_THROW(chromium::parseTargetList("{\"not\": \"a list\"}"), chromium::DevToolsError);
    EXPECT_EQ(chromium::parseTargetList("[{\"type\": \"page\", \"url\": 1}, 2]").size(), 1u);
}

}  // namespace
}  // namespace vx
