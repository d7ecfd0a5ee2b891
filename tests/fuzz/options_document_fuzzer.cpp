// The options document (status URL, country lookup URL, image base URL,
// offline options), read for a language with English standing in:
// - for a document built from drawn values, exactly the values of the last
//   matching "information" element up to the one in the user's language
//   come out, trimmed and cut to their buffers, and the answer is 1 exactly
//   when a status URL other than "0" was taken;
// - for any text: every output stays NUL-terminated inside its buffer (the
//   buffers are exactly their capacity, so a write past them is a finding),
//   an output is written only together with the same output of a larger
//   buffer, which it begins, and reading the document written back from its
//   tree gives the same outputs.
//
// Input: the first byte chooses a drawn or a raw document; then the drawn
// values, or a capacity, a language and the raw text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/xml_tree_text.h"
#include "launcher/online_options_internal.h"

namespace {

using online_options_internal::kCountryLookupCapacity;

// The mark the output buffers are filled with; a written output ends in a NUL
// inside its buffer, an output left alone has none.
const char kUntouched = '~';
// An output left alone, told apart from every written text by its NUL.
const std::string kNotWritten("\0not written", 12);

// Four output buffers of exactly their capacity, filled with a mark.
struct Outputs {
    explicit Outputs(size_t capacity)
        : capacity(capacity), options(new char[capacity]), status(new char[capacity]),
          lookup(new char[kCountryLookupCapacity]), image(new char[capacity]) {
        std::memset(options.get(), kUntouched, capacity);
        std::memset(status.get(), kUntouched, capacity);
        std::memset(lookup.get(), kUntouched, kCountryLookupCapacity);
        std::memset(image.get(), kUntouched, capacity);
    }
    int parse(const std::string& lang, const std::string& document) {
        return online_options_internal::ParseOptionsXmlFor(lang, document.c_str(), options.get(), capacity,
                                                           status.get(), lookup.get(), image.get());
    }
    // The text of each output, or kNotWritten when it was not written.
    std::vector<std::string> texts() const {
        return {text(options.get(), capacity), text(status.get(), capacity), text(lookup.get(), kCountryLookupCapacity),
                text(image.get(), capacity)};
    }
    static std::string text(const char* buffer, size_t size) {
        const size_t length = strnlen(buffer, size);
        FUZZ_CHECK(length < size || (size > 0 && buffer[0] == kUntouched),
                   "output without its NUL inside its buffer of " + std::to_string(size));
        if (length == size)
            return kNotWritten;
        return std::string(buffer, length);
    }

    size_t capacity;
    std::unique_ptr<char[]> options, status, lookup, image;
};

bool untouched(const std::string& text) { return text == kNotWritten; }

std::string describe(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts)
        out += (untouched(t) ? std::string("(untouched)") : fuzz_support::show(t)) + " ";
    return out;
}

std::string trimmedAsRead(const std::string& value) {
    const char* blanks = " \t\r\n";
    const size_t start = value.find_first_not_of(blanks);
    if (start == std::string::npos)
        return std::string();
    return value.substr(start, value.find_last_not_of(blanks) - start + 1);
}

const char* const kChildren[] = {"offline-options", "post-status", "cntry-lookup", "msi-url"};

