#include "htmlui/window_handler.h"

#include <stdexcept>

#include "htmlui/ui_context.h"

namespace ui {

std::string WindowHandler::getLocale() { return getUiContext().localeName; }

const std::string& getParam(const EventValues& values, size_t index) {
    if (index >= values.size())
        throw std::runtime_error("no parameter at the given position");
    return values[index];
}

}  // namespace ui
