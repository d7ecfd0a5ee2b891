#include "htmlui/ui_thread.h"

#include <windows.h>

#include <comdef.h>

#include <atomic>
#include <stdexcept>

#include "foundation/ipc/conditional.h"
#include "foundation/ipc/errors.h"
#include "foundation/logger.h"
#include "foundation/ole_initializer.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"
#include "htmlui/ui_thread_internal.h"

namespace ui {

namespace {

constexpr const char* kControlWindowClass = "ControlWindow";
// How often a thread that waits for the UI thread to start checks that it
// is still alive.
constexpr uint32_t kStartCheckMs = 100;

// The lock of instance creation, start and stop, and the "started" signal.
// Built on first use, never by a static constructor.
ipc::Conditional& processConditional() {
    static ipc::Conditional conditional;
    return conditional;
}

std::atomic<internal::ThreadStarter> g_threadStarter{nullptr};

// True when the thread has ended (or cannot be asked any more).
bool threadEnded(const ipc::Thread& thread) {
    if (!thread.isThread())
        return true;
    try {
        thread.join(0);
        return true;
    } catch (const TdsError<ipc::TimeoutExpiredError>&) {
        return false;
    } catch (...) {
        return true;
    }
}

}  // namespace

class UIThread::ThreadImpl : public ipc::Runnable {
public:
    static ThreadImpl* getInstance();
    static ThreadImpl* current();

    void release();
    HWND getControlWindow();
    void run() override;
    ~ThreadImpl() override;

    bool onUIThread() const { return uiThreadId_.load() == GetCurrentThreadId(); }
    HWND window() const { return window_.load(); }
    DWORD uiThreadId() const { return uiThreadId_.load(); }

private:
    ThreadImpl();
    void runMessageLoop();
    LRESULT wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK staticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    static ThreadImpl* instance_;

    std::atomic<HWND> window_{nullptr};
    ipc::Thread thread_;
    std::atomic<LONG> refCount_{1};
    std::atomic<DWORD> uiThreadId_{0};
    // Set when the last reference went on the UI thread itself: run() is then
    // still below on the stack, so it deletes the instance once its loop ends.
    bool deleteOnExit_ = false;
    // Set by run() when it has finished, successfully started or not.
    bool runEnded_ = false;
    // Set while a caller starts the thread (it waits without the lock).
    bool starting_ = false;
};

UIThread::ThreadImpl* UIThread::ThreadImpl::instance_ = nullptr;

UIThread::ThreadImpl::ThreadImpl() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &ThreadImpl::staticWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kControlWindowClass;
    // A second instance finds the class registered already; that is fine.
    RegisterClassExA(&wc);
}

UIThread::ThreadImpl* UIThread::ThreadImpl::getInstance() {
    ipc::Mutex::Lock lock(processConditional().mutex());
    if (instance_ != nullptr) {
        const LONG before = instance_->refCount_.fetch_add(1);
        TDS_LOG_TRACE("ui::UIThread::ThreadImpl::getInstance", "ThreadImpl::getInstance - addref: %ld",
                      static_cast<long>(before));
        return instance_;
    }
    TDS_LOG_TRACE("ui::UIThread::ThreadImpl::getInstance", "ThreadImpl::getInstance - create instance");
    instance_ = new ThreadImpl();
    return instance_;
}

UIThread::ThreadImpl* UIThread::ThreadImpl::current() {
    ipc::Mutex::Lock lock(processConditional().mutex());
    return instance_;
}

void UIThread::ThreadImpl::release() {
    bool last = false;
    {
        // Counted down under the lock, so a getInstance racing with the last
        // release either gets this instance before it is unhooked or a new one.
        ipc::Mutex::Lock lock(processConditional().mutex());
        const LONG count = refCount_.fetch_sub(1) - 1;
        TDS_LOG_TRACE("ui::UIThread::ThreadImpl::release", "ThreadImpl::release - count == %ld",
                      static_cast<long>(count));
        if (count < 1) {
            TDS_LOG_TRACE("ui::UIThread::ThreadImpl::release", "refCounter is 0, deleting this");
            if (instance_ == this)
                instance_ = nullptr;
            last = true;
            if (onUIThread() && !runEnded_)
                deleteOnExit_ = true;
        }
    }
    if (!last)
        return;
    if (deleteOnExit_) {
        // On the UI thread itself (a browser object's last Release): a thread
        // cannot join itself and its loop still runs this instance. Close the
        // window; the loop then ends and run() deletes the instance.
        const HWND window = window_.exchange(nullptr);
        if (window != nullptr)
            DestroyWindow(window);
        return;
    }
    delete this;
}

