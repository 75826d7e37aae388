#pragma once
// A worker thread owned by a window. Its owner can wait for it without the classic deadlock: a
// worker that sends a message to a window of the waiting thread (a synchronous refresh, a window
// text, an enable) gets it handled while the owner waits.

#include <windows.h>

#include <atomic>
#include <functional>

namespace ui {

class WorkerThread {
  public:
    WorkerThread() = default;
    // Waits for a thread still running (as join() does).
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts `body` on a new thread. False when a thread started earlier has not been joined
    // yet, or when the thread cannot be created. An exception leaving `body` ends the thread
    // quietly; it never reaches the thread entry.
    bool start(std::function<void()> body);

    // True from start() until `body` has returned.
    bool running() const { return running_.load() != 0; }
    // True from start() until join().
    bool joinable() const { return handle_ != nullptr; }

    // Waits until the thread has ended, handling the messages other threads send to this
    // thread's windows meanwhile. Posted messages stay queued, so no user input is acted on
    // while the owner waits.
    void join();

  private:
    static unsigned __stdcall entry(void* param);

    HANDLE handle_ = nullptr;
    std::atomic<int32_t> running_{0};
};

}  // namespace ui
