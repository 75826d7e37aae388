#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "ui/com.h"
#include "ui/dialog.h"
#include "ui/text.h"
#include "ui/worker_thread.h"
#include "win_test_util.h"

namespace {

constexpr UINT kCountMessage = WM_APP + 10;

// A plain dialog that counts the messages sent to it.
class CountingDialog : public ui::Dialog {
  public:
    CountingDialog() : Dialog(templ().get()) {}
    int count = 0;

  protected:
    bool OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override {
        if (msg != kCountMessage)
            return false;
        result = ++count;
        return true;
    }

  private:
    static const wintest::DialogTemplate& templ() {
        static const wintest::DialogTemplate t("Counting", 100, 40);
        return t;
    }
};

TEST(UiWorkerThread, JoinHandlesWhatTheWorkerSendsToTheWaitingThread) {
    CountingDialog window;
    ASSERT_TRUE(window.Create());
    HWND target = window.hwnd();
    std::atomic<int> answered{0};

    ui::WorkerThread worker;
    ASSERT_TRUE(worker.start([&] {
        // Synchronous, as a progress refresh is: without the owner serving sent messages while
        // it joins, this would never return.
        for (int i = 0; i < 50; ++i) {
            if (SendMessageA(target, kCountMessage, 0, 0) == i + 1)
                ++answered;
        }
    }));
    worker.join();
    EXPECT_FALSE(worker.joinable());
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(window.count, 50);
    EXPECT_EQ(answered.load(), 50);
}

TEST(UiWorkerThread, JoinLeavesPostedMessagesQueued) {
    CountingDialog window;
    ASSERT_TRUE(window.Create());
    HWND target = window.hwnd();

    ui::WorkerThread worker;
    ASSERT_TRUE(worker.start([&] { PostMessageA(target, kCountMessage, 0, 0); }));
    worker.join();
    EXPECT_EQ(window.count, 0) << "no posted message is acted on while the owner waits";
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, target, kCountMessage, kCountMessage, PM_NOREMOVE));
    wintest::pumpMessages();
    EXPECT_EQ(window.count, 1);
}

TEST(UiWorkerThread, OneThreadAtATimeAndExceptionsEndItQuietly) {
    ui::WorkerThread worker;
    EXPECT_FALSE(worker.start(nullptr));
    std::atomic<bool> release{false};
    ASSERT_TRUE(worker.start([&] {
        while (!release)
            Sleep(1);
        throw std::runtime_error("worker failed");
    }));
    EXPECT_TRUE(worker.running());
    EXPECT_FALSE(worker.start([] {})) << "the earlier thread has not been joined";
    release = true;
    EXPECT_NO_THROW(worker.join());
    EXPECT_FALSE(worker.running());

    std::atomic<int> ran{0};
    ASSERT_TRUE(worker.start([&] { ran = 1; }));
    worker.join();
    EXPECT_EQ(ran.load(), 1);
}

TEST(UiWorkerThread, DestructionWaitsForTheThread) {
    std::atomic<int> finished{0};
    {
        ui::WorkerThread worker;
        ASSERT_TRUE(worker.start([&] {
            Sleep(50);
            finished = 1;
        }));
    }
    EXPECT_EQ(finished.load(), 1);
}

// Runs `body` on a thread of its own, so COM starts there uninitialised.
template <class F>
void onFreshThread(F body) {
    std::thread t(body);
    t.join();
}

TEST(UiCom, ComInitCountsLikeCoInitializeAndUndoesOnlyWhatSucceeded) {
    onFreshThread([] {
        {
            ui::ComInit outer;
            EXPECT_EQ(outer.result(), S_OK);
            {
                ui::ComInit inner;
                EXPECT_EQ(inner.result(), S_FALSE);
                EXPECT_TRUE(inner.succeeded());
            }
            // Still a single-threaded apartment: the multithreaded kind is refused.
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        }
        // Both initialisations were undone: the thread may now choose another kind.
        HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(hr, S_OK);
        if (SUCCEEDED(hr))
            CoUninitialize();
    });
    onFreshThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            ui::ComInit refused;
            EXPECT_EQ(refused.result(), RPC_E_CHANGED_MODE);
            EXPECT_FALSE(refused.succeeded());
        }
        // The refused guard did not uninitialise the thread's own initialisation.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    });
}

TEST(UiCom, BstrOwnsItsStringAndConverts) {
    ui::Bstr empty;
    EXPECT_EQ(empty.get(), nullptr);
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.toAnsi(), "");

    const std::string withNul("a\0b", 3);
    ui::Bstr text = ui::Bstr::fromAnsi(withNul);
    EXPECT_EQ(text.length(), 3u);
    EXPECT_EQ(SysStringLen(text.get()), 3u);
    EXPECT_EQ(text.toAnsi(), withNul);

    ui::Bstr moved = std::move(text);
    EXPECT_EQ(text.get(), nullptr);
    EXPECT_EQ(moved.toAnsi(), withNul);

    // out() frees the old string first, as an out parameter expects an empty slot.
    *moved.out() = SysAllocString(L"fresh");
    EXPECT_EQ(moved.toAnsi(), "fresh");

    BSTR raw = moved.release();
    EXPECT_EQ(moved.get(), nullptr);
    ui::Bstr adopted = ui::Bstr::attach(raw);
    EXPECT_EQ(adopted.toAnsi(), "fresh");
}

TEST(UiText, ConversionsUseTheSystemAnsiCodePage) {
    // The runner pins the ANSI code page to 1252.
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_EQ(ui::toAnsi(L"caf\u00e9 \u20ac"), "caf\xe9 \x80");
    EXPECT_EQ(ui::toWide("caf\xe9 \x80"), L"caf\u00e9 \u20ac");
    EXPECT_EQ(ui::toAnsi(static_cast<const wchar_t*>(nullptr)), "");
    EXPECT_EQ(ui::toAnsi(L"x\0y", 3), std::string("x\0y", 3));
    EXPECT_EQ(ui::toWide(""), L"");
    // A character the code page lacks becomes the default character, never a cut text.
    EXPECT_EQ(ui::toAnsi(L"a\u4e2db"), "a?b");
}

TEST(UiText, WindowTextOfAnyLength) {
    CountingDialog window;
    ASSERT_TRUE(window.Create());
    const std::string text(5000, 'v');
    EXPECT_TRUE(ui::setWindowText(window.hwnd(), text));
    EXPECT_EQ(ui::windowText(window.hwnd()), text);
    EXPECT_EQ(ui::windowText(nullptr), "");
    EXPECT_FALSE(ui::setWindowText(nullptr, "x"));
}

}  // namespace
