#pragma once
// An https front for the loopback server, native builds only: each connection is taken over TLS
// with the test certificate (tests/fixtures/tls), its request is passed to the plain server and
// the answer comes back until the server closes. The server's request log stays the one record
// of what was asked for, over either scheme.

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vx::test {

class TlsRelay {
  public:
    TlsRelay(uint16_t plainPort, const std::string& certificateFile, const std::string& keyFile)
        : plainPort_(plainPort), tls_(boost::asio::ssl::context::tls_server) {
        namespace asio = boost::asio;
        tls_.use_certificate_chain_file(certificateFile);
        tls_.use_private_key_file(keyFile, asio::ssl::context::pem);
        acceptor_.open(asio::ip::tcp::v4());
        acceptor_.set_option(asio::socket_base::reuse_address(true));
        acceptor_.bind({asio::ip::make_address("127.0.0.1"), 0});
        acceptor_.listen();
        port_ = acceptor_.local_endpoint().port();
        acceptorThread_ = std::thread([this] { acceptLoop(); });
    }
    ~TlsRelay() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            // Closing alone does not wake a blocked accept on Linux; shutting it down does.
            ::shutdown(acceptor_.native_handle(), SHUT_RDWR);
            for (auto& socket : open_)
                ::shutdown(socket->native_handle(), SHUT_RDWR);
        }
        acceptorThread_.join();
        for (std::thread& t : workers_)
            t.join();
    }
    TlsRelay(const TlsRelay&) = delete;
    TlsRelay& operator=(const TlsRelay&) = delete;

    uint16_t port() const { return port_; }
    std::string url(const std::string& target) const {
        return "https://127.0.0.1:" + std::to_string(port_) + target;
    }

  private:
    using Tcp = boost::asio::ip::tcp;

    void acceptLoop() {
        for (;;) {
            auto client = std::make_shared<Tcp::socket>(io_);
            boost::system::error_code ec;
            acceptor_.accept(*client, ec);
            std::lock_guard lock(mutex_);
            if (ec || stopping_) {
                acceptor_.close(ec);
                return;
            }
            open_.push_back(client);
            workers_.emplace_back([this, client] { relay(client); });
        }
    }

    void relay(std::shared_ptr<Tcp::socket> client) {
        namespace asio = boost::asio;
        boost::system::error_code ec;
        asio::ssl::stream<Tcp::socket&> secure(*client, tls_);
        secure.handshake(asio::ssl::stream_base::server, ec);
        auto plain = std::make_shared<Tcp::socket>(io_);
        if (!ec) {
            std::lock_guard lock(mutex_);
            open_.push_back(plain);
        }
        if (!ec)
            plain->connect({asio::ip::make_address("127.0.0.1"), plainPort_}, ec);
        // One request per connection: its head, passed on, then the whole answer back.
        std::string request;
        char buffer[16384];
        while (!ec && request.find("\r\n\r\n") == std::string::npos) {
            std::size_t n = secure.read_some(asio::buffer(buffer), ec);
            request.append(buffer, n);
        }
        if (!ec)
            asio::write(*plain, asio::buffer(request), ec);
        while (!ec) {
            std::size_t n = plain->read_some(asio::buffer(buffer), ec);
            if (n > 0) {
                boost::system::error_code wec;
                asio::write(secure, asio::buffer(buffer, n), wec);
                if (wec)
                    break;
            }
        }
        secure.shutdown(ec);
        std::lock_guard lock(mutex_);
        open_.remove(plain);
        open_.remove(client);
    }

    uint16_t plainPort_;
    uint16_t port_ = 0;
    boost::asio::io_context io_;
    boost::asio::ssl::context tls_;
    Tcp::acceptor acceptor_{io_};
    std::mutex mutex_;
    bool stopping_ = false;
    std::list<std::shared_ptr<Tcp::socket>> open_;
    std::list<std::thread> workers_;
    std::thread acceptorThread_;
};

}  // namespace vx::test