UIThread::ThreadImpl::~ThreadImpl() {
    // Neither the close nor the join holds the process lock: the UI thread
    // takes it on its way out.
    const HWND window = window_.load();
    if (window != nullptr)
        SendMessageA(window, WM_CLOSE, 0, 0);
    window_ = nullptr;
    if (thread_.isThread() && thread_.getId() != GetCurrentThreadId()) {
        try {
            thread_.join(INFINITE);
        } catch (const std::exception& e) {
            TDS_LOG_EXCEPTION("ui::UIThread::ThreadImpl::~ThreadImpl", e);
        }
    }
}

HWND UIThread::ThreadImpl::getControlWindow() {
    ipc::Conditional& conditional = processConditional();
    ipc::Mutex::Lock lock(conditional.mutex());
    if (window_.load() != nullptr && threadEnded(thread_)) {
        // The UI thread ended without taking its window down (a thread cannot
        // be stopped from inside; Windows destroyed the window with it).
        TDS_LOG_ERROR("ui::UIThread::ThreadImpl::getControlWindow", "UI thread has ended, starting a new one");
        window_ = nullptr;
    }
    while (starting_) {
        // Another thread is starting the UI thread: its signal wakes us too.
        try {
            conditional.wait(lock, kStartCheckMs);
        } catch (const TdsError<ipc::TimeoutExpiredError>&) {
        }
    }
    if (window_.load() == nullptr) {
        if (onUIThread())
            throw std::runtime_error("action failed");  // the UI thread is stopping
        starting_ = true;
        struct StartingReset {
            bool& flag;
            ~StartingReset() { flag = false; }
        } startingReset{starting_};
        if (thread_.isThread()) {
            // A thread that ended its loop (or failed to start) finishes on
            // its own; wait for it without the lock, which its end takes.
            ipc::Thread old = thread_;
            ipc::Mutex::Unlock unlock(lock);
            try {
                old.join(INFINITE);
            } catch (const std::exception& e) {
                TDS_LOG_EXCEPTION("ui::UIThread::ThreadImpl::getControlWindow", e);
            }
        }
        if (window_.load() == nullptr) {
            runEnded_ = false;
            const internal::ThreadStarter starter = g_threadStarter.load();
            try {
                thread_ = (starter ? starter : &ipc::Thread::start)(this, false);
            } catch (const std::exception& e) {
                // The start logged the refused call; the caller learns what
                // failed, and the next action tries a new thread.
                TDS_LOG_EXCEPTION("ui::UIThread::ThreadImpl::getControlWindow", e);
                throw std::runtime_error("UI thread failire");
            }
            // The new thread signals once its window exists or it has given up;
            // it may also die without a word, so its life is checked too.
            while (window_.load() == nullptr && !runEnded_) {
                try {
                    conditional.wait(lock, kStartCheckMs);
                } catch (const TdsError<ipc::TimeoutExpiredError>&) {
                    if (threadEnded(thread_))
                        break;
                }
            }
            if (window_.load() == nullptr)
                throw std::runtime_error("UI thread failire");
        }
    }
    return window_.load();
}

void UIThread::ThreadImpl::run() {
    uiThreadId_ = GetCurrentThreadId();
    try {
        OleInitializer ole;
        const HWND window = CreateWindowExA(0, kControlWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                            GetModuleHandleA(nullptr), this);
        if (window == nullptr) {
            const DWORD error = GetLastError();
            TDS_LOG_ERROR("ui::UIThread::ThreadImpl::run", "CreateControlWindow failed with %s",
                          formatSystemError(error).c_str());
            throw std::runtime_error("CreateWindow failed");
        }
        {
            ipc::Conditional& conditional = processConditional();
            ipc::Mutex::Lock lock(conditional.mutex());
            window_ = window;
            conditional.notifyAll();
        }
        runMessageLoop();
    } catch (const std::exception& e) {
        TDS_LOG_ERROR("ui::UIThread::ThreadImpl::run", "UIThread exception: %s", e.what());
    } catch (...) {
        TDS_LOG_ERROR("ui::UIThread::ThreadImpl::run", "UIThread exception: unknown exception");
    }
    bool deleteThis = false;
    {
        ipc::Conditional& conditional = processConditional();
        ipc::Mutex::Lock lock(conditional.mutex());
        window_ = nullptr;
        runEnded_ = true;
        deleteThis = deleteOnExit_;
        conditional.notifyAll();
    }
    uiThreadId_ = 0;
    if (deleteThis)
        delete this;
}

