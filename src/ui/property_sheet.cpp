#include "ui/property_sheet.h"

#include "ui/module.h"

namespace ui {

namespace {

constexpr char kSheetProperty[] = "ui.PropSheet";

// The sheet whose window the creation hook of this thread is waiting for.
thread_local PropSheet* tlsCreatingSheet = nullptr;
thread_local HHOOK tlsCreationHook = nullptr;

bool isDialogClass(HWND window) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpA(name, "#32770") == 0;
}

}  // namespace

PropertyPage::PropertyPage(UINT templateId, std::string title)
    : templateId_(templateId), title_(std::move(title)) {}

PropertyPage::PropertyPage(const DLGTEMPLATE* dialogTemplate, std::string title)
    : template_(dialogTemplate), title_(std::move(title)) {}

HWND PropertyPage::sheetWindow() const {
    return hwnd_ ? GetParent(hwnd_) : nullptr;
}

void PropertyPage::SetModified(bool modified) {
    modified_ = modified;
    if (HWND sheet = sheetWindow())
        SendMessageA(sheet, modified ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(hwnd_),
                     0);
}

PROPSHEETPAGEA PropertyPage::description() {
    PROPSHEETPAGEA page{};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = resourceModule();
    if (template_) {
        page.dwFlags |= PSP_DLGINDIRECT;
        page.pResource = template_;
    } else {
        page.pszTemplate = MAKEINTRESOURCEA(templateId_);
    }
    page.pfnDlgProc = &PropertyPage::dialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    if (!title_.empty()) {
        page.dwFlags |= PSP_USETITLE;
        page.pszTitle = title_.c_str();
    }
    if (icon_) {
        page.dwFlags |= PSP_USEHICON;
        page.hIcon = icon_;
    }
    if (help_)
        page.dwFlags |= PSP_HASHELP;
    return page;
}

bool PropertyPage::OnControlNotify(NMHDR&, LRESULT&) {
    return false;
}

bool PropertyPage::OnNotify(NMHDR& header, LRESULT& result) {
    HWND sheet = sheetWindow();
    if (!sheet || header.hwndFrom != sheet)
        return OnControlNotify(header, result);
    switch (header.code) {
        case PSN_SETACTIVE: {
            bool accepted = OnSetActive();
            result = accepted ? 0 : -1;
            if (accepted) {
                if (PropSheet* owner = PropSheet::fromWindow(sheet))
                    owner->pageActivating(*this);
            }
            return true;
        }
        case PSN_KILLACTIVE:
            result = OnKillActive() ? FALSE : TRUE;
            return true;
        case PSN_APPLY:
            if (OnApply()) {
                modified_ = false;
                result = PSNRET_NOERROR;
            } else {
                result = PSNRET_INVALID_NOCHANGEPAGE;
            }
            return true;
        case PSN_RESET:
            OnReset();
            return true;
        default:
            return OnControlNotify(header, result);
    }
}

void PropertyPage::close(int) {
    if (HWND sheet = sheetWindow())
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

INT_PTR CALLBACK PropertyPage::dialogProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    DialogBase* self = nullptr;
    if (msg == WM_INITDIALOG) {
        // The sheet hands over its own copy of the description; ours is in its lParam.
        auto* page = reinterpret_cast<const PROPSHEETPAGEA*>(lp);
        self = page ? reinterpret_cast<PropertyPage*>(page->lParam) : nullptr;
        if (self)
            static_cast<PropertyPage*>(self)->bindWindow(window);
    } else {
        self = boundObject(window);
    }
    if (!self)
        return FALSE;
    return static_cast<PropertyPage*>(self)->handleMessage(msg, wp, lp);
}

PropSheet::PropSheet(std::string caption, HWND parent, UINT selectPage)
    : caption_(std::move(caption)), parent_(parent), startPage_(selectPage) {}

PropSheet::~PropSheet() {
    destroyWindow();
}

bool PropSheet::AddPage(PropertyPage& page) {
    if (GetPageIndex(page) >= 0)
        return false;
    if (hwnd_) {
        PROPSHEETPAGEA description = page.description();
        HPROPSHEETPAGE handle = CreatePropertySheetPageA(&description);
        if (!handle)
            return false;
        pages_.push_back(&page);
        if (!SendMessageA(hwnd_, PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(handle))) {
            pages_.pop_back();
            DestroyPropertySheetPage(handle);
            return false;
        }
        return true;
    }
    pages_.push_back(&page);
    return true;
}

bool PropSheet::RemovePage(int index) {
    if (index < 0 || index >= GetPageCount())
        return false;
    pages_.erase(pages_.begin() + index);
    if (hwnd_) {
        SendMessageA(hwnd_, PSM_REMOVEPAGE, index, 0);
    } else if (startPage_ > static_cast<UINT>(index) && startPage_ > 0) {
        --startPage_;
    }
    return true;
}

