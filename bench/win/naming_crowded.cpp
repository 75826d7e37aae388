// Naming and saving under Wine into a folder that may already be crowded: the session namer over
// the platform's local files, as the file pass uses them.
//
//   naming_crowded --folder DIR --files N [--name NAME | --plain]
//
// Saves N new files of 1..N bytes into DIR. With --name, every file is named NAME (one name
// family, numbered variants); without it, each file has a name of its own (pic00000.jpg, ...).
// With --plain, the files are created under their own names without the namer: the platform's
// own cost of creating a file in that folder.
// Prints "files=N ms=T" and ends with 0 when every file was saved as a new file.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/file_system.h"
#include "download/naming.h"

int main(int argc, char** argv) {
    std::string folder;
    std::string family;
    int count = 0;
    bool plain = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--plain")
            plain = true;
        else if (i + 1 >= argc)
            break;
        else if (a == "--folder")
            folder = argv[++i];
        else if (a == "--files")
            count = std::atoi(argv[++i]);
        else if (a == "--name")
            family = argv[++i];
    }
    if (folder.empty() || count <= 0) {
        std::fprintf(stderr, "usage: naming_crowded --folder DIR --files N [--name NAME]\n");
        return 2;
    }
    vx::FileSystem& files = vx::platformFileSystem();
    std::string bytes(static_cast<size_t>(count), 'v');
    int saved = 0;
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    vx::UniqueNamer namer(files);
    for (int i = 0; i < count; ++i) {
        char own[32];
        std::snprintf(own, sizeof own, "pic%05d.jpg", i);
        const std::string name = family.empty() ? std::string(own) : family;
        const uint64_t size = static_cast<uint64_t>(i) + 1;
        if (plain) {
            const std::string path = folder + "\\" + name;
            if (files.writeNewFile(path, bytes.data(), size) == vx::CreateOutcome::Created)
                ++saved;
            continue;
        }
        vx::SaveResult r = namer.save(folder, name, size, [&](const std::string& path) {
            return files.writeNewFile(path, bytes.data(), size);
        });
        if (r.outcome == vx::SaveOutcome::Saved)
            ++saved;
    }
    QueryPerformanceCounter(&end);
    const double ms = 1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    std::printf("files=%d ms=%.1f\n", saved, ms);
    std::fflush(stdout);
    return saved == count ? 0 : 1;
}
