#include "htmlui/ui_context.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

#include "foundation/locale.h"
#include "foundation/tstrings.h"

namespace ui {

UiContext& getUiContext() {
    static UiContext context{preferredLocaleName(), std::string()};
    return context;
}

std::string makeResourceBaseUrl(const std::string& modulePath) {
    std::string url = "res://" + modulePath + "/";
    url = tstrings::replace(url, "\\", "%5C");
    return tstrings::replace(url, " ", "%20");
}

namespace {

std::string moduleFileNameA() {
    // Long paths do not fit MAX_PATH: grow until the name is not cut.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            throw std::runtime_error("GetModuleFileNameA failed");
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        if (buffer.size() >= 32768)
            throw std::runtime_error("module path too long");
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

const std::string& resourceBaseUrl() {
    static const std::string url = makeResourceBaseUrl(moduleFileNameA());
    return url;
}

std::string makePageUrl(const UiContext& context, const std::string& name) {
    return (context.pageBase.empty() ? resourceBaseUrl() : context.pageBase) + name;
}

}  // namespace ui