bool PropSheet::RemovePage(PropertyPage& page) {
    return RemovePage(GetPageIndex(page));
}

PropertyPage* PropSheet::GetPage(int index) const {
    return index >= 0 && index < GetPageCount() ? pages_[index] : nullptr;
}

int PropSheet::GetPageIndex(const PropertyPage& page) const {
    for (int i = 0; i < GetPageCount(); ++i) {
        if (pages_[i] == &page)
            return i;
    }
    return -1;
}

int PropSheet::GetActiveIndex() const {
    if (!hwnd_)
        return static_cast<int>(startPage_) < GetPageCount() ? static_cast<int>(startPage_) : -1;
    HWND current = reinterpret_cast<HWND>(SendMessageA(hwnd_, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (!current)
        return -1;
    for (int i = 0; i < GetPageCount(); ++i) {
        if (pages_[i]->hwnd() == current)
            return i;
    }
    return -1;
}

PropertyPage* PropSheet::GetActivePage() const {
    return GetPage(GetActiveIndex());
}

bool PropSheet::SetActivePage(int index) {
    if (index < 0 || index >= GetPageCount())
        return false;
    if (!hwnd_) {
        startPage_ = static_cast<UINT>(index);
        return true;
    }
    return SendMessageA(hwnd_, PSM_SETCURSEL, index, 0) != 0;
}

bool PropSheet::SetActivePage(const PropertyPage& page) {
    return SetActivePage(GetPageIndex(page));
}

HWND PropSheet::createWindow(HWND owner) {
    std::vector<HPROPSHEETPAGE> handles;
    for (PropertyPage* page : pages_) {
        PROPSHEETPAGEA description = page->description();
        HPROPSHEETPAGE handle = CreatePropertySheetPageA(&description);
        if (!handle) {
            for (HPROPSHEETPAGE created : handles)
                DestroyPropertySheetPage(created);
            return nullptr;
        }
        handles.push_back(handle);
    }
    if (handles.empty())
        return nullptr;

    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS | PSH_NOCONTEXTHELP;
    if (help_)
        header.dwFlags |= PSH_HASHELP;
    if (!apply_)
        header.dwFlags |= PSH_NOAPPLYNOW;
    header.hwndParent = owner;
    header.hInstance = resourceModule();
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.nStartPage = startPage_ < handles.size() ? startPage_ : 0;
    header.phpage = handles.data();

    ended_ = false;
    result_ = 0;
    // The sheet window is subclassed the moment it is created, so that its WM_INITDIALOG
    // passes through this object too.
    PropSheet* outerSheet = tlsCreatingSheet;
    HHOOK outerHook = tlsCreationHook;
    tlsCreatingSheet = this;
    tlsCreationHook =
        SetWindowsHookExA(WH_CBT, &PropSheet::creationHook, nullptr, GetCurrentThreadId());
    INT_PTR created = PropertySheetA(&header);
    if (tlsCreationHook)
        UnhookWindowsHookEx(tlsCreationHook);
    tlsCreatingSheet = outerSheet;
    tlsCreationHook = outerHook;

    HWND window = created > 0 ? reinterpret_cast<HWND>(created) : nullptr;
    if (!window || !IsWindow(window)) {
        if (hwnd_)
            detach();
        return nullptr;
    }
    if (!hwnd_) {
        // The hook did not see it (it cannot fail on this thread, but stay correct if it did).
        attach(window);
    }
    return hwnd_;
}

LRESULT CALLBACK PropSheet::creationHook(int code, WPARAM wp, LPARAM lp) {
    HHOOK hook = tlsCreationHook;
    if (code == HCBT_CREATEWND && tlsCreatingSheet) {
        auto window = reinterpret_cast<HWND>(wp);
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lp);
        bool topLevel = create && create->lpcs && !(create->lpcs->style & WS_CHILD);
        if (topLevel && isDialogClass(window)) {
            PropSheet* sheet = tlsCreatingSheet;
            tlsCreatingSheet = nullptr;
            sheet->attach(window);
        }
    }
    return CallNextHookEx(hook, code, wp, lp);
}

void PropSheet::attach(HWND window) {
    hwnd_ = window;
    SetPropA(window, kSheetProperty, this);
    previousProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PropSheet::windowProc)));
}

void PropSheet::detach() {
    if (!hwnd_)
        return;
    if (previousProc_ &&
        GetWindowLongPtrA(hwnd_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&windowProc))
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
    RemovePropA(hwnd_, kSheetProperty);
    hwnd_ = nullptr;
}

PropSheet* PropSheet::fromWindow(HWND window) {
    if (!window)
        return nullptr;
    HWND root = GetAncestor(window, GA_ROOT);
    if (!root)
        return nullptr;
    auto* sheet = static_cast<PropSheet*>(GetPropA(root, kSheetProperty));
    return sheet && sheet->hwnd_ == root ? sheet : nullptr;
}

