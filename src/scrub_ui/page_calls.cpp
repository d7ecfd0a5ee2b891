#include "scrub_ui/page_calls.h"

#include <algorithm>

#include "foundation/tstrings.h"

namespace tscrub {
namespace ui {

std::string escapeScriptString(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\'': out += "\\'"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '/':
            // "</" would end an inline script element in a browser.
            out += (i > 0 && text[i - 1] == '<') ? "\\/" : "/";
            break;
        default: out += c; break;
        }
    }
    return out;
}

std::string ruleSetItemCall(const std::string& displayName) {
    return "addListItem('" + escapeScriptString(displayName) + "');";
}

std::string versionRowCall(int index, const std::string& displayName) {
    return tstrings::format("addListItem('%d','", index) + escapeScriptString(displayName) + "');";
}

std::string updateListItemsCall(const std::string& ticks) {
    return "updateListItems('" + escapeScriptString(ticks) + "');";
}

std::string showProgressViewCall(bool finished) {
    return tstrings::format("showProgressView(%d)", finished ? 0 : 1);
}

std::string setStatusCall(const std::string& displayName, int number, int total) {
    return "setStatus('" + escapeScriptString(displayName) + tstrings::format("','%d','%d')", number, total);
}

std::string completeItemCall(const std::string& listId, const std::string& displayName) {
    return "addListItem('" + escapeScriptString(listId) + "', '" + escapeScriptString(displayName) + "');";
}

std::string tickString(const std::vector<SelectableVersion>& rows) {
    std::string ticks;
    for (const SelectableVersion& row : rows)
        ticks += row.selected ? '1' : '0';
    return ticks;
}

void applyTickString(const std::string& ticks, std::vector<SelectableVersion>& rows) {
    const size_t count = std::min(ticks.size(), rows.size());
    for (size_t i = 0; i < count; ++i)
        rows[i].selected = ticks[i] == '1';
}

}  // namespace ui
}  // namespace tscrub
