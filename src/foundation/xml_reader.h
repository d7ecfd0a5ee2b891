#pragma once
// A small reader for the 8-bit XML documents the launchers download: the
// whole text in memory becomes a tree of element and text nodes. It checks
// nothing and knows no namespaces or encodings; malformed input gives a
// partial or empty tree, never an error.

#include <cstdint>

struct XmlAttribute {
    char* name;          // owned
    char* value;         // owned, as written (entities are not decoded)
    XmlAttribute* next;  // or null
};

struct XmlNode {
    enum Kind : uint32_t { ELEMENT = 0, TEXT = 1 };
    uint32_t kind;
    char* name;               // owned: the element's name or the text's decoded content
    XmlNode* next;            // following sibling or null
    XmlNode* child;           // first child or null
    XmlAttribute* attributes; // in reverse document order, or null
};

// Elements nested deeper than this end the parse: what was read up to there
// is the tree.
constexpr int kXmlMaxDepth = 256;

// Parses text (NUL-terminated; a leading UTF-8 byte-order mark is skipped).
// Returns the first top-level node (its siblings follow through next), or null
// when there is none; free the result with XmlFreeNode. Throws std::bad_alloc
// only, having freed what it built.
XmlNode* XmlParse(const char* text);

// The first element among node and its following siblings (not descending)
// whose name equals name exactly; null when none or either argument is null.
XmlNode* XmlFindElement(XmlNode* node, const char* name);

// The value of the first attribute in the list named exactly name; null when
// none or either argument is null.
const char* XmlGetAttribute(const XmlAttribute* attributes, const char* name);

// Frees node, its children, its following siblings and their attributes.
// Null is allowed. Uses no recursion, so any depth or length is safe.
void XmlFreeNode(XmlNode* node);
