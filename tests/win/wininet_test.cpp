#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "download/file_pass.h"
#include "download/http_client.h"
#include "settings/download_settings.h"
#include "support/http_test_util.h"
#include "support/loopback_server.h"
#include "support/recording_sink.h"
#include "support/scratch_folder.h"
#include "win_test_util.h"

namespace vx {
namespace {

using test::LoopbackServer;

using test::readWholeBody;
using test::shortHttpLimits;

class WinInetClient : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.listening()); }
    // Ordinary transfers get limits a loaded machine never reaches; a test that watches a limit
    // end a transfer asks for short ones, against a server that never satisfies them.
    HttpOpenResult open(const std::string& target, const AbortCheck& abort = nullptr,
                        HttpLimits limits = test::generousHttpLimits()) {
        client = platformHttpClient(limits);
        return client->open(server.url(target), abort);
    }
    LoopbackServer server;
    std::unique_ptr<HttpClient> client;
};

TEST_F(WinInetClient, SendsAnHttp10GetWithTheAgentToTheAddresssPort) {
    std::string body(20000, 'w');
    server.route("/dir/a.jpg?x=1&y=2", test::okResponse(body));
    HttpOpenResult r = open("/dir/a.jpg?x=1&y=2#part");
    ASSERT_TRUE(r.transfer) << httpErrorText(r.error);
    EXPECT_EQ(r.transfer->head().status, 200);
    EXPECT_EQ(bodyLength(r.transfer->head()).bytes, body.size());
    EXPECT_EQ(readWholeBody(*r.transfer).first, body);
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text.substr(0, requests[0].text.find("\r\n")),
              "GET /dir/a.jpg?x=1&y=2 HTTP/1.0");
    EXPECT_NE((requests[0].text + "\r\n").find("\r\nUser-Agent: Vexaro\r\n"), std::string::npos)
        << requests[0].text;
}

TEST_F(WinInetClient, ABackslashInThePathIsSentAsASlashLikeTheNativeClient) {
    server.route("/dir/b.jpg", test::okResponse("bee"));
    HttpOpenResult r = open("/dir\\b.jpg");
    ASSERT_TRUE(r.transfer) << httpErrorText(r.error);
    EXPECT_EQ(readWholeBody(*r.transfer).first, "bee");
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text.substr(0, requests[0].text.find("\r\n")), "GET /dir/b.jpg HTTP/1.0");
}

TEST_F(WinInetClient, AnAddressThatWouldAddARequestLineIsNeverSent) {
    for (const char* target :
         {"/a.jpg HTTP/1.0\r\nX-Injected: 1\r\n\r\n", "/b c.jpg", "/d\x7f.jpg"}) {
        HttpOpenResult r = open(target);
        EXPECT_FALSE(r.transfer) << target;
        EXPECT_EQ(r.error, HttpError::BadAddress) << target;
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(WinInetClient, ReportsStatusAndEveryLengthHeader) {
    server.route("/missing", test::responseWithLength(404, "9", "not found"));
    server.route("/twice", test::rawResponse("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n"
                                             "Content-Length: 4\r\n",
                                             "abcd"));
    server.route("/none", test::responseWithoutLength("abc"));
    HttpOpenResult missing = open("/missing");
    ASSERT_TRUE(missing.transfer);
    EXPECT_EQ(missing.transfer->head().status, 404);
    HttpOpenResult twice = open("/twice");
    ASSERT_TRUE(twice.transfer);
    EXPECT_EQ(bodyLength(twice.transfer->head()).kind, BodyLengthKind::Invalid);
    HttpOpenResult none = open("/none");
    ASSERT_TRUE(none.transfer);
    EXPECT_EQ(bodyLength(none.transfer->head()).kind, BodyLengthKind::Missing);
}

TEST_F(WinInetClient, AStalledBodyEnds) {
    server.route("/stall", test::stallAfterHeadResponse("5000"));
    HttpOpenResult r = open("/stall", nullptr, shortHttpLimits());
    ASSERT_TRUE(r.transfer);
    auto [body, error] = readWholeBody(*r.transfer);
    EXPECT_TRUE(body.empty());
    EXPECT_NE(error, HttpError::None);
}

TEST_F(WinInetClient, ADrippingBodyEndsAsTooSlow) {
    server.route("/drip", test::dripResponse(std::string(400, 'd'), 100));
    HttpOpenResult r = open("/drip", nullptr, shortHttpLimits());
    ASSERT_TRUE(r.transfer);
    auto [body, error] = readWholeBody(*r.transfer);
    EXPECT_LT(body.size(), 400u);
    EXPECT_EQ(error, HttpError::TooSlow);
}

TEST_F(WinInetClient, HeadersWithoutEndGiveNothingUsable) {
    // The server gives up after 2 MB of header lines. WinINet either gives up first or returns
    // a head without any length, which the file pass passes over.
    server.route("/endless", test::endlessHeadResponse());
    HttpOpenResult r = open("/endless", nullptr, shortHttpLimits());
    EXPECT_TRUE(!r.transfer || bodyLength(r.transfer->head()).kind != BodyLengthKind::Valid);
}

TEST_F(WinInetClient, AnAbortEndsAWaitingTransfer) {
    server.route("/stall", test::stallAfterHeadResponse("100"));
    std::atomic<bool> stop{false};
    HttpOpenResult r = open("/stall", [&] { return stop.load(); });
    ASSERT_TRUE(r.transfer);
    stop = true;
    char buffer[64];
    ReadResult read = r.transfer->read(buffer, sizeof buffer);
    EXPECT_EQ(read.status, ReadStatus::Failed);
}

// A whole pass with the Windows adapters: the URL cache, WinINet and the save folder.
TEST_F(WinInetClient, AWholePassCopiesCachedFilesAndDownloadsTheRest) {
    test::ScratchFolder save;
    char startFolder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, startFolder);
    DownloadSettings settings;
    settings.saveFolder = save.path();
    SessionFlags flags;
    flags.running = 1;
    flags.continueCurrent = 1;
    test::RecordingSink sink;
    FilePassPorts ports = platformFilePassPorts(sink);
    ports.openInternet = [] { return platformHttpClient(test::generousHttpLimits()); };

    std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    std::string cachedAddress = server.url("/cached-" + tag + ".jpg");
    ASSERT_TRUE(wintest::commitToCache(cachedAddress, "from the cache"));
    server.route("/net.gif", test::okResponse("from the network"));
    server.route("/gone.gif", test::responseWithLength(404, "9", "not found"));

    FilePass pass(SessionHost::DownloadWindow, settingsOf(settings), flags, nullptr, ports);
    pass.run({cachedAddress, server.url("/net.gif"), server.url("/gone.gif"), cachedAddress});
    SetCurrentDirectoryA(startFolder);

    EXPECT_EQ(save.read("cached-" + tag + ".jpg"), "from the cache");
    EXPECT_EQ(save.read("net.gif"), "from the network");
    EXPECT_FALSE(save.has("gone.gif"));
    EXPECT_EQ(pass.counts().copied, 1);
    EXPECT_EQ(pass.counts().duplicates, 1);
    EXPECT_EQ(server.requestCount("/cached-" + tag + ".jpg"), 0);
    EXPECT_EQ(flags.stopRequested.load(), 1);
    // The finished copy reads 100 per cent, although Wine never calls the copy's progress routine.
    bool wholeShown = false;
    for (const ProgressTexts& t : sink.texts)
        wholeShown |= t.file == "cached-" + tag + ".jpg" && t.percent == "100% Complete";
    EXPECT_TRUE(wholeShown);
}

}  // namespace
}  // namespace vx
