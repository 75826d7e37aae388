#include "download/http_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "support/http_test_util.h"
#include "support/loopback_server.h"
#include "support/test_paths.h"
#include "support/tls_relay.h"

namespace vx {
namespace {

using test::LoopbackServer;

TEST(HttpAddressSplit, TakesTheAddresssOwnSchemeHostAndPort) {
    struct Case {
        const char* address;
        bool secure;
        const char* host;
        uint16_t port;
        const char* object;
    } cases[] = {
        {"http://example.com/a/b.jpg", false, "example.com", 80, "/a/b.jpg"},
        {"https://example.com/a.jpg", true, "example.com", 443, "/a.jpg"},
        {"HTTP://Example.com:8080/x", false, "Example.com", 8080, "/x"},
        {"https://h:8443/p?q=1", true, "h", 8443, "/p?q=1"},
        {"http://h/show.php?id=3&x=y#top", false, "h", 80, "/show.php?id=3&x=y"},
        {"http://h", false, "h", 80, "/"},
        {"http://h?x=1", false, "h", 80, "/?x=1"},
        {"http://user:pw@h:81/f", false, "h", 81, "/f"},
        {"http://[::1]:8080/v6", false, "::1", 8080, "/v6"},
        {"http://[::1]/v6", false, "::1", 80, "/v6"},
        {"http://h\\dir\\f.gif", false, "h", 80, "/dir/f.gif"},
    };
    for (const Case& c : cases) {
        std::optional<HttpAddress> a = splitHttpAddress(c.address);
        ASSERT_TRUE(a) << c.address;
        EXPECT_EQ(*a, (HttpAddress{c.secure, c.host, c.port, c.object})) << c.address;
    }
}

TEST(HttpAddressSplit, RefusesWhatIsNotAnHttpAddress) {
    for (const char* address :
         {"ftp://h/f", "file:///c:/x.jpg", "data:image/png;base64,AAAA", "javascript:void(0)",
          "http://", "http:///path", "http://h:0/", "http://h:65536/", "http://h:8o/",
          "http://[::1/x", "http://[::1]x/", "/relative/path.jpg", "mailto:a@b"}) {
        EXPECT_FALSE(splitHttpAddress(address)) << address;
    }
}

TEST(HttpRequest, AnAddressWithControlBytesOrBlanksDoesNotFitTheRequestLine) {
    EXPECT_TRUE(fitsRequestLine({false, "h", 80, "/a.jpg?x=%20&y=~"}));
    // Bytes above 0x7F are the page's own multibyte text; they end no line.
    EXPECT_TRUE(fitsRequestLine({false, "h", 80, "/\xe9t\xe9.jpg"}));
    for (char c : {'\0', '\t', '\n', '\r', ' ', '\x1f', '\x7f'}) {
        EXPECT_FALSE(fitsRequestLine({false, "h", 80, std::string("/a") + c + "b"})) << int(c);
        EXPECT_FALSE(fitsRequestLine({false, std::string("h") + c + "x", 80, "/"})) << int(c);
    }
}

TEST(ResponseHead, ReadsStatusLengthsAndLocationsWithEitherLineEnd) {
    ParsedResponseHead crlf = parseResponseHead(
        "HTTP/1.1 302 Found\r\nlocation: /a\r\n /b\r\nContent-Length: 0\r\nX-Other: 1");
    ASSERT_TRUE(crlf.ok);
    EXPECT_EQ(crlf.head.status, 302);
    EXPECT_EQ(crlf.locations, std::vector<std::string>{" /a  /b"});
    EXPECT_EQ(crlf.head.contentLength, std::vector<std::string>{" 0"});
    ParsedResponseHead lf =
        parseResponseHead("HTTP/1.0 200\nTRANSFER-ENCODING: chunked\nContent-Length:5\nbroken");
    ASSERT_TRUE(lf.ok);
    EXPECT_EQ(lf.head.status, 200);
    EXPECT_EQ(lf.head.transferEncoding, std::vector<std::string>{" chunked"});
    EXPECT_EQ(lf.head.contentLength, std::vector<std::string>{"5"});
    for (const char* bad : {"", "HTTP/1.0", "HTTP/1.0 20", "HTTP/1.0 2x0 OK", "HTTP/1.0 2000",
                            "ICY 200 OK", "http/1.0 200 OK", "\r\nHTTP/1.0 200 OK"})
        EXPECT_FALSE(parseResponseHead(bad).ok) << bad;
}

BodyLength lengthOf(std::vector<std::string> lengths, std::vector<std::string> codings = {}) {
    HttpResponseHead head;
    head.status = 200;
    head.contentLength = std::move(lengths);
    head.transferEncoding = std::move(codings);
    return bodyLength(head);
}

TEST(ResponseLength, OnlyPlainAgreeingNumbersCount) {
    EXPECT_EQ(lengthOf({}).kind, BodyLengthKind::Missing);
    EXPECT_EQ(lengthOf({"1234"}).bytes, 1234u);
    EXPECT_EQ(lengthOf({" 77 "}).bytes, 77u);
    EXPECT_EQ(lengthOf({"0"}).kind, BodyLengthKind::Valid);
    EXPECT_EQ(lengthOf({"1000000000000000"}).bytes, 1000000000000000ull);
    EXPECT_EQ(lengthOf({"5", "5"}).bytes, 5u);
    EXPECT_EQ(lengthOf({"5, 5"}).bytes, 5u);
    for (auto bad : std::vector<std::vector<std::string>>{{"-5"},
                                                          {"abc"},
                                                          {"12abc"},
                                                          {""},
                                                          {"+5"},
                                                          {"5 5"},
                                                          {"0x10"},
                                                          {"5", "6"},
                                                          {"5,6"},
                                                          {"5,"},
                                                          {"99999999999999999999"}}) {
        EXPECT_EQ(lengthOf(bad).kind, BodyLengthKind::Invalid) << bad.front();
    }
}

TEST(ResponseLength, ACodedBodyHasNoUsableLength) {
    EXPECT_EQ(lengthOf({"10"}, {"chunked"}).kind, BodyLengthKind::Invalid);
    EXPECT_EQ(lengthOf({}, {"gzip, chunked"}).kind, BodyLengthKind::Invalid);
    EXPECT_EQ(lengthOf({"10"}, {"Identity"}).bytes, 10u);
}

// The native client against a live server.
class HttpClientLive : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.listening()); }

    // `target` is a path on the server, or a whole address.
    HttpOpenResult open(const std::string& target, HttpLimits limits = test::generousHttpLimits(),
                        const AbortCheck& abort = nullptr) {
        client = platformHttpClient(limits);
        return client->open(target.starts_with("/") ? server.url(target) : target, abort);
    }

    LoopbackServer server;
    std::unique_ptr<HttpClient> client;
};

