// Opening the history window under Wine on a large history: from "View &History" (a new
// CHistoryFrame) to the tree filled and the list showing the days, against the bare Load of the
// same day files.
//
//   history_window --folder DIR [--days D] [--records N]
//
// Writes D day files holding N records into DIR\History unless that folder already holds files,
// then prints "records=N load_ms=T open_ms=T rebuild_ms=T close_ms=T tree_items=K" and ends with 0
// when the tree holds the root, every day and every page, after opening and after a rebuild.

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/file_system.h"
#include "base/install_folder.h"
#include "history/history_store.h"
#include "history/win/history_frame.h"

namespace {

class FolderInstall final : public vx::InstallEnvironment {
  public:
    explicit FolderInstall(std::string folder) : folder_(std::move(folder)) {}
    std::string installFolder() override { return folder_; }
    std::optional<std::string> registryInstallPath() override { return std::nullopt; }

  private:
    std::string folder_;
};

void writeHistory(const std::string& folder, long days, long records) {
    vx::FileSystem& files = vx::platformFileSystem();
    files.createFolder(folder);
    if (!files.listFolder(folder).empty())
        return;
    const vx::HistoryTime firstDay = 1072958400;  // 2004-01-01 12:00 UTC
    long n = 0;
    for (long d = 0; d < days; ++d) {
        std::string text;
        const long inDay = records / days + (d < records % days ? 1 : 0);
        for (long r = 0; r < inDay; ++r, ++n) {
            vx::HistoryRecord record;
            record.time = firstDay + d * 86400 + r;
            record.pageAddress = "http://site" + std::to_string(n % 997) +
                                 ".example/gallery/page" + std::to_string(n) + ".html";
            vx::HistoryItem item;
            item.address = "http://img.example/photos/" + std::to_string(n) + ".jpg";
            item.localPath = "C:\\Pictures\\picture_" + std::to_string(n) + ".jpg";
            item.downloaded = 1;
            record.items.push_back(item);
            text += vx::CHistoryStore::recordText(record);
        }
        files.writeFile(folder + "\\" + vx::dayFileName(firstDay + d * 86400), text);
    }
}

int countItems(HWND tree, HTREEITEM item) {
    int count = 0;
    for (; item; item = reinterpret_cast<HTREEITEM>(
                     SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item))))
        count += 1 + countItems(tree, reinterpret_cast<HTREEITEM>(SendMessageA(
                         tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))));
    return count;
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    long days = 1000;
    long records = 200000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--folder")
            folder = argv[i + 1];
        else if (a == "--days")
            days = std::atol(argv[i + 1]);
        else if (a == "--records")
            records = std::atol(argv[i + 1]);
    }
    if (folder.empty() || days <= 0 || records < 0) {
        std::fprintf(stderr, "usage: history_window --folder DIR [--days D] [--records N]\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    FolderInstall install(folder + "\\");
    writeHistory(folder + "\\History", days, records);

    auto start = std::chrono::steady_clock::now();
    vx::CHistoryStore bare(install, vx::platformFileSystem());
    bare.Load();
    const double loadMs = msSince(start);

    std::unique_ptr<ui::WindowObject> slot;
    start = std::chrono::steady_clock::now();
    vx::CHistoryFrame* frame = vx::showHistoryFrame(slot, install, vx::platformFileSystem());
    const double openMs = msSince(start);
    if (!frame) {
        std::fprintf(stderr, "the history window could not be created\n");
        return 1;
    }
    HWND tree = frame->treeView().tree();
    const int items = countItems(
        tree, reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)));
    const long wanted = 1 + static_cast<long>(bare.dayTitles().size()) +
                        static_cast<long>(bare.records().size());
    // Refilling a full tree (what "&Clear Download History" and a reload do) deletes every item
    // first; closing the window deletes them too.
    start = std::chrono::steady_clock::now();
    frame->treeView().Rebuild();
    const double rebuildMs = msSince(start);
    const int rebuilt = countItems(
        tree, reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)));
    start = std::chrono::steady_clock::now();
    slot.reset();
    const double closeMs = msSince(start);
    std::printf(
        "records=%zu load_ms=%.0f open_ms=%.0f rebuild_ms=%.0f close_ms=%.0f tree_items=%d\n",
        bare.records().size(), loadMs, openMs, rebuildMs, closeMs, items);
    return items == wanted && rebuilt == wanted ? 0 : 1;
}