void checkDrawnDocument(FuzzedDataProvider& in) {
    const char* const langs[] = {"en", "de", "pt_BR", "zh"};
    const std::string lang = langs[in.ConsumeIntegralInRange<int>(0, 3)];
    const size_t capacity = in.ConsumeBool() ? 256 : in.ConsumeIntegralInRange<size_t>(1, 40);

    std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tolva-update>\n";
    std::vector<std::string> expected(4, kNotWritten);
    int expectedAnswer = 0;
    bool decided = false;
    const int elements = in.ConsumeIntegralInRange<int>(0, 4);
    for (int e = 0; e < elements; ++e) {
        const char* const elementLangs[] = {"en", "de", "pt_BR", "fr"};
        const std::string elementLang = elementLangs[in.ConsumeIntegralInRange<int>(0, 3)];
        const bool goodVersion = in.ConsumeIntegralInRange<int>(0, 4) != 0;
        document += "  <information version=\"" + std::string(goodVersion ? "1.0" : "2.0") + "\" xml:lang=\"" +
                    elementLang + "\">\n";
        const bool matches = goodVersion && (elementLang == lang || elementLang == "en");
        if (matches && !decided)
            expectedAnswer = 0;
        for (int c = 0; c < 4; ++c) {
            if (!in.ConsumeBool())
                continue;
            std::string value = in.ConsumeRandomLengthString(80);
            value = value.c_str();  // a document has no NUL
            if (c == 1 && in.ConsumeBool())
                value = " 0 ";
            document += std::string("    <") + kChildren[c] + ">" + xml_tree_text::escapedText(value.c_str()) +
                        "</" + kChildren[c] + ">\n";
            const std::string taken = trimmedAsRead(value);
            if (!matches || decided || taken.empty() || (c == 1 && taken == "0"))
                continue;
            const size_t room = (c == 2 ? kCountryLookupCapacity : capacity) - 1;
            expected[c] = taken.substr(0, room);
            if (c == 1)
                expectedAnswer = 1;
        }
        document += "  </information>\n";
        if (matches && elementLang == lang)
            decided = true;
    }
    document += "</tolva-update>\n";

    Outputs out(capacity);
    const int answer = out.parse(lang, document);
    const std::vector<std::string> texts = out.texts();
    FUZZ_CHECK(answer == expectedAnswer && texts == expected,
               "for " + lang + " got " + std::to_string(answer) + " " + describe(texts) + "expected " +
                   std::to_string(expectedAnswer) + " " + describe(expected) + "from " +
                   fuzz_support::show(document));
}

void checkRawDocument(FuzzedDataProvider& in) {
    const size_t capacity = in.ConsumeIntegralInRange<size_t>(1, 64);
    const std::string lang = in.ConsumeBool() ? "en" : in.ConsumeRandomLengthString(6).c_str();
    const std::string document = in.ConsumeRemainingBytesAsString().c_str();

    Outputs small(capacity);
    const int answer = small.parse(lang, document);
    Outputs large(4096);
    const int largeAnswer = large.parse(lang, document);
    FUZZ_CHECK(answer == largeAnswer && (answer == 0 || answer == 1), std::to_string(answer));
    const std::vector<std::string> s = small.texts(), l = large.texts();
    for (size_t i = 0; i < 4; ++i) {
        FUZZ_CHECK(untouched(s[i]) == untouched(l[i]), describe(s) + "/ " + describe(l));
        if (!untouched(s[i]))
            FUZZ_CHECK(l[i].compare(0, s[i].size(), s[i]) == 0 &&
                           s[i].size() == std::min(l[i].size(), (i == 2 ? kCountryLookupCapacity : capacity) - 1),
                       describe(s) + "/ " + describe(l));
    }
    FUZZ_CHECK(answer == 0 || (!untouched(l[1]) && !l[1].empty() && l[1] != "0"), describe(l));

    // The same document as the reader's tree written back.
    struct NodeFreer {
        void operator()(XmlNode* node) const { XmlFreeNode(node); }
    };
    const std::unique_ptr<XmlNode, NodeFreer> tree(XmlParse(document.c_str()));
    Outputs rewritten(4096);
    const int rewrittenAnswer = rewritten.parse(lang, xml_tree_text::write(tree.get()));
    FUZZ_CHECK(rewrittenAnswer == largeAnswer && rewritten.texts() == l,
               describe(rewritten.texts()) + "/ " + describe(l));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::initReports();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool())
        checkDrawnDocument(in);
    else
        checkRawDocument(in);
    return 0;
}