TEST_F(HttpClientLive, SendsTheRequestAndReadsHeadAndBody) {
    std::string body(10000, 'b');
    body[0] = 'A';
    server.route("/m/a.jpg?x=1", test::okResponse(body));
    HttpOpenResult r = open("/m/a.jpg?x=1#frag");
    ASSERT_TRUE(r.transfer) << httpErrorText(r.error);
    EXPECT_EQ(r.transfer->head().status, 200);
    EXPECT_EQ(bodyLength(r.transfer->head()).bytes, 10000u);
    EXPECT_EQ(test::readWholeBody(*r.transfer).first, body);
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    // The same request as the WinINet road: a plain HTTP/1.0 GET under the agent's name.
    EXPECT_TRUE(requests[0].text.starts_with("GET /m/a.jpg?x=1 HTTP/1.0\r\n")) << requests[0].text;
    EXPECT_NE(requests[0].text.find("\r\nUser-Agent: Vexaro"), std::string::npos);
    EXPECT_NE(requests[0].text.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port())),
              std::string::npos);
}

TEST_F(HttpClientLive, ReportsTheStatusAndHeadersAsSent) {
    server.route("/missing", test::responseWithLength(404, "9", "not here!"));
    server.route("/nolength", test::responseWithoutLength("abc"));
    server.route("/twice", test::rawResponse("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n"
                                             "content-length: 4\r\n",
                                             "abcd"));
    server.route("/chunked", test::chunkedResponse("hello"));
    HttpOpenResult missing = open("/missing");
    ASSERT_TRUE(missing.transfer);
    EXPECT_EQ(missing.transfer->head().status, 404);
    HttpOpenResult noLength = open("/nolength");
    ASSERT_TRUE(noLength.transfer);
    EXPECT_EQ(bodyLength(noLength.transfer->head()).kind, BodyLengthKind::Missing);
    HttpOpenResult twice = open("/twice");
    ASSERT_TRUE(twice.transfer);
    EXPECT_EQ(twice.transfer->head().contentLength, (std::vector<std::string>{" 3", " 4"}));
    EXPECT_EQ(bodyLength(twice.transfer->head()).kind, BodyLengthKind::Invalid);
    HttpOpenResult chunked = open("/chunked");
    ASSERT_TRUE(chunked.transfer);
    EXPECT_EQ(bodyLength(chunked.transfer->head()).kind, BodyLengthKind::Invalid);
}

