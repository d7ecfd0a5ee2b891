#pragma once
// One HTML page as a dialog that a plain (non-UI) thread shows and waits on.
// The page runs in a BrowserWindow on the UI thread and answers through the
// page-to-host bridge; the dialog turns its answers into a result.

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/ipc/conditional.h"
#include "htmlui/browser_window.h"
#include "htmlui/ui_context.h"
#include "htmlui/window_handler.h"

namespace ui {

class Dialog : public WindowHandler {
public:
    enum Result : uint32_t { None = 0, Closed = 1, Next = 2, Back = 3, Link = 4 };
    enum PageState : uint32_t { NotLoaded = 0, Loading = 1, Loaded = 2 };

    // pageName is the page's file name (an RT_HTML resource name), looked up
    // under makePageUrl(context, pageName); the context's locale is copied.
    Dialog(const std::string& pageName, const UiContext& context);
    // Destroys the window. Never throws.
    ~Dialog() override;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Loads the page and shows the window once it has loaded, without waiting
    // for a result (the modeless use). A page that fails to load is not
    // shown. Throws std::runtime_error "action failed" when the window or
    // the navigation cannot be made or the UI thread ends meanwhile.
    void show();
    void hide();
    // Resets the result, shows the page (reloading it) and waits until the
    // page gives a result; hides the window and returns it: Closed (also
    // when the page cannot be loaded), Next, Back or Link. Throws like show().
    uint32_t showModal();
    // Stores code and wakes the thread in showModal.
    void setResult(uint32_t code);

    uint32_t getResult();
    PageState getPageState();
    const std::string& getPageUrl() const { return pageUrl_; }
    BrowserWindow& getWindow() { return *window_; }

    // Handler operations, called on the UI thread.
    std::string getLocale() override;
    void onClose() override;
    void onLoadComplete() override;
    void onNavigateError(const VARIANT& status) override;
    void onEvent(const std::string& name, const EventValues& values) override;
    void setWindowProp(const std::string& name, const EventValues& values) override;
    // Marks the page not loaded (the engine never calls it).
    virtual void onUnload();

protected:
    // Opens a page link's address; the default browser as the desktop user.
    virtual void openLink(const std::string& address);

private:
    // Waits on condition until done() holds; throws "action failed" when the
    // window has gone (its UI thread ended) meanwhile.
    template <class Done>
    void waitFor(ipc::Conditional& condition, ipc::Mutex::Lock& lock, Done done);

    std::unique_ptr<BrowserWindow> window_;
    std::string pageUrl_;
    std::string localeName_;
    ipc::Conditional resultCondition_;
    uint32_t result_ = None;
    ipc::Conditional pageCondition_;
    uint32_t pageState_ = NotLoaded;
    bool loadFailed_ = false;
    uint32_t closeButton_ = 1;
};

}  // namespace ui
