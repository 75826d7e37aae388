#include "ui/dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "win_test_util.h"

namespace {

constexpr int kCustom = 1001;
constexpr int kCheck = 1002;
constexpr int kEdit = 1003;
constexpr int kLabel = 1004;
constexpr UINT kAnswerMessage = WM_APP + 1;
constexpr UINT kThrowMessage = WM_APP + 2;
constexpr UINT kProbeMessage = WM_APP + 3;
constexpr UINT kTestNotification = 0x7F00;

const wintest::DialogTemplate& testTemplate() {
    static const wintest::DialogTemplate t = [] {
        wintest::DialogTemplate d("Dialog under test", 200, 90);
        d.button(IDOK, "OK", 140, 6, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP)
            .button(IDCANCEL, "Cancel", 140, 24, 50, 14)
            .button(kCustom, "&Custom", 140, 42, 50, 14)
            .checkBox(kCheck, "&Check", 6, 6, 100, 10)
            .edit(kEdit, 6, 22, 120, 12)
            .label(kLabel, "Label", 6, 40, 120, 10);
        return d;
    }();
    return t;
}

class TestDialog : public ui::Dialog {
  public:
    TestDialog() : Dialog(testTemplate().get()) {}

    std::function<void(TestDialog&)> onInit;
    std::function<bool(TestDialog&, int, int, HWND)> onCommand;
    std::function<void(TestDialog&)> onProbe;
    bool throwInInit = false;

    std::vector<std::string> calls;
    struct Command {
        int id;
        int code;
        HWND control;
    };
    std::vector<Command> commands;
    bool detached = false;

  protected:
    bool OnInitDialog() override {
        calls.push_back("OnInitDialog");
        if (throwInInit)
            throw std::runtime_error("initialisation failed");
        if (onInit)
            onInit(*this);
        return true;
    }
    bool OnCommand(int id, int code, HWND control) override {
        commands.push_back({id, code, control});
        return onCommand && onCommand(*this, id, code, control);
    }
    bool OnNotify(NMHDR& header, LRESULT& result) override {
        if (header.code != kTestNotification)
            return false;
        result = 77;
        return true;
    }
    void OnOK() override {
        calls.push_back("OnOK");
        Dialog::OnOK();
    }
    void OnCancel() override {
        calls.push_back("OnCancel");
        Dialog::OnCancel();
    }
    bool OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) override {
        if (msg == kAnswerMessage) {
            result = static_cast<LRESULT>(wp) * 2;
            return true;
        }
        if (msg == kThrowMessage)
            throw std::runtime_error("handler failed");
        if (msg == kProbeMessage && onProbe) {
            onProbe(*this);
            return true;
        }
        return false;
    }
    void windowDetached() noexcept override { detached = true; }
};

void postClick(const TestDialog& dialog, int id) {
    PostMessageA(dialog.item(id), BM_CLICK, 0, 0);
}

TEST(UiDialog, ModalDialogEndsWithTheButtonPressed) {
    struct Case {
        int button;
        INT_PTR expected;
        const char* handler;
    };
    const Case cases[] = {
        {IDOK, IDOK, "OnOK"},
        {IDCANCEL, IDCANCEL, "OnCancel"},
        {kCustom, 42, nullptr},
    };
    for (const Case& c : cases) {
        TestDialog dialog;
        dialog.onInit = [&](TestDialog& d) { postClick(d, c.button); };
        dialog.onCommand = [](TestDialog& d, int id, int, HWND) {
            if (id != kCustom)
                return false;
            d.endDialog(42);
            return true;
        };
        EXPECT_EQ(dialog.DoModal(), c.expected) << "button " << c.button;
        EXPECT_EQ(dialog.hwnd(), nullptr);
        EXPECT_TRUE(dialog.detached);
        ASSERT_GE(dialog.calls.size(), 1u);
        EXPECT_EQ(dialog.calls.front(), "OnInitDialog");
        if (c.handler) {
            ASSERT_EQ(dialog.calls.size(), 2u);
            EXPECT_EQ(dialog.calls.back(), c.handler);
        } else {
            EXPECT_EQ(dialog.calls.size(), 1u);
        }
        ASSERT_FALSE(dialog.commands.empty());
        EXPECT_EQ(dialog.commands.back().id, c.button);
        EXPECT_EQ(dialog.commands.back().code, BN_CLICKED);
    }
}

