#include "chromium/devtools.h"

#include <curl/curl.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <mutex>
#include <optional>

namespace vx::chromium {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace asio = boost::asio;
using Json = nlohmann::json;

namespace {

size_t appendText(char* data, size_t size, size_t count, void* text) {
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

std::string textOf(const Json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

std::string normalizeEndpoint(const std::string& text) {
    std::string endpoint = text;
    if (endpoint.starts_with("http://"))
        endpoint.erase(0, 7);
    while (!endpoint.empty() && endpoint.back() == '/')
        endpoint.pop_back();
    if (!endpoint.empty() && endpoint.find_first_not_of("0123456789") == std::string::npos)
        endpoint = "127.0.0.1:" + endpoint;
    return endpoint;
}

std::vector<DevToolsTarget> parseTargetList(const std::string& text) {
    Json list = Json::parse(text, nullptr, false);
    if (!list.is_array())
        throw DevToolsError("the DevTools endpoint did not answer with a target list");
    std::vector<DevToolsTarget> targets;
    for (const Json& entry : list) {
        if (!entry.is_object())
            continue;
        targets.push_back({textOf(entry, "id"), textOf(entry, "type"), textOf(entry, "title"),
                           textOf(entry, "url"), textOf(entry, "webSocketDebuggerUrl")});
    }
    return targets;
}

std::vector<DevToolsTarget> listTargets(const std::string& endpoint,
                                        std::chrono::milliseconds timeout) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    std::unique_ptr<CURL, void (*)(CURL*)> easy(curl_easy_init(), curl_easy_cleanup);
    if (!easy)
        throw DevToolsError("out of memory");
    std::string url = "http://" + endpoint + "/json/list";
    std::string body;
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "http");
    // The browser's own endpoint is never reached through a proxy.
    curl_easy_setopt(easy.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(easy.get(), CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &appendText);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body);
    CURLcode result = curl_easy_perform(easy.get());
    if (result != CURLE_OK)
        throw DevToolsError("no browser answers at " + endpoint + " (" +
                            (error[0] ? error : curl_easy_strerror(result)) +
                            "); start it with --remote-debugging-port");
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
        throw DevToolsError("the DevTools endpoint at " + endpoint + " answered with status " +
                            std::to_string(status));
    return parseTargetList(body);
}

struct DevToolsSession::Impl {
    asio::io_context io;
    websocket::stream<beast::tcp_stream> ws{io};
    std::chrono::milliseconds timeout;
    int64_t nextId = 1;

    // Runs one asynchronous step to its end within the timeout; the stream closes on expiry.
    template <typename Start>
    beast::error_code runStep(Start&& start) {
        std::optional<beast::error_code> done;
        beast::get_lowest_layer(ws).expires_after(timeout);
        start([&done](beast::error_code ec, auto&&...) { done = ec; });
        io.restart();
        io.run();
        return done.value_or(asio::error::operation_aborted);
    }
};

DevToolsSession::DevToolsSession(const std::string& webSocketUrl, std::chrono::milliseconds timeout)
    : impl_(std::make_unique<Impl>()) {
    impl_->timeout = timeout;
    // ws://host:port/path
    if (!webSocketUrl.starts_with("ws://"))
        throw DevToolsError("not a DevTools WebSocket address: " + webSocketUrl);
    std::string rest = webSocketUrl.substr(5);
    std::size_t slash = rest.find('/');
    std::string hostPort = rest.substr(0, slash);
    std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
    std::size_t colon = hostPort.rfind(':');
    std::string host = hostPort.substr(0, colon);
    std::string port = colon == std::string::npos ? "80" : hostPort.substr(colon + 1);

    asio::ip::tcp::resolver resolver(impl_->io);
    beast::error_code ec;
    auto endpoints = resolver.resolve(host, port, ec);
    if (!ec)
        ec = impl_->runStep([&](auto handler) {
            beast::get_lowest_layer(impl_->ws).async_connect(endpoints, std::move(handler));
        });
    if (!ec) {
        impl_->ws.read_message_max(1u << 30);
        ec = impl_->runStep(
            [&](auto handler) { impl_->ws.async_handshake(hostPort, path, std::move(handler)); });
    }
    if (ec)
        throw TargetClosed("cannot connect to the tab at " + webSocketUrl + ": " + ec.message());
}

DevToolsSession::~DevToolsSession() {
    beast::error_code ec;
    beast::get_lowest_layer(impl_->ws).socket().close(ec);
}

Json DevToolsSession::call(const std::string& method, const Json& params) {
    const int64_t id = impl_->nextId++;
    std::string message = Json{{"id", id}, {"method", method}, {"params", params}}.dump();
    beast::error_code ec = impl_->runStep(
        [&](auto handler) { impl_->ws.async_write(asio::buffer(message), std::move(handler)); });
    if (ec)
        throw TargetClosed("the tab went away (" + ec.message() + ")");
    for (;;) {
        beast::flat_buffer buffer;
        ec =
            impl_->runStep([&](auto handler) { impl_->ws.async_read(buffer, std::move(handler)); });
        if (ec == beast::error::timeout)
            throw DevToolsError(method + ": the browser did not answer in time");
        if (ec)
            throw TargetClosed("the tab went away (" + ec.message() + ")");
        Json answer = Json::parse(beast::buffers_to_string(buffer.data()), nullptr, false);
        if (!answer.is_object())
            continue;
        auto idIt = answer.find("id");
        if (idIt == answer.end() || !idIt->is_number_integer() || idIt->get<int64_t>() != id)
            continue;  // an event, or an answer to a command we gave up on
        if (auto error = answer.find("error"); error != answer.end())
            throw DevToolsError(method + ": " + textOf(*error, "message"));
        auto result = answer.find("result");
        return result != answer.end() ? *result : Json::object();
    }
}

}  // namespace vx::chromium
