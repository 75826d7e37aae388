#include "ui/dialog.h"

#include "ui/module.h"
#include "ui/text.h"

namespace ui {

namespace {

// Marks windows bound to a DialogBase, so the object pointer in DWLP_USER is trusted only for
// them (any dialog keeps something in DWLP_USER).
constexpr char kBoundProperty[] = "ui.DialogBase";

}  // namespace

DialogBase::~DialogBase() {
    if (!hwnd_)
        return;
    HWND window = hwnd_;
    unbindWindow();
    DestroyWindow(window);
}

DialogBase* DialogBase::fromWindow(HWND window) {
    return window ? boundObject(window) : nullptr;
}

DialogBase* DialogBase::boundObject(HWND window) {
    auto* object = reinterpret_cast<DialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!object || GetPropA(window, kBoundProperty) != object)
        return nullptr;
    return object;
}

void DialogBase::bindWindow(HWND window) {
    hwnd_ = window;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
    SetPropA(window, kBoundProperty, this);
}

void DialogBase::unbindWindow() {
    if (!hwnd_)
        return;
    RemovePropA(hwnd_, kBoundProperty);
    SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
    hwnd_ = nullptr;
}

bool DialogBase::preTranslateMessage(MSG& msg) {
    return hwnd_ && IsDialogMessageA(hwnd_, &msg) != 0;
}

bool DialogBase::OnCommand(int, int, HWND) {
    return false;
}
bool DialogBase::OnNotify(NMHDR&, LRESULT&) {
    return false;
}
bool DialogBase::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

void DialogBase::handlerFailed() noexcept {
    try {
        if (hwnd_)
            close(IDABORT);
    } catch (...) {
    }
}

INT_PTR DialogBase::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    INT_PTR result = FALSE;
    try {
        result = dispatch(msg, wp, lp);
    } catch (...) {
        result = FALSE;
        if (msg != WM_NCDESTROY && msg != WM_DESTROY)
            handlerFailed();
    }
    if (msg == WM_NCDESTROY) {
        unbindWindow();
        windowDetached();
    }
    return result;
}

INT_PTR DialogBase::dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    switch (msg) {
        case WM_INITDIALOG:
            return OnInitDialog() ? TRUE : FALSE;
        case WM_COMMAND: {
            int id = LOWORD(wp);
            int code = HIWORD(wp);
            if (OnCommand(id, code, reinterpret_cast<HWND>(lp)))
                return TRUE;
            if (code == BN_CLICKED && id == IDOK) {
                OnOK();
                return TRUE;
            }
            if (code == BN_CLICKED && id == IDCANCEL) {
                OnCancel();
                return TRUE;
            }
            return FALSE;
        }
        case WM_NOTIFY:
            if (lp && OnNotify(*reinterpret_cast<NMHDR*>(lp), result))
                return answer(msg, result);
            return FALSE;
        default:
            if (OnMessage(msg, wp, lp, result))
                return answer(msg, result);
            return FALSE;
    }
}

// A dialog procedure returns the answer of these messages itself; for all others it puts the
// answer into DWLP_MSGRESULT and returns TRUE.
INT_PTR DialogBase::answer(UINT msg, LRESULT result) {
    switch (msg) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
            return static_cast<INT_PTR>(result);
        default:
            if (hwnd_)
                SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
            return TRUE;
    }
}

HWND DialogBase::item(int id) const {
    return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr;
}

std::string DialogBase::itemText(int id) const {
    return windowText(item(id));
}

void DialogBase::setItemText(int id, const std::string& text) const {
    setWindowText(item(id), text);
}

bool DialogBase::isChecked(int id) const {
    return hwnd_ && IsDlgButtonChecked(hwnd_, id) == BST_CHECKED;
}

void DialogBase::setChecked(int id, bool checked) const {
    if (hwnd_)
        CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool DialogBase::isItemEnabled(int id) const {
    HWND control = item(id);
    return control && IsWindowEnabled(control);
}

void DialogBase::enableItem(int id, bool enable) const {
    if (HWND control = item(id))
        EnableWindow(control, enable ? TRUE : FALSE);
}

void DialogBase::showItem(int id, bool show) const {
    if (HWND control = item(id))
        ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

LRESULT DialogBase::sendItemMessage(int id, UINT msg, WPARAM wp, LPARAM lp) const {
    return hwnd_ ? SendDlgItemMessageA(hwnd_, id, msg, wp, lp) : 0;
}

std::string DialogBase::text() const {
    return windowText(hwnd_);
}

void DialogBase::setText(const std::string& text) const {
    setWindowText(hwnd_, text);
}

INT_PTR CALLBACK Dialog::dialogProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    DialogBase* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<DialogBase*>(lp);
        if (self)
            static_cast<Dialog*>(self)->bindWindow(window);
    } else {
        self = boundObject(window);
    }
    if (!self)
        return FALSE;
    return static_cast<Dialog*>(self)->handleMessage(msg, wp, lp);
}

HWND Dialog::createWindow(HWND owner) {
    auto param = reinterpret_cast<LPARAM>(static_cast<DialogBase*>(this));
    if (template_) {
        return CreateDialogIndirectParamA(resourceModule(), template_, owner, &Dialog::dialogProc,
                                          param);
    }
    return CreateDialogParamA(resourceModule(), MAKEINTRESOURCEA(templateId_), owner,
                              &Dialog::dialogProc, param);
}

INT_PTR Dialog::DoModal(HWND owner) {
    if (hwnd_)
        return -1;
    HWND ownerRoot = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    modal_ = true;
    ended_ = false;
    result_ = -1;
    if (!createWindow(ownerRoot) || !hwnd_) {
        modal_ = false;
        return -1;
    }
    bool ownerDisabled = false;
    if (ownerRoot && IsWindowEnabled(ownerRoot)) {
        EnableWindow(ownerRoot, FALSE);
        ownerDisabled = true;
    }
    // A modal dialog shows itself whether or not its template says so.
    if (!ended_ && hwnd_ && !IsWindowVisible(hwnd_))
        ShowWindow(hwnd_, SW_SHOWNORMAL);

    MSG msg;
    while (!ended_ && hwnd_) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // The quit belongs to the outer loop, which ends after this dialog.
            PostQuitMessage(static_cast<int>(msg.wParam));
            result_ = -1;
            break;
        }
        if (!ui::preTranslateMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    // The owner is enabled again before the dialog goes, so that the activation returns to it.
    if (ownerDisabled)
        EnableWindow(ownerRoot, TRUE);
    if (hwnd_)
        DestroyWindow(hwnd_);
    modal_ = false;
    return result_;
}

bool Dialog::Create(HWND owner) {
    if (hwnd_)
        return false;
    modal_ = false;
    ended_ = false;
    createWindow(owner);
    return hwnd_ != nullptr;
}

void Dialog::endDialog(int result) {
    if (!hwnd_)
        return;
    if (modal_) {
        result_ = result;
        ended_ = true;
        // Wakes the loop when the request did not come from a message it dispatched.
        PostMessageA(hwnd_, WM_NULL, 0, 0);
    } else {
        DestroyWindow(hwnd_);
    }
}

bool preTranslateMessage(MSG& msg) {
    if (!msg.hwnd)
        return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    DialogBase* dialog = DialogBase::fromWindow(root);
    return dialog && dialog->preTranslateMessage(msg);
}

}  // namespace ui