TEST_F(HttpClientLive, FollowsRedirectionsToTheirEnd) {
    server.route("/old", test::redirectResponse(302, "/new/place.jpg"));
    server.route("/new/place.jpg", test::redirectResponse(301, "final.jpg"));
    server.route("/new/final.jpg", test::okResponse("done"));
    server.route("/loop", test::redirectResponse(302, "/loop"));
    HttpOpenResult r = open("/old");
    ASSERT_TRUE(r.transfer);
    EXPECT_EQ(r.transfer->head().status, 200);
    EXPECT_EQ(test::readWholeBody(*r.transfer).first, "done");
    HttpOpenResult loop = open("/loop");
    EXPECT_FALSE(loop.transfer);
    EXPECT_EQ(loop.error, HttpError::TooManyRedirects);
}

TEST_F(HttpClientLive, EndlessHeadersAreCut) {
    server.route("/endless", test::endlessHeadResponse());
    HttpOpenResult r = open("/endless");
    EXPECT_FALSE(r.transfer);
    EXPECT_EQ(r.error, HttpError::HeadTooLarge);
}

TEST_F(HttpClientLive, ASilentServerEndsInATimeout) {
    server.route("/silent", test::silentResponse());
    server.route("/half", test::stallInHeadResponse());
    HttpLimits idle = test::generousHttpLimits();
    idle.idleTimeoutMs = 200;
    HttpOpenResult silent = open("/silent", idle, test::giveUpAfter());
    EXPECT_FALSE(silent.transfer);
    EXPECT_EQ(silent.error, HttpError::Timeout);
    HttpLimits head = test::generousHttpLimits();
    head.headTimeoutMs = 200;
    HttpOpenResult half = open("/half", head, test::giveUpAfter());
    EXPECT_FALSE(half.transfer);
    EXPECT_EQ(half.error, HttpError::Timeout);
}

TEST_F(HttpClientLive, AStallAfterTheHeadEndsInATimeout) {
    server.route("/stall", test::stallAfterHeadResponse("5000"));
    HttpLimits limits = test::generousHttpLimits();
    limits.idleTimeoutMs = 200;
    HttpOpenResult r = open("/stall", limits, test::giveUpAfter());
    // On a loaded machine the head itself may come after the short limit: a Timeout either way.
    std::pair<std::string, HttpError> ended{{}, r.error};
    if (r.transfer)
        ended = test::readWholeBody(*r.transfer);
    EXPECT_TRUE(ended.first.empty());
    EXPECT_EQ(ended.second, HttpError::Timeout);
}

TEST_F(HttpClientLive, ABodyThatStopsComingEndsAsTooSlow) {
    server.route("/stops", test::stallAfterHeadResponse("200", std::string(10, 's')));
    HttpLimits limits = test::generousHttpLimits();
    limits.lowSpeedWindowMs = 200;
    limits.lowSpeedBytes = 64;
    HttpOpenResult r = open("/stops", limits, test::giveUpAfter());
    ASSERT_TRUE(r.transfer) << httpErrorText(r.error);
    auto [body, error] = test::readWholeBody(*r.transfer);
    EXPECT_LE(body.size(), 10u);
    EXPECT_EQ(error, HttpError::TooSlow);
}

TEST_F(HttpClientLive, APauseInTheBodyIsWaitedOut) {
    server.route("/pause", test::pausedResponse("first-", "second"));
    std::atomic<bool> firstIn{false};
    // The client asks between waits: the server goes on once the first part is in.
    HttpOpenResult r = open("/pause", test::generousHttpLimits(), [&] {
        if (firstIn)
            server.release();
        return false;
    });
    ASSERT_TRUE(r.transfer) << httpErrorText(r.error);
    std::string body;
    char buffer[64];
    while (body.size() < 6) {
        ReadResult read = r.transfer->read(buffer, 6 - body.size());
        ASSERT_EQ(read.status, ReadStatus::Data);
        body.append(buffer, read.count);
    }
    firstIn = true;
    auto [rest, error] = test::readWholeBody(*r.transfer);
    EXPECT_EQ(body + rest, "first-second");
    EXPECT_EQ(error, HttpError::None);
}

TEST_F(HttpClientLive, AServerThatHangsUpIsNoResponse) {
    server.route("/hangup", test::hangupResponse());
    HttpOpenResult r = open("/hangup");
    EXPECT_FALSE(r.transfer);
    EXPECT_EQ(r.error, HttpError::Protocol);
}

