#include "ui/worker_thread.h"

#include <process.h>

#include <memory>

namespace ui {

namespace {

struct StartBlock {
    std::function<void()> body;
    std::atomic<int32_t>* running;
};

}  // namespace

WorkerThread::~WorkerThread() {
    join();
}

bool WorkerThread::start(std::function<void()> body) {
    if (handle_ || !body)
        return false;
    auto block = std::make_unique<StartBlock>(StartBlock{std::move(body), &running_});
    running_.store(1);
    uintptr_t h = _beginthreadex(nullptr, 0, &WorkerThread::entry, block.get(), 0, nullptr);
    if (h == 0) {
        // Kept for the caller's message: freeing the start block may overwrite it.
        const DWORD error = GetLastError();
        running_.store(0);
        block.reset();
        SetLastError(error);
        return false;
    }
    block.release();  // the thread owns it now
    handle_ = reinterpret_cast<HANDLE>(h);
    return true;
}

unsigned __stdcall WorkerThread::entry(void* param) {
    std::unique_ptr<StartBlock> block(static_cast<StartBlock*>(param));
    unsigned code = 0;
    try {
        block->body();
    } catch (...) {
        code = 1;
    }
    block->running->store(0);
    return code;
}

void WorkerThread::join() {
    if (!handle_)
        return;
    for (;;) {
        // Peeking delivers the pending sent messages; nothing posted is removed.
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        DWORD r =
            MsgWaitForMultipleObjectsEx(1, &handle_, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED)
            break;
    }
    CloseHandle(handle_);
    handle_ = nullptr;
}

}  // namespace ui