TEST(UiDialog, EnterAndEscapeReachOnOKAndOnCancel) {
    for (auto [key, expected] : {std::pair{VK_RETURN, IDOK}, std::pair{VK_ESCAPE, IDCANCEL}}) {
        TestDialog dialog;
        dialog.onInit = [key](TestDialog& d) {
            SetFocus(d.item(kEdit));
            PostMessageA(d.item(kEdit), WM_KEYDOWN, key, 1);
        };
        EXPECT_EQ(dialog.DoModal(), expected) << "key " << key;
        EXPECT_EQ(dialog.calls.back(), expected == IDOK ? "OnOK" : "OnCancel");
    }
}

TEST(UiDialog, ModalDialogDisablesItsOwnerWhileItRuns) {
    TestDialog owner;
    ASSERT_TRUE(owner.Create());
    ShowWindow(owner.hwnd(), SW_SHOW);
    ASSERT_TRUE(IsWindowEnabled(owner.hwnd()));

    TestDialog dialog;
    int ownerEnabledDuring = -1;
    HWND ownerSeen = nullptr;
    dialog.onInit = [](TestDialog& d) { PostMessageA(d.hwnd(), kProbeMessage, 0, 0); };
    dialog.onProbe = [&](TestDialog& d) {
        ownerEnabledDuring = IsWindowEnabled(owner.hwnd()) ? 1 : 0;
        ownerSeen = GetWindow(d.hwnd(), GW_OWNER);
        d.endDialog(IDOK);
    };
    // The owner may be given as any of its controls.
    EXPECT_EQ(dialog.DoModal(owner.item(kEdit)), IDOK);
    EXPECT_EQ(ownerEnabledDuring, 0);
    EXPECT_EQ(ownerSeen, owner.hwnd());
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
}

TEST(UiDialog, ControlAccessReadsAndWritesTheRealControls) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());

    const std::string longText(1000, 'x');
    dialog.setItemText(kEdit, longText);
    EXPECT_EQ(dialog.itemText(kEdit), longText);
    EXPECT_EQ(dialog.itemText(kLabel), "Label");
    dialog.setText("New caption");
    EXPECT_EQ(dialog.text(), "New caption");
    char raw[64] = {};
    GetWindowTextA(dialog.hwnd(), raw, sizeof raw);
    EXPECT_STREQ(raw, "New caption");

    EXPECT_FALSE(dialog.isChecked(kCheck));
    dialog.setChecked(kCheck, true);
    EXPECT_EQ(IsDlgButtonChecked(dialog.hwnd(), kCheck), BST_CHECKED);
    SendMessageA(dialog.item(kCheck), BM_CLICK, 0, 0);
    EXPECT_FALSE(dialog.isChecked(kCheck));

    dialog.enableItem(kCustom, false);
    EXPECT_FALSE(IsWindowEnabled(dialog.item(kCustom)));
    EXPECT_FALSE(dialog.isItemEnabled(kCustom));
    dialog.enableItem(kCustom, true);
    EXPECT_TRUE(dialog.isItemEnabled(kCustom));

    dialog.showItem(kLabel, true);
    EXPECT_TRUE(GetWindowLongA(dialog.item(kLabel), GWL_STYLE) & WS_VISIBLE);
    dialog.showItem(kLabel, false);
    EXPECT_FALSE(GetWindowLongA(dialog.item(kLabel), GWL_STYLE) & WS_VISIBLE);

    EXPECT_EQ(dialog.item(9999), nullptr);
    EXPECT_EQ(dialog.itemText(9999), "");
    EXPECT_FALSE(dialog.isItemEnabled(9999));
}

