#pragma once
// Helpers of the HTML engine tests: actions from lambdas, a handler that
// records what the engine tells it, and page URLs of this test program.

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "foundation/ipc/thread.h"
#include "htmlui/ui_context.h"
#include "htmlui/ui_thread.h"
#include "htmlui/window_handler.h"

namespace enginetest {

class Action : public ipc::Runnable {
public:
    explicit Action(std::function<void()> body) : body_(std::move(body)) {}
    void run() override { body_(); }

private:
    std::function<void()> body_;
};

// Runs body on the UI thread and returns when it has run.
inline void onUIThread(std::function<void()> body) {
    ui::UIThread thread;
    Action action(std::move(body));
    thread.runAction(&action);
}

// A page of this test program's RT_HTML resources.
inline std::string pageUrl(const std::string& name) { return ui::makePageUrl(ui::getUiContext(), name); }

// Records every handler call (as text) for the test thread to wait on.
class RecordingHandler : public ui::WindowHandler {
public:
    explicit RecordingHandler(std::string locale = "en") : locale_(std::move(locale)) {}

    std::string getLocale() override { return locale_; }
    void onClose() override { add("close"); }
    void onLoadComplete() override { add("loaded"); }
    void onNavigateError(const VARIANT& status) override {
        char text[64];
        const VARIANT* value = status.vt == (VT_BYREF | VT_VARIANT) ? status.pvarVal : &status;
        if (value != nullptr && value->vt == VT_I4)
            snprintf(text, sizeof text, "navigate error 0x%08lX", static_cast<unsigned long>(value->lVal));
        else
            snprintf(text, sizeof text, "navigate error vt %u", value ? static_cast<unsigned>(value->vt) : 0u);
        add(text);
    }
    void onEvent(const std::string& name, const ui::EventValues& values) override {
        add("event " + join(name, values));
    }
    void setWindowProp(const std::string& name, const ui::EventValues& values) override {
        add("prop " + join(name, values));
    }

    std::vector<std::string> calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }
    // Waits until a call equal to what has been recorded.
    [[nodiscard]] bool waitFor(const std::string& what, DWORD timeoutMs = 10000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const std::string& call : calls_)
                if (call == what)
                    return true;
            return false;
        });
    }

    // Waits until some call that starts with prefix has been recorded.
    [[nodiscard]] bool waitForPrefix(const std::string& prefix, DWORD timeoutMs = 10000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const std::string& call : calls_)
                if (call.compare(0, prefix.size(), prefix) == 0)
                    return true;
            return false;
        });
    }

    static std::string join(const std::string& name, const ui::EventValues& values) {
        std::string text = name;
        for (const std::string& value : values)
            text += "|" + value;
        return text;
    }

private:
    void add(const std::string& call) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
        changed_.notify_all();
    }

    std::string locale_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> calls_;
};

}  // namespace enginetest
