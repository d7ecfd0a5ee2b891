#pragma once
// Writing a tree of the small XML reader back as text that the reader turns
// into the same tree, and comparing two trees. The reader's trees are not
// any XML: names may be empty, attribute names may hold quotes, values are
// kept as written. So the text is built for this reader: a byte-order mark
// first (which the reader skips), a blank after every name and value, and
// "<!---->" between two text nodes so that they stay two.

#include <string>

#include "foundation/xml_reader.h"

namespace xml_tree_text {

inline std::string escapedText(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        switch (*p) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += *p;
        }
    }
    return out;
}

// A value without a double quote is written quoted; one with a quote was
// read unquoted, so it holds no blank and no ">", and is written unquoted.
inline std::string attributeText(const XmlAttribute* attribute) {
    const std::string value = attribute->value;
    if (value.find('"') == std::string::npos)
        return std::string(attribute->name) + "=\"" + value + "\"";
    return std::string(attribute->name) + "=" + value;
}

inline void appendAttributes(std::string& out, const XmlAttribute* attribute) {
    // The list is in reverse document order; write the last one first.
    if (!attribute)
        return;
    appendAttributes(out, attribute->next);
    out += " " + attributeText(attribute);
}

inline void appendNodes(std::string& out, const XmlNode* node) {
    bool afterText = false;
    for (; node; node = node->next) {
        if (node->kind == XmlNode::TEXT) {
            if (afterText)
                out += "<!---->";
            out += escapedText(node->name);
            afterText = true;
            continue;
        }
        afterText = false;
        out += "<";
        out += node->name;
        appendAttributes(out, node->attributes);
        if (!node->child) {
            out += " />";
            continue;
        }
        out += " >";
        appendNodes(out, node->child);
        out += "</";
        out += node->name;
        out += ">";
    }
}

inline std::string write(const XmlNode* top) {
    std::string out = "\xEF\xBB\xBF";
    appendNodes(out, top);
    return out;
}

inline bool sameAttributes(const XmlAttribute* a, const XmlAttribute* b) {
    for (; a && b; a = a->next, b = b->next) {
        if (std::string(a->name) != b->name || std::string(a->value) != b->value)
            return false;
    }
    return !a && !b;
}

inline bool sameTree(const XmlNode* a, const XmlNode* b) {
    for (; a && b; a = a->next, b = b->next) {
        if (a->kind != b->kind || std::string(a->name) != b->name || !sameAttributes(a->attributes, b->attributes) ||
            !sameTree(a->child, b->child))
            return false;
    }
    return !a && !b;
}

// Nesting depth of elements that hold children (a top-level element with
// children is 1).
inline int depth(const XmlNode* node) {
    int deepest = 0;
    for (; node; node = node->next) {
        if (node->child) {
            const int d = 1 + depth(node->child);
            if (d > deepest)
                deepest = d;
        }
    }
    return deepest;
}

}  // namespace xml_tree_text
