#include "scrub/latest_version_document.h"

#include <windows.h>

#include <memory>

#include "foundation/http_connection.h"
#include "foundation/tstrings.h"
#include "foundation/xml_reader.h"
#include "launcher/online_endpoints.h"
#include "scrub/tolva_scrub.h"
#include "scrub/tolva_scrub_internal.h"

namespace tscrub {
namespace {

const char kDocumentPath[] = "/update/tolvaLatestVersion.xml";
const char kAgent[] = "TolvaScrub";

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

namespace internal {

std::string latestVersionDocumentUrl() {
#ifdef TDS_TEST_BUILD
    // Test builds fetch the document from a local server when the vendor key
    // names one; shipped builds have no such switch.
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char configured[512] = {};
        DWORD size = sizeof configured - 1;
        DWORD type = 0;
        const LONG read = RegQueryValueExA(key, "LatestVersionXmlURL", nullptr, &type,
                                           reinterpret_cast<BYTE*>(configured), &size);
        RegCloseKey(key);
        if (read == ERROR_SUCCESS && type == REG_SZ && configured[0] != '\0')
            return configured;
    }
#endif
    return std::string(online_endpoints::kDownloadServerUrl) + kDocumentPath;
}

void downloadLatestVersionDocumentFrom(const std::string& url, std::string& out) {
    HttpConnection connection(url);
    connection.setAgent(kAgent).allowHttp(false).setInteractive(false).setMethod(HttpConnection::GET);
    // The response closes its handles when it goes out of scope, also when
    // the body is too big.
    HttpConnection::Response response = connection.connect(true);
    response.saveToString(out);
}

}  // namespace internal

void TolvaScrub::downloadLatestVersionDocument(std::string& out) {
    internal::downloadLatestVersionDocumentFrom(internal::latestVersionDocumentUrl(), out);
}

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
