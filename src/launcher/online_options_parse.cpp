#include "launcher/online_options_internal.h"

#include <cstring>
#include <memory>
#include <string>

#include "foundation/xml_reader.h"

namespace online_options_internal {

namespace {

struct NodeFreer {
    void operator()(XmlNode* node) const { XmlFreeNode(node); }
};

// The text of the first child element named name, without trailing white
// space (servers end the values with a line break); empty when none.
std::string childText(XmlNode* element, const char* name) {
    XmlNode* child = XmlFindElement(element->child, name);
    if (!child || !child->child || child->child->kind != XmlNode::TEXT || !child->child->name)
        return std::string();
    std::string text = child->child->name;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.pop_back();
    return text;
}

void copyCut(char* out, size_t capacity, const std::string& text) {
    if (!out || capacity == 0)
        return;
    const size_t n = text.size() < capacity ? text.size() : capacity - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

int ParseOptionsXmlFor(const std::string& langCode, const char* documentText, char* options,
                       size_t capacity, char* postStatusUrl, char* countryLookupUrl,
                       char* imageBaseUrl) {
    if (!documentText)
        return 0;
    // The reader needs its own NUL-terminated copy.
    const std::string text(documentText);
    std::unique_ptr<XmlNode, NodeFreer> top(XmlParse(text.c_str()));
    XmlNode* root = top.get();
    while (root && root->kind != XmlNode::ELEMENT)
        root = root->next;
    if (!root || !root->name || std::strcmp(root->name, "tolva-update") != 0)
        return 0;

    int answer = 0;
    for (XmlNode* node = root->child; node; node = node->next) {
        if (node->kind != XmlNode::ELEMENT || !node->name || std::strcmp(node->name, "information") != 0)
            continue;
        const char* version = XmlGetAttribute(node->attributes, "version");
        const char* lang = XmlGetAttribute(node->attributes, "xml:lang");
        if (!version || std::strcmp(version, "1.0") != 0 || !lang)
            continue;
        const bool ownLanguage = langCode == lang;
        if (!ownLanguage && std::strcmp(lang, "en") != 0)
            continue;

        answer = 0;
        const std::string offline = childText(node, "offline-options");
        if (!offline.empty())
            copyCut(options, capacity, offline);
        const std::string status = childText(node, "post-status");
        if (!status.empty() && status != "0") {
            copyCut(postStatusUrl, capacity, status);
            answer = 1;
        }
        const std::string lookup = childText(node, "cntry-lookup");
        if (!lookup.empty())
            copyCut(countryLookupUrl, kCountryLookupCapacity, lookup);
        const std::string image = childText(node, "msi-url");
        if (!image.empty())
            copyCut(imageBaseUrl, capacity, image);
        // English values stand until the user's own language comes.
        if (ownLanguage)
            break;
    }
    return answer;
}

std::string WelcomeImageUrl(const std::string& imageBaseUrl, const std::string& langCode) {
    return imageBaseUrl + "/Tolva3BillDevices_" + langCode + ".jpg";
}

std::string WelcomeImagePath(const std::string& userDataDir, const std::string& runtimeVersion) {
    return userDataDir + "\\Brask\\Tolva\\kessa" + runtimeVersion + "\\Tolva3BillDevices.jpg";
}

}  // namespace online_options_internal
