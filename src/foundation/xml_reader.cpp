#include "foundation/xml_reader.h"

#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

enum TokenKind {
    kAttributeName = 0,
    kStartTag = 1,
    kEndTag = 2,
    kTagEnd = 3,       // ">"
    kEmptyTagEnd = 4,  // "/>"
    kText = 5,
    kAttributeValue = 6,
    kEndOfInput = 7,
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':';
}

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':' || c == '.' ||
           c == '-';
}

char* copyString(const std::string& text) {
    char* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// The scanner's state belongs to one parse, so parses on several threads do
// not disturb each other.
class Scanner {
public:
    explicit Scanner(const char* text) : cursor_(text) {
        // Editors on Windows like to start UTF-8 files with a byte-order mark;
        // left in place it would read as text before the first element.
        if (std::strncmp(cursor_, "\xEF\xBB\xBF", 3) == 0)
            cursor_ += 3;
    }

    TokenKind kind() const { return kind_; }
    const std::string& token() const { return token_; }

    void nextToken() {
        skip();
        token_.clear();
        const char c = *cursor_;
        if (c == '\0') {
            kind_ = kEndOfInput;
        } else if (c == '<') {
            ++cursor_;
            kind_ = kStartTag;
            if (*cursor_ == '/') {
                ++cursor_;
                kind_ = kEndTag;
            }
            readName();
        } else if (c == '>') {
            ++cursor_;
            kind_ = kTagEnd;
        } else if (c == '/' && cursor_[1] == '>') {
            cursor_ += 2;
            kind_ = kEmptyTagEnd;
        } else {
            kind_ = kText;
            readText();
        }
    }

    // Reads the attributes after a start tag's name; each is put in front of
    // the list. A name or unquoted value also stops at ">" and "/>", so
    // <a x=1> ends the tag instead of swallowing it.
    void readAttributes(XmlNode* element) {
        for (;;) {
            skip();
            if (atTagEndOrInputEnd())
                return;
            std::string name;
            while (*cursor_ != '\0' && !isBlank(*cursor_) && *cursor_ != '=' &&
                   !atTagEndOrInputEnd())
                name += *cursor_++;
            skip();
            if (*cursor_ != '=')
                continue;  // an attribute without a value is ignored
            ++cursor_;
            std::string value;
            if (*cursor_ == '"') {
                ++cursor_;
                while (*cursor_ != '\0' && *cursor_ != '"')
                    value += *cursor_++;
                if (*cursor_ == '"')
                    ++cursor_;
            } else {
                while (*cursor_ != '\0' && !isBlank(*cursor_) && !atTagEndOrInputEnd())
                    value += *cursor_++;
            }
            XmlAttribute* attribute = new XmlAttribute{nullptr, nullptr, element->attributes};
            element->attributes = attribute;
            attribute->name = copyString(name);
            attribute->value = copyString(value);
        }
    }

private:
    bool atTagEndOrInputEnd() const {
        return *cursor_ == '\0' || *cursor_ == '>' || (cursor_[0] == '/' && cursor_[1] == '>');
    }

    void skipPast(const char* terminator) {
        const char* end = std::strstr(cursor_, terminator);
        cursor_ = end ? end + std::strlen(terminator) : cursor_ + std::strlen(cursor_);
    }

    // White space, comments, declarations and processing instructions, until
    // a pass moves nothing.
    void skip() {
        for (;;) {
            const char* before = cursor_;
            while (isBlank(*cursor_))
                ++cursor_;
            if (std::strncmp(cursor_, "<!--", 4) == 0) {
                cursor_ += 4;
                skipPast("-->");
            } else if (std::strncmp(cursor_, "<!", 2) == 0) {
                cursor_ += 2;
                skipPast(">");
            } else if (std::strncmp(cursor_, "<?", 2) == 0) {
                cursor_ += 2;
                skipPast("?>");
            }
            if (cursor_ == before)
                return;
        }
    }

    void readName() {
        if (!isNameStart(*cursor_))
            return;
        while (isNameChar(*cursor_))
            token_ += *cursor_++;
    }

    void readText() {
        static const struct {
            const char* entity;
            char value;
        } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''},
                         {"&quot;", '"'}};
        while (*cursor_ != '\0' && *cursor_ != '<') {
            if (*cursor_ == '&') {
                bool decoded = false;
                for (const auto& e : kEntities) {
                    const size_t length = std::strlen(e.entity);
                    if (std::strncmp(cursor_, e.entity, length) == 0) {
                        token_ += e.value;
                        cursor_ += length;
                        decoded = true;
                        break;
                    }
                }
                if (decoded)
                    continue;
            }
            token_ += *cursor_++;
        }
    }

    const char* cursor_;
    TokenKind kind_ = kEndOfInput;
    std::string token_;
};