TEST_F(HttpClientLive, AnAbortStopsAWaitingTransfer) {
    server.route("/stall", test::stallAfterHeadResponse("100"));
    std::atomic<bool> reading{false};
    std::atomic<int> askedWhileReading{0};
    HttpOpenResult r = open("/stall", test::generousHttpLimits(),
                            [&] { return reading && ++askedWhileReading >= 3; });
    ASSERT_TRUE(r.transfer) << httpErrorText(r.error);
    reading = true;
    char buffer[64];
    ReadResult read = r.transfer->read(buffer, sizeof buffer);
    EXPECT_EQ(read.status, ReadStatus::Failed);
    EXPECT_EQ(read.error, HttpError::Cancelled);
    EXPECT_EQ(askedWhileReading.load(), 3);
}

TEST_F(HttpClientLive, AnAddressThatWouldAddRequestLinesIsNotSent) {
    server.route("/a", test::okResponse("a"));
    std::string port = std::to_string(server.port());
    std::string origin = "http://127.0.0.1:" + port;
    client = platformHttpClient(test::generousHttpLimits());
    for (const std::string& address :
         {origin + "/a HTTP/1.0\r\nX-Injected: yes\r\n\r\nGET /a", origin + "/a\r\nX-Injected: yes",
          origin + "/a\nX-Injected: yes", origin + "/a b", origin + "/a\tb",
          origin + std::string("/a\0b", 4), origin + "/a\x7f", origin + "/a\x1b",
          "http://127.0.0.1\r\nX-Injected: yes:" + port + "/a",
          "http://127.0.0.1 :" + port + "/a"}) {
        HttpOpenResult r = client->open(address, nullptr);
        EXPECT_FALSE(r.transfer) << address;
        EXPECT_EQ(r.error, HttpError::BadAddress) << address;
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpClientLive, ARedirectionThatWouldAddRequestLinesIsNotFollowed) {
    server.route("/a", test::okResponse("a"));
    server.route("/cr", test::redirectResponse(302, "/a\rX-Injected: yes"));
    server.route("/blank", test::redirectResponse(302, "/a HTTP/1.0"));
    server.route("/nul", test::redirectResponse(302, std::string("/a\0", 3)));
    server.route("/folded", test::rawResponse("HTTP/1.0 302 Found\r\nLocation: /a\r\n"
                                              " X-Injected: yes\r\nContent-Length: 0\r\n",
                                              ""));
    for (const char* target : {"/cr", "/blank", "/nul", "/folded"}) {
        HttpOpenResult r = open(target);
        EXPECT_FALSE(r.transfer) << target;
        // libcurl refuses a head with a NUL byte in it before its Location is looked at.
        EXPECT_EQ(r.error,
                  std::string(target) == "/nul" ? HttpError::Protocol : HttpError::BadAddress)
            << target;
    }
    // Each redirection was asked for once and nothing was sent after it.
    std::vector<LoopbackServer::Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const LoopbackServer::Request& request : requests)
        EXPECT_EQ(request.text.find("X-Injected"), std::string::npos) << request.text;
}

TEST_F(HttpClientLive, HttpsIsFetchedOnlyFromAServerWithATrustedCertificate) {
    server.route("/secure.jpg", test::okResponse("secret"));
    test::TlsRelay relay(server.port(), std::string(VX_FIXTURES_DIR) + "/tls/loopback.crt",
                         std::string(VX_FIXTURES_DIR) + "/tls/loopback.key");
    ::unsetenv("CURL_CA_BUNDLE");
    HttpOpenResult untrusted = open(relay.url("/secure.jpg"));
    EXPECT_FALSE(untrusted.transfer);
    EXPECT_EQ(untrusted.error, HttpError::Connect);
    EXPECT_EQ(server.requestCount("/secure.jpg"), 0);

    ::setenv("CURL_CA_BUNDLE", (std::string(VX_FIXTURES_DIR) + "/tls/loopback.crt").c_str(), 1);
    HttpOpenResult trusted = open(relay.url("/secure.jpg"));
    ::unsetenv("CURL_CA_BUNDLE");
    ASSERT_TRUE(trusted.transfer) << httpErrorText(trusted.error) << " " << trusted.detail;
    EXPECT_EQ(trusted.transfer->head().status, 200);
    EXPECT_EQ(test::readWholeBody(*trusted.transfer).first, "secret");
    EXPECT_EQ(server.requestCount("/secure.jpg"), 1);
}

TEST_F(HttpClientLive, ARefusedConnectionIsAConnectError) {
    uint16_t closedPort;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    client = platformHttpClient();
    HttpOpenResult r =
        client->open("http://127.0.0.1:" + std::to_string(closedPort) + "/x", nullptr);
    EXPECT_FALSE(r.transfer);
    EXPECT_EQ(r.error, HttpError::Connect);
}

}  // namespace
}  // namespace vx
