// Enters files into the WinINet URL cache under the addresses they were "fetched" from, the way a
// browser leaves them there:
//
//   cache-seed URL FILE [URL FILE ...]
//
// Each FILE is copied into a cache file that the cache itself names, then committed under URL
// with the headers of a plain 200 answer; an older entry of that URL is replaced. Every pair is
// checked by looking the address up again. Exit code 0 when all pairs went in, 1 otherwise.

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string extensionOf(const std::string& url) {
    const size_t slash = url.find_last_of('/');
    const size_t dot = url.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = url.substr(dot + 1);
    if (auto q = ext.find_first_of("?#"); q != std::string::npos)
        ext.resize(q);
    return ext;
}

bool readFile(const std::string& path, std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return ok;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

// The local file the cache holds for `url`, or empty when it holds none.
std::string cachedFile(const std::string& url) {
    DWORD size = 0;
    GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size);
    if (size == 0)
        return {};
    std::vector<char> buffer(size);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
    info->dwStructSize = sizeof *info;
    if (!GetUrlCacheEntryInfoA(url.c_str(), info, &size) || !info->lpszLocalFileName)
        return {};
    return info->lpszLocalFileName;
}

bool seed(const std::string& url, const std::string& source) {
    std::string bytes;
    if (!readFile(source, bytes)) {
        std::fprintf(stderr, "cache-seed: cannot read %s (error %lu)\n", source.c_str(),
                     GetLastError());
        return false;
    }
    // An entry left from an earlier run would otherwise keep its old file.
    DeleteUrlCacheEntryA(url.c_str());

    const std::string ext = extensionOf(url);
    char localName[MAX_PATH] = {};
    if (!CreateUrlCacheEntryA(url.c_str(), static_cast<DWORD>(bytes.size()),
                              ext.empty() ? nullptr : ext.c_str(), localName, 0)) {
        std::fprintf(stderr, "cache-seed: no cache file for %s (error %lu)\n", url.c_str(),
                     GetLastError());
        return false;
    }
    if (!writeFile(localName, bytes)) {
        std::fprintf(stderr, "cache-seed: cannot write %s (error %lu)\n", localName,
                     GetLastError());
        DeleteFileA(localName);
        return false;
    }
    const std::string headers =
        "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(bytes.size()) + "\r\n\r\n";
    FILETIME never{};
    if (!CommitUrlCacheEntryA(url.c_str(), localName, never, never, NORMAL_CACHE_ENTRY,
                              reinterpret_cast<BYTE*>(const_cast<char*>(headers.c_str())),
                              static_cast<DWORD>(headers.size()),
                              ext.empty() ? nullptr : ext.c_str(), nullptr)) {
        std::fprintf(stderr, "cache-seed: cannot commit %s (error %lu)\n", url.c_str(),
                     GetLastError());
        DeleteFileA(localName);
        return false;
    }
    const std::string found = cachedFile(url);
    if (found.empty()) {
        std::fprintf(stderr, "cache-seed: %s is not found in the cache after committing it\n",
                     url.c_str());
        return false;
    }
    std::printf("cached %s (%zu bytes) as %s\n", url.c_str(), bytes.size(), found.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (argc - 1) % 2 != 0) {
        std::fprintf(stderr, "usage: cache-seed URL FILE [URL FILE ...]\n");
        return 2;
    }
    bool ok = true;
    for (int i = 1; i + 1 < argc; i += 2)
        ok = seed(argv[i], argv[i + 1]) && ok;
    std::fflush(stdout);
    return ok ? 0 : 1;
}
