// The version parsers: the dotted components, versions of N numbers and the
// runtime's own form (major.minor.micro_update, tags, -b build):
// - numbers printed as a version text and parsed give the same numbers, for
//   any five numbers and with any tags between update and build;
// - whatever a text parses to, printed and parsed again gives the same value;
// - the dotted reader never answers more than it was given: at most the
//   capacity of components, at most the text's length left;
// - a component is refused above 4294967295;
// - versions order by their numbers, first to last.
//
// Input: numbers, tags and a text drawn from the bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "foundation/tolva_version.h"
#include "foundation/version.h"
#include "fuzz/fuzz_support.h"

namespace {

std::string dotted(const uint32_t* numbers, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += (i ? "." : "") + std::to_string(numbers[i]);
    return text;
}

std::string runtimeText(const uint32_t (&n)[5], const std::string& tags) {
    return dotted(n, 3) + "_" + std::to_string(n[3]) + tags + "-b" + std::to_string(n[4]);
}

std::string numbersOf(const TolvaVersion& v) {
    uint32_t n[5];
    for (size_t i = 0; i < 5; ++i)
        n[i] = v[i];
    return dotted(n, 5);
}

void checkPrintedNumbers(FuzzedDataProvider& in) {
    uint32_t n[5];
    for (uint32_t& x : n)
        x = in.ConsumeIntegral<uint32_t>();
    // Tags are dash-led runs of letters; "-b" followed by digits would be a build.
    std::string tags;
    const int tagCount = in.ConsumeIntegralInRange<int>(0, 3);
    for (int t = 0; t < tagCount; ++t) {
        tags += "-";
        const int length = in.ConsumeIntegralInRange<int>(1, 4);
        for (int k = 0; k < length; ++k)
            tags += static_cast<char>('a' + in.ConsumeIntegralInRange<int>(0, 25));
    }
    const std::string text = runtimeText(n, tags);
    TolvaVersion v;
    try {
        v.init(text);
    } catch (const std::exception& e) {
        fuzz_support::fail(__FILE__, __LINE__, "runtime version text refused", text + ": " + e.what());
    }
    for (size_t i = 0; i < 5; ++i)
        FUZZ_CHECK(v[i] == n[i], text + " gave " + numbersOf(v));

    // Dotted forms of every length.
    for (size_t count = 1; count <= 5; ++count) {
        const std::string plain = dotted(n, count);
        uint32_t parsed[5] = {};
        size_t capacity = count;
        const size_t left = VersionDetails::Parser()(plain, parsed, capacity);
        FUZZ_CHECK(left == 0 && capacity == count, plain + " left " + std::to_string(left));
        for (size_t i = 0; i < count; ++i)
            FUZZ_CHECK(parsed[i] == n[i], plain);
    }
    FUZZ_CHECK(VersionDetails::parseComponent(std::to_string(n[0])) == n[0], std::to_string(n[0]));
    const uint64_t above = 4294967296ull + in.ConsumeIntegral<uint32_t>();
    bool refused = false;
    try {
        VersionDetails::parseComponent(std::to_string(above));
    } catch (const std::exception&) {
        refused = true;
    }
    FUZZ_CHECK(refused, std::to_string(above) + " accepted as a component");
}

void checkText(const std::string& text, size_t capacity) {
    // The dotted reader.
    uint32_t components[8] = {};
    size_t count = capacity;
    size_t left = 0;
    try {
        left = VersionDetails::Parser()(text, components, count);
    } catch (const std::exception& e) {
        fuzz_support::fail(__FILE__, __LINE__, "dotted reader threw", fuzz_support::show(text) + ": " + e.what());
    }
    FUZZ_CHECK(count <= capacity && left <= text.size(), fuzz_support::show(text));
    if (count > 0) {
        const std::string again = dotted(components, count);
        uint32_t reread[8] = {};
        size_t n = count;
        FUZZ_CHECK(VersionDetails::Parser()(again, reread, n) == 0 && n == count, again);
        for (size_t i = 0; i < count; ++i)
            FUZZ_CHECK(reread[i] == components[i], again);
    }

    // Versions of three numbers.
    try {
        const VersionDetails::Base<3> v(text);
        uint32_t n[3] = {v[0], v[1], v[2]};
        const VersionDetails::Base<3> w(dotted(n, 3));
        FUZZ_CHECK(v == w, fuzz_support::show(text));
    } catch (const TdsError<std::runtime_error>&) {
    }

    // The runtime form.
    try {
        const TolvaVersion v(text);
        const uint32_t n[5] = {v[0], v[1], v[2], v[3], v[4]};
        const TolvaVersion w(runtimeText(n, ""));
        FUZZ_CHECK(v == w && w.compare(v) == 0, fuzz_support::show(text) + " gave " + numbersOf(v));
    } catch (const TdsError<std::runtime_error>&) {
    }
}

void checkOrder(FuzzedDataProvider& in) {
    uint32_t a[5], b[5];
    for (size_t i = 0; i < 5; ++i) {
        a[i] = in.ConsumeIntegralInRange<uint32_t>(0, 3);
        b[i] = in.ConsumeIntegralInRange<uint32_t>(0, 3);
    }
    const TolvaVersion va(runtimeText(a, "")), vb(runtimeText(b, ""));
    int expected = 0;
    for (size_t i = 0; i < 5 && expected == 0; ++i)
        expected = a[i] < b[i] ? -1 : (a[i] > b[i] ? 1 : 0);
    FUZZ_CHECK(va.compare(vb) == expected && vb.compare(va) == -expected,
               va.source() + " against " + vb.source());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::initReports();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const size_t capacity = in.ConsumeIntegralInRange<size_t>(1, 8);
    const std::string text = in.ConsumeRandomLengthString(64);
    checkText(text, capacity);
    checkPrintedNumbers(in);
    checkOrder(in);
    return 0;
}
