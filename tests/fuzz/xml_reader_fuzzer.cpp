// The small XML reader:
// - the tree written back as text and read again is the same tree, and
//   writing that tree gives the same text;
// - nesting stays within kXmlMaxDepth, whatever the input;
// - XmlFindElement answers the first element of a sibling chain with the name.
//
// Input: the document text (it ends at its first NUL, as the reader's does).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/xml_tree_text.h"

namespace {

struct NodeFreer {
    void operator()(XmlNode* node) const { XmlFreeNode(node); }
};
using Tree = std::unique_ptr<XmlNode, NodeFreer>;

void checkFind(XmlNode* chain) {
    for (XmlNode* node = chain; node; node = node->next) {
        if (node->kind != XmlNode::ELEMENT)
            continue;
        XmlNode* first = chain;
        while (first->kind != XmlNode::ELEMENT || std::strcmp(first->name, node->name) != 0)
            first = first->next;
        FUZZ_CHECK(XmlFindElement(chain, node->name) == first, fuzz_support::show(node->name));
        if (node->child)
            checkFind(node->child);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::initReports();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Tree tree(XmlParse(text.c_str()));
    FUZZ_CHECK(xml_tree_text::depth(tree.get()) <= kXmlMaxDepth,
               "depth " + std::to_string(xml_tree_text::depth(tree.get())));

    const std::string written = xml_tree_text::write(tree.get());
    const Tree again(XmlParse(written.c_str()));
    FUZZ_CHECK(xml_tree_text::sameTree(tree.get(), again.get()),
               "read " + fuzz_support::show(text.c_str()) + ", wrote " + fuzz_support::show(written));
    FUZZ_CHECK(xml_tree_text::write(again.get()) == written, fuzz_support::show(written));
    checkFind(tree.get());
    return 0;
}
