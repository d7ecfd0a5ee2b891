// The plain-text line syntax: reading through the parser and writing through
// the serializer.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "settings/config.h"
#include "settings/plain_text_entry_serializer.h"
#include "settings/plain_text_file_config_parser.h"
#include "settings/settings_exception.h"

using namespace settings_impl;

namespace {

class RecordingListener : public IParserErrorListener {
public:
    void onError(const IParserCursor& cursor, const std::string& message) override {
        lines.push_back(cursor.line());
        messages.push_back(message);
    }
    std::vector<uint32_t> lines;
    std::vector<std::string> messages;
};

// Entries as "key=value" or "key" (no value), in key order.
std::vector<std::string> entries(const IConfig& config) {
    std::vector<std::string> out;
    for (const char* key : config.getKeys()) {
        out.push_back(config.hasValue(key) ? std::string(key) + "=" + config.getText(key) : std::string(key) + "|");
    }
    return out;
}

struct LineCase {
    const char* name;
    std::string text;
    bool keyOnly;
    std::vector<std::string> expected;  // "key=value", or "key|" for a key without value
    std::vector<std::string> messages;
};

class LineSyntaxTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSyntaxTest, Parse_NonStrict) {
    const LineCase& c = GetParam();
    PlainTextFileConfigParser parser(c.text);
    RecordingListener listener;
    parser.setErrorListener(&listener);
    parser.setStrict(false);
    parser.setKeyOnly(c.keyOnly);
    std::unique_ptr<IConfig> config = parser.parse();
    ASSERT_TRUE(config);
    EXPECT_EQ(c.expected, entries(*config));
    EXPECT_EQ(c.messages, listener.messages);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineSyntaxTest,
    ::testing::Values(
        LineCase{"Empty", "", false, {}, {}},
        LineCase{"BlanksAndBreaks", " \t\r\n\n\r  \r\n", false, {}, {}},
        LineCase{"TrimmedKeyAndValue", "  KEY\t =  value with  spaces  \r\n", false, {"KEY=value with  spaces"}, {}},
        LineCase{"EmptyValue", "KEY=", false, {"KEY="}, {}},
        LineCase{"EmptyKey", "=VALUE", false, {}, {"\"Empty key\" at line 1; char 1"}},
        LineCase{"EmptyKeyIndented", "a=1\n\n   = x", false, {"a=1"}, {"\"Empty key\" at line 3; char 4"}},
        LineCase{"KeyWithoutValue", "KEY", false, {}, {"\"Key without value\" at line 1; char 1"}},
        LineCase{"KeyOnly", "  KEY  ", true, {"KEY|"}, {}},
        LineCase{"Comment", "   # note\nKEY=a # b", false, {"KEY=a # b"}, {}},
        LineCase{"CommentNotInline", "KEY # c", false, {}, {"\"Key without value\" at line 1; char 1"}},
        LineCase{"FirstSeparatorWins", "A:B=C", false, {"A=B=C"}, {}},
        LineCase{"ColonSeparator", "A : 1", false, {"A=1"}, {}},
        LineCase{"LaterLineWins", "KEY=1\nKEY=2", false, {"KEY=2"}, {}},
        LineCase{"CaseSensitiveKeys", "A=1\na=2", false, {"A=1", "a=2"}, {}},
        LineCase{"BlanksInsideKey", "my key = v", false, {"my key=v"}, {}},
        LineCase{"CrLfIsOneBreak", "a=1\r\nX\r\nb=2", false, {"a=1", "b=2"},
                 {"\"Key without value\" at line 2; char 1"}},
        LineCase{"LfCrIsTwoBreaks", "a=1\n\rX", false, {"a=1"}, {"\"Key without value\" at line 3; char 1"}},
        LineCase{"LoneCr", "a=1\rX\rb=2", false, {"a=1", "b=2"}, {"\"Key without value\" at line 2; char 1"}},
        LineCase{"ByteOrderMarkBelongsToKey", "\xEF\xBB\xBFKEY=1", false, {"\xEF\xBB\xBFKEY=1"}, {}},
        LineCase{"NoQuoting", "K=\"a b\"", false, {"K=\"a b\""}, {}},
        LineCase{"TwoFaultsInOrder", "a=1\nbad\n=x\nb=2", false, {"a=1", "b=2"},
                 {"\"Key without value\" at line 2; char 1", "\"Empty key\" at line 3; char 1"}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(PlainTextParserTest, Parse_StrictStopsAtFirstFault) {
    PlainTextFileConfigParser parser(std::string("a=1\nbad\n=x\n"));
    RecordingListener listener;
    parser.setErrorListener(&listener);
    EXPECT_EQ(nullptr, parser.parse());  // strict is the default
    EXPECT_EQ(std::vector<uint32_t>{1}, listener.lines);
}

TEST(PlainTextParserTest, Parse_StrictListenerExceptionPassesOut) {
    struct Throwing : IParserErrorListener {
        int calls = 0;
        void onError(const IParserCursor&, const std::string&) override {
            ++calls;
            throw settings::Exception(313);
        }
    } listener;
    {
        PlainTextFileConfigParser parser(std::string("bad\nworse\n"));
        parser.setErrorListener(&listener);
        EXPECT_THROW(parser.parse(), settings::Exception);
        EXPECT_EQ(1, listener.calls);
    }
    listener.calls = 0;
    PlainTextFileConfigParser parser(std::string("bad\nok=1\nworse\n"));
    parser.setErrorListener(&listener);
    parser.setStrict(false);
    std::unique_ptr<IConfig> config = parser.parse();
    ASSERT_TRUE(config);
    EXPECT_EQ(2, listener.calls);
    EXPECT_EQ(std::vector<std::string>{"ok=1"}, entries(*config));
}

TEST(PlainTextParserTest, Parse_NotPlainTextIs314) {
    for (const std::string& text : {std::string("a=\x80"), std::string("a=1\n\xE2\x82")}) {
        PlainTextFileConfigParser parser(text);
        parser.setStrict(false);
        try {
            parser.parse();
            FAIL() << "accepted";
        } catch (const settings::Exception& e) {
            EXPECT_EQ(314, e.code());
        }
    }
    PlainTextFileConfigParser good(std::string("k=\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
    ASSERT_TRUE(good.parse());
}

TEST(PlainTextParserTest, Cursor_TextCountsFromOne) {
    EXPECT_EQ("line 1; char 1", PlainTextFileConfigParser::Cursor(0, 0).toString());
    EXPECT_EQ("line 4294967296; char 11", PlainTextFileConfigParser::Cursor(4294967295u, 10).toString());
}

TEST(PlainTextSerializerTest, Write_LinesEndInLineFeed) {
    PlainTextEntrySerializer serializer;
    serializer.writeKeyValue("A", "1");
    serializer.writeKeyValue("B", "x = y");
    serializer.writeLine("C");
    EXPECT_EQ("A=1\nB=x = y\nC\n", serializer.text());
}

}  // namespace
