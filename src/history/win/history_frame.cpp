#include "history/win/history_frame.h"

#include "base/file_system.h"
#include "base/install_folder.h"
#include "history/history_view.h"
#include "resources/resource.h"
#include "ui/message_box.h"
#include "ui/module.h"
#include "ui/text.h"

namespace vx {

namespace {
constexpr int kTreeWidth = 200;
}  // namespace

CHistoryFrame::CHistoryFrame(std::unique_ptr<ui::WindowObject>* framePointer,
                             InstallEnvironment& environment, FileSystem& files)
    : HeldFrame(framePointer),
      environment_(environment),
      files_(files),
      treeView_(environment, files),
      detailView_(files) {}

CHistoryFrame::~CHistoryFrame() {
    // The window and its panes go while every part of this object still exists.
    destroyWindow();
}

bool CHistoryFrame::OnCreateClient(CREATESTRUCTA&) {
    if (!splitter_.CreateStatic(hwnd_, 1, 2, WS_CHILD | WS_VISIBLE, kFirstPaneId))
        return false;
    // The tree first: the list reads the history the tree has loaded.
    if (!splitter_.CreateView(0, 0, treeView_, SIZE{kTreeWidth, 0}) ||
        !splitter_.CreateView(0, 1, detailView_, SIZE{0, 0}))
        return false;
    setClientWindow(splitter_.hwnd());
    return true;
}

bool CHistoryFrame::OnCreate(CREATESTRUCTA& create) {
    if (!FrameWindow::OnCreate(create))
        return false;
    if (!createBars(toolBar_, IDC_HISTORY_TOOLBAR, IDR_HISTORY_FRAME, statusBar_))
        return false;
    ui::setWindowText(hwnd_, ui::loadString(IDS_HISTORY_TITLE));
    setIcons(IDR_MAINFRAME);
    RecalcLayout();
    return true;
}

void CHistoryFrame::clearHistory() {
    deleteDayFiles(environment_, files_);
    ui::appMessageBox(ui::loadString(IDS_HISTORY_REMOVED), MB_OK, hwnd_);
    if (splitter_.paneView(0, 0)) {
        treeView_.store().Clear();
        treeView_.Rebuild();
    }
    if (HWND detail = splitter_.GetPane(0, 1)) {
        detailView_.resetColumns(false);
        SendMessageA(detail, WM_HISTORY_SHOWLEVEL, 0, 0);
    }
}

bool CHistoryFrame::OnCommand(int id, int, HWND) {
    switch (id) {
        case ID_CLEAR_HISTORY:
            clearHistory();
            return true;
        case ID_APP_EXIT:
            OnClose();
            return true;
        default:
            return false;
    }
}

CHistoryFrame* showHistoryFrame(std::unique_ptr<ui::WindowObject>& framePointer,
                                InstallEnvironment& environment, FileSystem& files) {
    return ui::showHeldFrame<CHistoryFrame>(framePointer, IDR_HISTORY_FRAME, [&] {
        return std::make_unique<CHistoryFrame>(&framePointer, environment, files);
    });
}

CHistoryFrame* showHistoryFrame(std::unique_ptr<ui::WindowObject>& framePointer) {
    return showHistoryFrame(framePointer, platformInstallEnvironment(), platformFileSystem());
}

}  // namespace vx