TEST(UiDialog, HandlerAnswersGoBackThroughTheDialogProcedure) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());

    EXPECT_EQ(SendMessageA(dialog.hwnd(), kAnswerMessage, 21, 0), 42);

    NMHDR header{};
    header.hwndFrom = dialog.item(kEdit);
    header.idFrom = kEdit;
    header.code = kTestNotification;
    EXPECT_EQ(SendMessageA(dialog.hwnd(), WM_NOTIFY, kEdit, reinterpret_cast<LPARAM>(&header)), 77);

    SendMessageA(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(kEdit, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(dialog.item(kEdit)));
    ASSERT_FALSE(dialog.commands.empty());
    EXPECT_EQ(dialog.commands.back().id, kEdit);
    EXPECT_EQ(dialog.commands.back().code, EN_KILLFOCUS);
    EXPECT_EQ(dialog.commands.back().control, dialog.item(kEdit));
    // A command of the IDOK id that is not a click is no OnOK.
    SendMessageA(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS), 0);
    EXPECT_TRUE(dialog.hasWindow());
}

TEST(UiDialog, ModelessDialogLivesUntilItIsClosed) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HWND window = dialog.hwnd();
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(ui::DialogBase::fromWindow(window), &dialog);
    EXPECT_EQ(ui::DialogBase::fromWindow(dialog.item(kEdit)), nullptr);
    EXPECT_FALSE(dialog.Create()) << "one window per object";

    postClick(dialog, IDCANCEL);
    EXPECT_TRUE(wintest::waitFor([&] { return !dialog.hasWindow(); }));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(dialog.detached);
    EXPECT_EQ(dialog.calls.back(), "OnCancel");
    EXPECT_EQ(ui::DialogBase::fromWindow(window), nullptr);

    // The object can create its window again.
    dialog.detached = false;
    ASSERT_TRUE(dialog.Create());
    SetFocus(dialog.item(kEdit));
    PostMessageA(dialog.item(kEdit), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(wintest::waitFor([&] { return !dialog.hasWindow(); }))
        << "Escape reaches a modeless dialog through the message loop";
    EXPECT_TRUE(dialog.detached);
}

TEST(UiDialog, DestroyingTheObjectDestroysItsWindow) {
    HWND window = nullptr;
    HWND control = nullptr;
    {
        TestDialog dialog;
        ASSERT_TRUE(dialog.Create());
        window = dialog.hwnd();
        control = dialog.item(kEdit);
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(control));
}

TEST(UiDialog, ExceptionsStopAtTheDialogProcedure) {
    {
        TestDialog dialog;
        dialog.onInit = [](TestDialog& d) { PostMessageA(d.hwnd(), kThrowMessage, 0, 0); };
        INT_PTR result = 0;
        EXPECT_NO_THROW(result = dialog.DoModal());
        EXPECT_EQ(result, IDABORT);
        EXPECT_FALSE(dialog.hasWindow());
    }
    {
        TestDialog dialog;
        dialog.throwInInit = true;
        INT_PTR result = 0;
        EXPECT_NO_THROW(result = dialog.DoModal());
        EXPECT_EQ(result, IDABORT);
    }
    {
        TestDialog dialog;
        ASSERT_TRUE(dialog.Create());
        HWND window = dialog.hwnd();
        EXPECT_NO_THROW(SendMessageA(window, kThrowMessage, 0, 0));
        EXPECT_FALSE(IsWindow(window));
        EXPECT_TRUE(dialog.detached);
    }
    {
        TestDialog dialog;
        dialog.throwInInit = true;
        bool created = true;
        EXPECT_NO_THROW(created = dialog.Create());
        EXPECT_FALSE(created);
        EXPECT_FALSE(dialog.hasWindow());
    }
}

TEST(UiDialog, ModalDialogCanRunAgainAndRefusesAWindowAlreadyOpen) {
    TestDialog dialog;
    dialog.onInit = [](TestDialog& d) { postClick(d, IDOK); };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.DoModal(), IDOK);

    TestDialog open;
    ASSERT_TRUE(open.Create());
    EXPECT_EQ(open.DoModal(), -1);
    EXPECT_TRUE(open.hasWindow());
}

}  // namespace
