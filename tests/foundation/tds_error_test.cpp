#include <gtest/gtest.h>

#include <stdexcept>

#include "foundation/tds_error.h"

namespace {

TEST(TdsError, MessageNamesBaseFileLineFunctionAndText) {
    const TdsError<std::logic_error> e(std::logic_error("T"), SourceLocation("C:\\src\\sub/B.cpp", "F", 42));
    EXPECT_STREQ(e.what(), "B.cpp(42) at F(): T");
    const std::logic_error& base = e;
    EXPECT_STREQ(base.what(), "B.cpp(42) at F(): T");  // virtual: the stamped text
}

TEST(TdsError, RuntimeErrorMessageConstructors) {
    std::ostringstream s;
    s << "from " << 1 << " stream";
    const SourceLocation loc("/x/y.cpp", "G", 7);
    EXPECT_STREQ(TdsError<std::runtime_error>(std::string("text"), loc).what(), "y.cpp(7) at G(): text");
    EXPECT_STREQ(TdsError<std::runtime_error>("chars", loc).what(), "y.cpp(7) at G(): chars");
    EXPECT_STREQ(TdsError<std::runtime_error>(s, loc).what(), "y.cpp(7) at G(): from 1 stream");
    const TdsError<std::runtime_error> copy(TdsError<std::runtime_error>("c", loc));
    EXPECT_STREQ(copy.what(), "y.cpp(7) at G(): c");
}

TEST(TdsError, SysErrorTextEndsWithCode) {
    const TdsError<SysError> e(SysError("LoadLibraryW(x.dll) failed", 126), TDS_HERE("Dll::Dll"));
    const std::string text = e.what();
    EXPECT_NE(text.find(") at Dll::Dll(): LoadLibraryW(x.dll) failed. System error [126]"), std::string::npos) << text;
    EXPECT_STREQ(SysError("ctx:", 4294967295u).what(), "ctx: System error [4294967295]");
}

TEST(AppendSentence, JoinsAsSentences) {
    struct Case { const char* first; const char* second; const char* joined; };
    const Case cases[] = {
        {"Opened", "next", "Opened. next"},
        {"Failed:   ", "why", "Failed: why"},
        {"Done;", " x ", "Done; x"},
        {"", "  alone \t", "alone"},
        {"End.", "   ", "End."},
        {"  \n", "x", "x"},
        {"a \r\n", "", "a"},
        {"Ask?", "b", "Ask? b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(appendSentence(c.first, c.second), c.joined) << c.first << "|" << c.second;
}

}  // namespace