LRESULT CALLBACK PropSheet::windowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<PropSheet*>(GetPropA(window, kSheetProperty));
    if (!self || self->hwnd_ != window)
        return DefWindowProcA(window, msg, wp, lp);
    return self->handleMessage(msg, wp, lp);
}

LRESULT PropSheet::defaultProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (!hwnd_ || !previousProc_)
        return 0;
    return CallWindowProcA(previousProc_, hwnd_, msg, wp, lp);
}

bool PropSheet::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

void PropSheet::pageActivating(PropertyPage& page) {
    try {
        OnPageActivated(page);
    } catch (...) {
    }
}

void PropSheet::noteEnd() {
    if (ended_ || !hwnd_ || checkingEnd_)
        return;
    checkingEnd_ = true;
    bool pageGone = SendMessageA(hwnd_, PSM_GETCURRENTPAGEHWND, 0, 0) == 0;
    if (pageGone) {
        ended_ = true;
        result_ = SendMessageA(hwnd_, PSM_GETRESULT, 0, 0) > 0 ? IDOK : IDCANCEL;
        // Wakes a modal loop when the end came from a message sent by another thread.
        PostMessageA(hwnd_, WM_NULL, 0, 0);
    }
    checkingEnd_ = false;
}

LRESULT PropSheet::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    try {
        switch (msg) {
            case WM_INITDIALOG:
                OnPreInit();
                result = defaultProc(msg, wp, lp);
                OnInitDialog();
                return result;
            case WM_DESTROY:
                OnDestroy();
                return defaultProc(msg, wp, lp);
            case WM_NCDESTROY:
                result = defaultProc(msg, wp, lp);
                detach();
                return result;
            case PSM_ADDPAGE:
            case PSM_REMOVEPAGE:
                result = defaultProc(msg, wp, lp);
                OnPagesChanged();
                return result;
            default:
                break;
        }
        if (!OnMessage(msg, wp, lp, result))
            result = defaultProc(msg, wp, lp);
        switch (msg) {
            case WM_COMMAND:
            case WM_SYSCOMMAND:
            case WM_CLOSE:
            case PSM_PRESSBUTTON:
            case PSM_ISDIALOGMESSAGE:
                noteEnd();
                break;
            default:
                break;
        }
        return result;
    } catch (...) {
        // The window's state is unknown: end the sheet as cancelled.
        if (msg == WM_NCDESTROY) {
            detach();
        } else if (hwnd_ && msg != WM_DESTROY) {
            PostMessageA(hwnd_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        }
        return 0;
    }
}

bool PropSheet::isEnded() {
    noteEnd();
    return ended_;
}

INT_PTR PropSheet::result() {
    return isEnded() ? result_ : 0;
}

void PropSheet::destroyWindow() {
    if (hwnd_)
        DestroyWindow(hwnd_);
    if (hwnd_)
        detach();
}

void PropSheet::pressButton(int button) const {
    if (hwnd_)
        SendMessageA(hwnd_, PSM_PRESSBUTTON, button, 0);
}

HWND PropSheet::tabControl() const {
    return hwnd_ ? reinterpret_cast<HWND>(SendMessageA(hwnd_, PSM_GETTABCONTROL, 0, 0)) : nullptr;
}

bool PropSheet::preTranslateMessage(MSG& msg) {
    if (!hwnd_ || ended_)
        return false;
    if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))
        return false;
    return SendMessageA(hwnd_, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&msg)) != 0;
}

bool PropSheet::Create(HWND owner) {
    if (hwnd_)
        return false;
    return createWindow(owner ? owner : parent_) != nullptr;
}

INT_PTR PropSheet::DoModal(HWND owner) {
    if (hwnd_)
        return -1;
    if (!owner)
        owner = parent_;
    HWND ownerRoot = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    if (!createWindow(ownerRoot))
        return -1;

    bool ownerDisabled = false;
    if (ownerRoot && IsWindowEnabled(ownerRoot)) {
        EnableWindow(ownerRoot, FALSE);
        ownerDisabled = true;
    }
    if (hwnd_ && !IsWindowVisible(hwnd_))
        ShowWindow(hwnd_, SW_SHOWNORMAL);

    INT_PTR outcome = -1;
    MSG msg;
    while (hwnd_ && !isEnded()) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // The quit belongs to the outer loop, which ends after this sheet.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!preTranslateMessage(msg) && !ui::preTranslateMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (hwnd_ && ended_)
        outcome = result_;

    // The owner is enabled again before the sheet goes, so that the activation returns to it.
    if (ownerDisabled)
        EnableWindow(ownerRoot, TRUE);
    destroyWindow();
    return outcome;
}

}  // namespace ui
