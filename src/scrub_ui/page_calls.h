#pragma once
// The script calls the launcher makes into the removal pages, and the tick
// strings the version list exchanges with its page.

#include <string>
#include <vector>

#include "scrub/version_entry.h"

namespace tscrub {
namespace ui {

// text made safe inside a single-quoted script string: backslash, quote, CR
// and LF are escaped, and "</" becomes "<\/" so no text can close the page's
// script element. Version texts come from registry key names, which anyone
// who can write the key chooses.
std::string escapeScriptString(const std::string& text);

// "addListItem('<name>');" (the rule-set page).
std::string ruleSetItemCall(const std::string& displayName);
// "addListItem('<index>','<name>');" (the version list).
std::string versionRowCall(int index, const std::string& displayName);
// "updateListItems('<ticks>');" (the version list).
std::string updateListItemsCall(const std::string& ticks);
// "showProgressView(1)" while not finished, "showProgressView(0)" after.
std::string showProgressViewCall(bool finished);
// "setStatus('<name>','<number>','<total>')".
std::string setStatusCall(const std::string& displayName, int number, int total);
// "addListItem('<listId>', '<name>');" (the final list).
std::string completeItemCall(const std::string& listId, const std::string& displayName);

// One character per row: "1" selected, "0" not.
std::string tickString(const std::vector<SelectableVersion>& rows);
// Row i's selected flag = (ticks[i] == '1') for i below both lengths; rows
// beyond the string keep their flag.
void applyTickString(const std::string& ticks, std::vector<SelectableVersion>& rows);

}  // namespace ui
}  // namespace tscrub