void UIThread::ThreadImpl::runMessageLoop() {
    MSG message;
    BOOL got = GetMessageA(&message, nullptr, 0, 0);
    while (got != 0) {
        if (window_.load() == nullptr)
            return;
        if (got == -1) {
            const DWORD error = GetLastError();
            TDS_LOG_ERROR("ui::UIThread::ThreadImpl::runMessageLoop", "MessageLoop::GetMessage failed with %s",
                          formatSystemError(error).c_str());
            return;
        }
        bool consumed = false;
        if (internal::isOfferedMessage(message.message)) {
            for (HWND target : internal::acceleratorTargets(GetFocus())) {
                if (SendMessageA(target, kAcceleratorQueryMessage, 0, reinterpret_cast<LPARAM>(&message)) != 0) {
                    consumed = true;
                    break;
                }
            }
        }
        if (!consumed) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        got = GetMessageA(&message, nullptr, 0, 0);
    }
}

LRESULT CALLBACK UIThread::ThreadImpl::staticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    ThreadImpl* self = reinterpret_cast<ThreadImpl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_DESTROY)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    return self->wndProc(hwnd, message, wParam, lParam);
}

LRESULT UIThread::ThreadImpl::wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kRunActionMessage: {
        // Nothing may leave a window procedure: whatever the action throws
        // becomes a failed action, and the thread goes on serving.
        ipc::Runnable* action = reinterpret_cast<ipc::Runnable*>(wParam);
        try {
            action->run();
            return 1;
        } catch (const std::exception& e) {
            TDS_LOG_WARNING("ui::UIThread::ThreadImpl::wndProc", "Action thrown an exception: %s", e.what());
        } catch (const _com_error& e) {
            TDS_LOG_WARNING("ui::UIThread::ThreadImpl::wndProc", "Action thrown an exception: %s",
                            formatComError(e.Error()).c_str());
        } catch (...) {
            TDS_LOG_WARNING("ui::UIThread::ThreadImpl::wndProc", "Action thrown an exception: %s",
                            "unknown exception");
        }
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

UIThread::UIThread() : impl_(ThreadImpl::getInstance()) {}

UIThread::~UIThread() {
    try {
        impl_->release();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ui::UIThread::~UIThread", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ui::UIThread::~UIThread");
    }
}

void UIThread::runAction(ipc::Runnable* action) {
    if (action == nullptr)
        throw std::logic_error("NULL action");
    const HWND window = impl_->getControlWindow();
    // SendMessage answers 0 also when the UI thread ends before replying.
    if (SendMessageA(window, kRunActionMessage, reinterpret_cast<WPARAM>(action), 0) == 0)
        throw std::runtime_error("action failed");
}

bool UIThread::isUIThread() const { return impl_->onUIThread(); }

namespace internal {

bool isOfferedMessage(UINT message) {
    return (message >= 0x100 && message <= 0x109) || (message >= 0x200 && message <= 0x20D);
}

std::vector<HWND> acceleratorTargets(HWND focus) {
    std::vector<HWND> targets;
    const HWND desktop = GetDesktopWindow();
    for (HWND window = focus; window != nullptr && window != desktop;) {
        targets.push_back(window);
        // A top-level window ends the walk: above it lie only the desktop
        // window and windows of other programs.
        if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0)
            break;
        window = GetAncestor(window, GA_PARENT);
    }
    return targets;
}

void setThreadStarterForTesting(ThreadStarter starter) { g_threadStarter = starter; }

HWND currentControlWindow() {
    UIThread::ThreadImpl* impl = UIThread::ThreadImpl::current();
    return impl ? impl->window() : nullptr;
}

DWORD currentUIThreadId() {
    UIThread::ThreadImpl* impl = UIThread::ThreadImpl::current();
    return impl ? impl->uiThreadId() : 0;
}

}  // namespace internal

}  // namespace ui