XmlNode* newNode(uint32_t kind, const std::string& name) {
    XmlNode* node = new XmlNode{kind, nullptr, nullptr, nullptr, nullptr};
    try {
        node->name = copyString(name);
    } catch (...) {
        delete node;
        throw;
    }
    return node;
}

void freeAttributes(XmlAttribute* attribute) {
    while (attribute) {
        XmlAttribute* next = attribute->next;
        delete[] attribute->name;
        delete[] attribute->value;
        delete attribute;
        attribute = next;
    }
}

// Where the next node of the level being read is linked in.
struct Level {
    XmlNode** tail;
};

// Reads the tree one level at a time with an explicit stack: a document from
// the network may hold any number of siblings or a deep nesting, and neither
// may cost stack depth. Each new node is linked into the tree before
// anything else is read, so the tree owns everything built so far.
void readTree(Scanner& scanner, XmlNode** root) {
    std::vector<Level> stack;
    Level level{root};
    for (;;) {
        const TokenKind kind = scanner.kind();
        if (kind == kStartTag) {
            XmlNode* element = newNode(XmlNode::ELEMENT, scanner.token());
            *level.tail = element;
            level.tail = &element->next;
            scanner.readAttributes(element);
            scanner.nextToken();
            if (scanner.kind() == kEmptyTagEnd) {
                scanner.nextToken();
            } else if (scanner.kind() == kTagEnd) {
                if (static_cast<int>(stack.size()) + 1 >= kXmlMaxDepth)
                    return;
                scanner.nextToken();
                stack.push_back(level);
                level.tail = &element->child;
            }
            continue;
        }
        if (kind == kText) {
            // Text followed by elements (mixed content) keeps them as its
            // siblings inside the same parent.
            XmlNode* text = newNode(XmlNode::TEXT, scanner.token());
            *level.tail = text;
            level.tail = &text->next;
            scanner.nextToken();
            continue;
        }
        // Anything else ends the level; an end tag closes the element whose
        // children were being read (its name is not compared).
        if (stack.empty() || kind == kEndOfInput)
            return;
        level = stack.back();
        stack.pop_back();
        if (kind == kEndTag) {
            while (scanner.kind() != kTagEnd && scanner.kind() != kEndOfInput)
                scanner.nextToken();
            scanner.nextToken();
        }
    }
}

}  // namespace

XmlNode* XmlParse(const char* text) {
    if (!text)
        return nullptr;
    Scanner scanner(text);
    XmlNode* root = nullptr;
    try {
        scanner.nextToken();
        readTree(scanner, &root);
    } catch (...) {
        XmlFreeNode(root);
        throw;
    }
    return root;
}

XmlNode* XmlFindElement(XmlNode* node, const char* name) {
    if (!name)
        return nullptr;
    for (; node; node = node->next) {
        if (node->kind == XmlNode::ELEMENT && std::strcmp(node->name, name) == 0)
            return node;
    }
    return nullptr;
}

const char* XmlGetAttribute(const XmlAttribute* attributes, const char* name) {
    if (!name)
        return nullptr;
    for (; attributes; attributes = attributes->next) {
        if (std::strcmp(attributes->name, name) == 0)
            return attributes->value;
    }
    return nullptr;
}

void XmlFreeNode(XmlNode* node) {
    // Children are spliced in front of the remaining siblings, so one loop
    // frees the whole tree without recursion or extra memory.
    while (node) {
        if (node->child) {
            XmlNode* last = node->child;
            while (last->next)
                last = last->next;
            last->next = node->next;
            node->next = node->child;
            node->child = nullptr;
        }
        XmlNode* next = node->next;
        freeAttributes(node->attributes);
        delete[] node->name;
        delete node;
        node = next;
    }
}
