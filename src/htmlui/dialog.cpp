#include "htmlui/dialog.h"

#include <cstdlib>
#include <stdexcept>

#include "foundation/browsers.h"
#include "foundation/ipc/errors.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace ui {

namespace {

// How often a waiting caller checks that the dialog's window still exists.
constexpr uint32_t kAliveCheckMs = 200;

long toLong(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

// "True"/"1" and "False"/"0" as the page's bridge writes booleans and
// numbers; any other text by its decimal value.
bool toFlag(const std::string& text) {
    if (tstrings::equals(text, "true", 1))
        return true;
    if (tstrings::equals(text, "false", 1))
        return false;
    return toLong(text) != 0;
}

}  // namespace

Dialog::Dialog(const std::string& pageName, const UiContext& context)
    : window_(new BrowserWindow()), pageUrl_(makePageUrl(context, pageName)), localeName_(context.localeName) {}

Dialog::~Dialog() {
    try {
        window_->destroy();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ui::Dialog::~Dialog", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ui::Dialog::~Dialog");
    }
}

template <class Done>
void Dialog::waitFor(ipc::Conditional& condition, ipc::Mutex::Lock& lock, Done done) {
    while (!done()) {
        try {
            condition.wait(lock, kAliveCheckMs);
        } catch (const TdsError<ipc::TimeoutExpiredError>&) {
            // The page's window lives on the UI thread: when it is gone, so
            // is everything that could still answer.
            const HWND hwnd = window_->getHandle();
            if (!done() && (hwnd == nullptr || !IsWindow(hwnd))) {
                TDS_LOG_ERROR("ui::Dialog::waitFor", "the dialog window has gone");
                throw std::runtime_error("action failed");
            }
        }
    }
}

void Dialog::show() {
    // Window calls cross to the UI thread and wait for it, so none is made
    // under a lock that the UI thread's handlers take.
    bool apply = false;
    bool enabled = true;
    {
        ipc::Mutex::Lock lock(pageCondition_.mutex());
        if (pageState_ != Loaded) {
            apply = true;
            enabled = (closeButton_ & 1u) != 0;
            pageState_ = Loading;
        }
        loadFailed_ = false;
    }
    if (apply)
        window_->enableCloseButton(enabled);
    window_->load(pageUrl_, this);
    {
        ipc::Mutex::Lock lock(pageCondition_.mutex());
        waitFor(pageCondition_, lock, [this] { return pageState_ != Loading || loadFailed_; });
        if (loadFailed_) {
            TDS_LOG_ERROR("ui::Dialog::show", "the page cannot be loaded: %s", pageUrl_.c_str());
            return;
        }
    }
    window_->show();
}

void Dialog::hide() { window_->hide(); }

uint32_t Dialog::showModal() {
    {
        ipc::Mutex::Lock lock(resultCondition_.mutex());
        result_ = None;
    }
    // The result lock is not held while the page loads: a page that answers
    // from its load handler sets the result on the UI thread meanwhile.
    show();
    uint32_t result = None;
    {
        ipc::Mutex::Lock lock(resultCondition_.mutex());
        waitFor(resultCondition_, lock, [this] { return result_ != None; });
        result = result_;
    }
    hide();
    return result;
}

void Dialog::setResult(uint32_t code) {
    ipc::Mutex::Lock lock(resultCondition_.mutex());
    result_ = code;
    resultCondition_.notifyAll();
}

uint32_t Dialog::getResult() {
    ipc::Mutex::Lock lock(resultCondition_.mutex());
    return result_;
}

Dialog::PageState Dialog::getPageState() {
    ipc::Mutex::Lock lock(pageCondition_.mutex());
    return static_cast<PageState>(pageState_);
}

std::string Dialog::getLocale() { return localeName_; }

void Dialog::onClose() {
    TDS_LOG_TRACE("ui::Dialog::onClose", "Dialog::onClose())");
    setResult(Closed);
}

void Dialog::onLoadComplete() {
    TDS_LOG_TRACE("ui::Dialog::onLoadComplete", "Dialog::onLoadComplete())");
    {
        ipc::Mutex::Lock lock(pageCondition_.mutex());
        pageState_ = Loaded;
        pageCondition_.notifyAll();
    }
    window_->center();
}

void Dialog::onNavigateError(const VARIANT& status) {
    TDS_LOG_ERROR("ui::Dialog::onNavigateError", "Dialog::onNavigateError(): %s", pageUrl_.c_str());
    {
        ipc::Mutex::Lock lock(pageCondition_.mutex());
        loadFailed_ = true;
        pageCondition_.notifyAll();
    }
    // No page means nothing can answer: the dialog counts as closed.
    setResult(Closed);
}

void Dialog::onUnload() {
    TDS_LOG_TRACE("ui::Dialog::onUnload", "Dialog::onUnload())");
    ipc::Mutex::Lock lock(pageCondition_.mutex());
    pageState_ = NotLoaded;
}

void Dialog::onEvent(const std::string& name, const EventValues& values) {
    TDS_LOG_TRACE("ui::Dialog::onEvent", "Dialog::onEvent(%s)", name.c_str());
    if (name == "cancel")
        window_->close();
    else if (name == "next")
        setResult(Next);
    else if (name == "back")
        setResult(Back);
    else if (name == "a")
        openLink(getParam(values, 0));
}

void Dialog::setWindowProp(const std::string& name, const EventValues& values) {
    const char* fn = "ui::Dialog::setWindowProp";
    if (tstrings::equals(name, "title", 1)) {
        if (values.size() != 1) {
            TDS_LOG_ERROR(fn, "setWindowProp(Title): requires 1 params");
            return;
        }
        TDS_LOG_INFO(fn, "setWindowProp(Title): %s", values[0].c_str());
        window_->setTitle(values[0]);
    } else if (tstrings::equals(name, "size", 1)) {
        if (values.size() != 2) {
            TDS_LOG_ERROR(fn, "setWindowProp(Size): requires 2 params");
            return;
        }
        const int cx = static_cast<int>(toLong(values[0]));
        const int cy = static_cast<int>(toLong(values[1]));
        TDS_LOG_INFO(fn, "setWindowProp(Size): %d x %d", cx, cy);
        window_->setSize(cx, cy);
    } else if (tstrings::equals(name, "closeButton", 1)) {
        if (values.size() != 1) {
            TDS_LOG_ERROR(fn, "setWindowProp(closeButton): requires 1 params");
            return;
        }
        const bool enabled = toFlag(values[0]);
        TDS_LOG_INFO(fn, "setWindowProp(closeButton): %d", enabled ? 1 : 0);
        {
            ipc::Mutex::Lock lock(pageCondition_.mutex());
            closeButton_ = enabled ? 1u : 0u;
        }
        window_->enableCloseButton(enabled);
    } else {
        TDS_LOG_ERROR(fn, "setWindowProp: unexpected prop: '%s'", name.c_str());
    }
}

void Dialog::openLink(const std::string& address) { browsers::launchDefault(address); }

}  // namespace ui
