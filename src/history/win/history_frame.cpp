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
constexpr DWORD kToolBarStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD kStatusBarStyle = WS_CHILD | WS_VISIBLE;
constexpr int kTreeWidth = 200;
}  // namespace

CHistoryFrame::CHistoryFrame(std::unique_ptr<ui::WindowObject>* framePointer,
                             InstallEnvironment& environment, FileSystem& files)
    : framePointer_(framePointer),
      environment_(environment),
      files_(files),
      treeView_(environment, files),
      detailView_(files) {}

CHistoryFrame::~CHistoryFrame() {
    // The window and its panes go while every part of this object still exists.
    destroyWindow();
    if (bigIcon_)
        DestroyIcon(bigIcon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
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
    if (!toolBar_.create(hwnd_, IDC_HISTORY_TOOLBAR, kToolBarStyle) ||
        !toolBar_.loadToolBar(IDR_HISTORY_FRAME))
        return false;
    if (!statusBar_.create(hwnd_, kStatusBarId, kStatusBarStyle) ||
        !statusBar_.setIndicators({ui::StatusBar::kMessagePane, ui::StatusBar::kCapsLock,
                                   ui::StatusBar::kNumLock, ui::StatusBar::kScrollLock}))
        return false;
    setToolBar(&toolBar_);
    setStatusBar(&statusBar_);
    statusBar_.setMessage(ui::loadString(kIdleMessage));

    ui::setWindowText(hwnd_, ui::loadString(IDS_HISTORY_TITLE));
    bigIcon_ = static_cast<HICON>(LoadImageA(ui::resourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                             IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(
        LoadImageA(ui::resourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
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

void CHistoryFrame::OnClose() {
    if (framePointer_ && framePointer_->get() == this) {
        // The application no longer knows this window; the object goes with it.
        framePointer_->release();
        ownsItself_ = true;
    }
    destroyWindow();
}

void CHistoryFrame::windowDetached() noexcept {
    if (ownsItself_)
        delete this;
}

CHistoryFrame* showHistoryFrame(std::unique_ptr<ui::WindowObject>& framePointer,
                                InstallEnvironment& environment, FileSystem& files) {
    if (framePointer && framePointer->hasWindow() && IsWindow(framePointer->hwnd())) {
        auto* open = dynamic_cast<CHistoryFrame*>(framePointer.get());
        if (open) {
            open->bringForward();
            return open;
        }
    }
    auto frame = std::make_unique<CHistoryFrame>(&framePointer, environment, files);
    if (!frame->LoadFrame(IDR_HISTORY_FRAME, WS_OVERLAPPEDWINDOW, nullptr))
        return nullptr;
    framePointer = std::move(frame);
    auto* shown = static_cast<CHistoryFrame*>(framePointer.get());
    shown->bringForward();
    return shown;
}

CHistoryFrame* showHistoryFrame(std::unique_ptr<ui::WindowObject>& framePointer) {
    return showHistoryFrame(framePointer, platformInstallEnvironment(), platformFileSystem());
}

}  // namespace vx
