#pragma once
// The handler interface between the HTML engine and its clients: what a page
// and its window report, delivered on the UI thread.

#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <string>
#include <vector>

namespace ui {

// The values of a page event, UTF-8, in call order.
using EventValues = std::vector<std::string>;

class WindowHandler {
public:
    virtual ~WindowHandler() = default;

    // The locale name the page asks for (its string files' suffix). The base
    // answers the process UI context's locale name.
    virtual std::string getLocale();
    // WM_CLOSE reached the window: its close box, Alt+F4 or BrowserWindow::close.
    virtual void onClose() {}
    // The page document has loaded.
    virtual void onLoadComplete() {}
    // A navigation failed; status is the browser's status-code argument. The
    // navigation is already cancelled.
    virtual void onNavigateError(const VARIANT& status) {}
    // The page called external.notify(name, values...).
    virtual void onEvent(const std::string& name, const EventValues& values) {}
    // The page called external.setWindowProp(name, values...).
    virtual void setWindowProp(const std::string& name, const EventValues& values) {}
};

// values[index]; throws std::runtime_error "no parameter at the given
// position" when index is at or past the end.
const std::string& getParam(const EventValues& values, size_t index);

}  // namespace ui
