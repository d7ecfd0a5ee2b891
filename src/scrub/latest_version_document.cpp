#include "scrub/latest_version_document.h"

#include <memory>

#include "foundation/tstrings.h"
#include "foundation/xml_reader.h"
#include "scrub/tolva_scrub.h"

namespace tscrub {
namespace {

struct XmlTreeDeleter {
    void operator()(XmlNode* node) const { XmlFreeNode(node); }
};
typedef std::unique_ptr<XmlNode, XmlTreeDeleter> XmlTree;

// The text of the child element `name` of parent: the content of that
// element's first child when it is a text node. Absent (false) otherwise: an
// element whose first child is another element has no text of its own.
bool childText(const XmlNode* parent, const char* name, std::string& out) {
    if (!parent)
        return false;
    const XmlNode* element = XmlFindElement(parent->child, name);
    if (!element || !element->child || element->child->kind != XmlNode::TEXT || !element->child->name)
        return false;
    out = element->child->name;
    return true;
}

std::string familyId(const TolvaVersion& version) {
    return tstrings::format("%u.%u.%u", version[TolvaVersionDetails::kMajor], version[TolvaVersionDetails::kMinor],
                            version[TolvaVersionDetails::kMicro]);
}

}  // namespace

bool TolvaScrub::readFamily(const XmlNode* node, std::string& id, std::string& latest, std::string& baseline,
                            std::string& min, std::string& max) {
    if (!node || !node->child || !node->attributes)
        return false;
    const char* idText = XmlGetAttribute(node->attributes, "id");
    if (!idText)
        return false;
    id = idText;
    latest = id;
    baseline = id;
    childText(node, "latestVersion", latest);
    childText(node, "baselineVersion", baseline);
    min = id;
    max = latest;
    const XmlNode* ranges = XmlFindElement(node->child, "ranges");
    const XmlNode* range = ranges ? XmlFindElement(ranges->child, "range") : nullptr;
    if (range) {
        childText(range, "minVersion", min);
        childText(range, "maxVersion", max);
    }
    return true;
}

bool TolvaScrub::parseLatestVersionDocument(FamilyMap& map, const std::string& document) {
    // The tree is owned here, so a version text that does not parse (which
    // throws) does not leak it.
    XmlTree tree(XmlParse(document.c_str()));
    if (!tree)
        return false;
    XmlNode* versions = XmlFindElement(tree.get(), "kessaVersions");
    XmlNode* first = versions ? XmlFindElement(versions->child, "family") : nullptr;
    for (XmlNode* node = first; node; node = node->next) {
        // Only family elements are families; other siblings are ignored.
        if (node->kind != XmlNode::ELEMENT || !node->name || std::string(node->name) != "family")
            continue;
        std::string id, latest, baseline, min, max;
        if (!readFamily(node, id, latest, baseline, min, max))
            continue;
        FamilyInfo info;
        info.family.init(id);
        info.latestVersion.init(latest);
        info.baselineVersion.init(baseline);
        info.minVersion.init(min);
        info.maxVersion.init(max);
        map[id] = info;
    }
    return true;
}

std::optional<FamilyInfo> TolvaScrub::findFamily(const FamilyMap& map, const TolvaVersion& version) {
    const auto found = map.find(familyId(version));
    if (found == map.end())
        return std::nullopt;
    return found->second;
}

bool TolvaScrub::isBelowBaseline(const FamilyMap& map, const std::string& version) {
    const TolvaVersion parsed(version);
    const std::optional<FamilyInfo> family = findFamily(map, parsed);
    return family && family->baselineVersion > parsed;
}

bool TolvaScrub::isInRemovalRange(const FamilyMap& map, const std::string& version) {
    const TolvaVersion parsed(version);
    const std::optional<FamilyInfo> family = findFamily(map, parsed);
    if (!family)
        return true;
    return family->minVersion <= parsed && parsed <= family->maxVersion;
}

}  // namespace tscrub
