// A small HTTP/1.0 file server for the demo: answers GET and HEAD for the files under one folder,
// on 127.0.0.1 only, with a Content-Length and the connection closed after each answer.
//
//   demo-server --root DIR [--port N] [--port-file FILE] [--log FILE] [--chunk-delay-ms N]
//
// Port 0 (the default) takes any free port; the port in use is written to --port-file once the
// server listens, so a script can wait for that file. --chunk-delay-ms slows every 4 KB of a body
// down so that a transfer can be watched. SIGINT or SIGTERM end the server.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int) {
    g_stop = true;
}

struct Options {
    std::string root;
    int port = 0;
    std::string portFile;
    std::string logFile;
    int chunkDelayMs = 0;
};

std::mutex g_logMutex;

void logLine(const Options& options, const std::string& line) {
    if (options.logFile.empty())
        return;
    std::lock_guard<std::mutex> lock(g_logMutex);
    std::ofstream out(options.logFile, std::ios::app);
    out << line << '\n';
}

bool sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The request path decoded, without query; empty when it is not a plain path under the root.
std::string localPath(std::string target) {
    if (auto q = target.find_first_of("?#"); q != std::string::npos)
        target.resize(q);
    std::string path;
    for (size_t i = 0; i < target.size(); ++i) {
        if (target[i] == '%' && i + 2 < target.size() && hexValue(target[i + 1]) >= 0 &&
            hexValue(target[i + 2]) >= 0) {
            path += static_cast<char>(hexValue(target[i + 1]) * 16 + hexValue(target[i + 2]));
            i += 2;
        } else {
            path += target[i];
        }
    }
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos)
        return {};
    // No way out of the root.
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (path.compare(start, end - start, "..") == 0)
            return {};
        start = end + 1;
    }
    return path;
}

const char* contentType(const std::string& path) {
    auto dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "png")
        return "image/png";
    if (ext == "jpg" || ext == "jpeg")
        return "image/jpeg";
    if (ext == "gif")
        return "image/gif";
    if (ext == "bmp")
        return "image/bmp";
    if (ext == "mp3")
        return "audio/mpeg";
    if (ext == "swf")
        return "application/x-shockwave-flash";
    if (ext == "html" || ext == "htm")
        return "text/html";
    return "application/octet-stream";
}

void answerError(int fd, int code, const char* reason) {
    std::string body = std::to_string(code) + " " + reason + "\n";
    std::string head =
        "HTTP/1.0 " + std::to_string(code) + " " + reason +
        "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n";
    sendAll(fd, head.data(), head.size()) && sendAll(fd, body.data(), body.size());
}

void serve(int fd, const Options& options) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos &&
           request.find("\n\n") == std::string::npos) {
        if (request.size() > 16384) {
            answerError(fd, 400, "Bad Request");
            return;
        }
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        request.append(buffer, static_cast<size_t>(n));
    }
    const std::string line = request.substr(0, request.find_first_of("\r\n"));
    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp1 == std::string::npos) {
        answerError(fd, 400, "Bad Request");
        return;
    }
    const std::string method = line.substr(0, sp1);
    const std::string target = line.substr(sp1 + 1, sp2 == std::string::npos ? sp2 : sp2 - sp1 - 1);
    if (method != "GET" && method != "HEAD") {
        answerError(fd, 501, "Not Implemented");
        return;
    }
    const std::string path = localPath(target);
    struct stat info {};
    const std::string file = options.root + path;
    if (path.empty() || stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        logLine(options, "404 " + target);
        answerError(fd, 404, "Not Found");
        return;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        answerError(fd, 403, "Forbidden");
        return;
    }
    logLine(options, "200 " + target);
    std::string head = "HTTP/1.0 200 OK\r\nContent-Type: " + std::string(contentType(path)) +
                       "\r\nContent-Length: " + std::to_string(info.st_size) +
                       "\r\nConnection: close\r\n\r\n";
    if (!sendAll(fd, head.data(), head.size()) || method == "HEAD")
        return;
    while (in && !g_stop) {
        in.read(buffer, sizeof buffer);
        const auto got = static_cast<size_t>(in.gcount());
        if (got == 0 || !sendAll(fd, buffer, got))
            return;
        if (options.chunkDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options.chunkDelayMs));
    }
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (arg == "--root") {
            options.root = value;
        } else if (arg == "--port") {
            options.port = std::atoi(value.c_str());
        } else if (arg == "--port-file") {
            options.portFile = value;
        } else if (arg == "--log") {
            options.logFile = value;
        } else if (arg == "--chunk-delay-ms") {
            options.chunkDelayMs = std::atoi(value.c_str());
        } else {
            return false;
        }
    }
    while (options.root.size() > 1 && options.root.back() == '/')
        options.root.pop_back();
    return !options.root.empty() && options.port >= 0 && options.port < 65536;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: demo-server --root DIR [--port N] [--port-file FILE] [--log FILE] "
                     "[--chunk-delay-ms N]\n");
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    if (listener < 0) {
        std::perror("demo-server: socket");
        return 1;
    }
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(options.port));
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0) {
        std::perror("demo-server: bind");
        close(listener);
        return 1;
    }
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);

    if (!options.portFile.empty()) {
        const std::string temporary = options.portFile + ".tmp";
        {
            std::ofstream out(temporary, std::ios::trunc);
            out << port << '\n';
        }
        std::rename(temporary.c_str(), options.portFile.c_str());
    }
    std::printf("demo-server: serving %s on http://127.0.0.1:%d/\n", options.root.c_str(), port);
    std::fflush(stdout);

    std::vector<std::thread> workers;
    while (!g_stop) {
        pollfd waiting{listener, POLLIN, 0};
        const int ready = poll(&waiting, 1, 200);
        if (ready <= 0)
            continue;
        const int fd = accept(listener, nullptr, nullptr);
        if (fd < 0)
            continue;
        workers.emplace_back([fd, &options] {
            serve(fd, options);
            shutdown(fd, SHUT_WR);
            close(fd);
        });
    }
    close(listener);
    for (std::thread& t : workers)
        t.join();
    return 0;
}
