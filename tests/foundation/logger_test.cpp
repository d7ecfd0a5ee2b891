// The log's line format, its retries against a held file and lines written
// by two processes at once. The program also serves as its own child process:
//   logger_test --write-lines <count> <tag>   writes lines to the default log
//   logger_test --print-log-path              prints the logger's path
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_process.h"
#include "common/test_util.h"
#include "foundation/logger.h"
#include "foundation/logger_internal.h"
#include "foundation/tstrings.h"

namespace {

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.file("tusched.log");
        original_ = Logger::getInstance().path();
        LoggerTestAccess::setPath(path_);
    }
    void TearDown() override {
        LoggerTestAccess::setPath(original_);
        logger_internal::setRetrySleepHookForTesting(nullptr);
    }
    std::string log() const { return testutil::readFileText(path_); }

    testutil::ScratchDir dir_{"log"};
    std::string path_;
    std::string original_;
};

// "[YYYY/MM/DD hh:mm:ss.mmm, <process> (PID: n, TID: n), <file>:<line> (<function>)]\r\n\t<LEVEL>: <message>\r\n"
std::regex lineRegex(const std::string& file, const std::string& line, const std::string& function,
                     const std::string& level, const std::string& message) {
    return std::regex("\\[\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}, logger_test\\.exe \\(PID: " +
                      std::to_string(GetCurrentProcessId()) + ", TID: " +
                      std::to_string(GetCurrentThreadId()) + "\\), " + file + ":" + line + " \\(" +
                      function + "\\)\\]\r\n\t" + level + ": " + message + "\r\n");
}

TEST_F(LoggerTest, Write_LevelNamesAndLineFormat) {
    struct Case { int level; const char* name; };
    const Case cases[] = {{0, "TRACE"}, {1, "INFO"}, {2, "WARNING"}, {3, "ERROR"}, {7, "UNKNOWN"}, {-1, "UNKNOWN"}};
    for (const Case& c : cases) {
        std::remove(path_.c_str());
        ASSERT_TRUE(Logger::getInstance().isEnabled(c.level) || c.level < 0);
        Logger::getInstance().write(c.level, "C:\\src\\dir\\unit.cpp", 42, "ns::func", "hello world");
        EXPECT_TRUE(std::regex_match(log(), lineRegex("unit\\.cpp", "42", "ns::func", c.name, "hello world")))
            << c.level << ": " << log();
    }
}

TEST_F(LoggerTest, Write_ForwardAndBackSlashPathsGiveSameBaseName) {
    Logger::getInstance().write(1, "/work/src/a/logger_x.cpp", 1, "f", "one");
    Logger::getInstance().write(1, "C:\\work\\src\\a\\logger_x.cpp", 1, "f", "two");
    const std::string text = log();
    EXPECT_NE(text.find("), logger_x.cpp:1 (f)]\r\n\tINFO: one\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("), logger_x.cpp:1 (f)]\r\n\tINFO: two\r\n"), std::string::npos) << text;
}

TEST_F(LoggerTest, Write_LongMessageIsWrittenWhole) {
    const std::string message(100000, 'x');
    Logger::getInstance().write(1, "a.cpp", 1, "f", message);
    EXPECT_NE(log().find("\tINFO: " + message + "\r\n"), std::string::npos);
}

TEST_F(LoggerTest, Write_StreamAndCStringOverloads) {
    std::ostringstream s;
    s << "from " << 3 << " streams";
    Logger::getInstance().write(2, "a.cpp", 5, "f", s);
    Logger::getInstance().write(2, "a.cpp", 6, "f", static_cast<const char*>(nullptr));
    EXPECT_NE(log().find("\tWARNING: from 3 streams\r\n"), std::string::npos);
    EXPECT_NE(log().find("a.cpp:6 (f)]\r\n\tWARNING: \r\n"), std::string::npos);
}

TEST_F(LoggerTest, FunctionTracer_EntryAndExitLines) {
    {
        FunctionTracer tracer(Logger::getInstance(), 1, "C:\\x\\traced.cpp", 120, "Traced::run", "T");
    }
    const std::string text = log();
    EXPECT_NE(text.find("), traced.cpp:120 (Traced::run)]\r\n\tINFO: Entering T\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("), traced.cpp:0 (Traced::run)]\r\n\tINFO: Exiting T (entered at traced.cpp:120)\r\n"),
              std::string::npos)
        << text;
}

TEST_F(LoggerTest, Logit_UsesUtilityUnitLocation) {
    logit("plain");
    logit(std::string("text"));
    const std::string text = log();
    EXPECT_NE(text.find("), AllUtils:141 (logit)]\r\n\tINFO: plain\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("), AllUtils:145 (logit)]\r\n\tINFO: text\r\n"), std::string::npos) << text;
}

TEST_F(LoggerTest, Write_EmptyPathWritesNothing) {
    LoggerTestAccess::setPath("");
    Logger::getInstance().write(1, "a.cpp", 1, "f", "nothing");
    EXPECT_FALSE(testutil::fileExists(path_));
}

TEST_F(LoggerTest, Write_HeldFileDropsLineAfterTenTries) {
    // Another writer holds the file; reading stays allowed.
    HANDLE holder = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    int sleeps = 0;
    logger_internal::setRetrySleepHookForTesting([&](unsigned ms) {
        EXPECT_EQ(ms, 1u);
        ++sleeps;
    });
    Logger::getInstance().write(1, "a.cpp", 1, "f", "dropped");
    EXPECT_EQ(sleeps, 10);
    CloseHandle(holder);
    EXPECT_EQ(log().find("dropped"), std::string::npos);

    // Once the file is free again the next line goes in at the first try.
    sleeps = 0;
    Logger::getInstance().write(1, "a.cpp", 1, "f", "kept");
    EXPECT_EQ(sleeps, 0);
    EXPECT_NE(log().find("kept"), std::string::npos);
}

TEST_F(LoggerTest, Write_HeldByAnotherProcessReturnsQuickly) {
    testutil::ChildProcess holder;
    ASSERT_TRUE(holder.start(testutil::quote(testutil::selfPath()) + " --hold " + testutil::quote(path_)));
    ASSERT_TRUE(testutil::waitFor([&] { return testutil::fileExists(path_ + ".held"); }));
    const DWORD start = GetTickCount();
    Logger::getInstance().write(1, "a.cpp", 1, "f", "while held");
    EXPECT_LT(GetTickCount() - start, 2000u);
    holder.terminate();
    EXPECT_EQ(log().find("while held"), std::string::npos);
}

TEST_F(LoggerTest, DefaultPath_IsTusChedLogInTemporaryFolder) {
    // A child with its own TMP shows where the logger puts the file.
    testutil::ScratchDir temp("tmp");
    const testutil::ProcessResult r = testutil::runProcess(
        testutil::quote(testutil::selfPath()) + " --write-lines 1 probe", 30000,
        {{"TMP", temp.path()}, {"TEMP", temp.path()}});
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0u);
    const std::string text = testutil::readFileText(temp.file("tusched.log"));
    EXPECT_NE(text.find(", logger_test.exe (PID: "), std::string::npos) << text;
    EXPECT_NE(text.find("\tINFO: probe 0\r\n"), std::string::npos) << text;
}

TEST_F(LoggerTest, Write_TwoProcessesAtOnceKeepEveryLineWhole) {
    testutil::ScratchDir temp("tmp2");
    const std::map<std::string, std::string> env = {{"TMP", temp.path()}, {"TEMP", temp.path()}};
    testutil::ChildProcess a, b;
    const std::string self = testutil::quote(testutil::selfPath());
    ASSERT_TRUE(a.start(self + " --write-lines 300 alpha", env));
    ASSERT_TRUE(b.start(self + " --write-lines 300 beta", env));
    ASSERT_TRUE(a.wait(60000));
    ASSERT_TRUE(b.wait(60000));
    const std::string text = testutil::readFileText(temp.file("tusched.log"));
    // Every line pair is complete: a header line followed by its message.
    const std::regex pair("\\[[^\\]\r\n]*\\]\r\n\tINFO: (alpha|beta) \\d+\r\n");
    const std::string rest = std::regex_replace(text, pair, "");
    EXPECT_TRUE(rest.empty()) << "left over: " << rest.substr(0, 300);
    size_t count = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), pair), end; it != end; ++it)
        ++count;
    EXPECT_GT(count, 300u);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--write-lines") {
        const int count = std::atoi(argv[2]);
        for (int i = 0; i < count; ++i)
            Logger::getInstance().write(1, __FILE__, __LINE__, "main",
                                        std::string(argv[3]) + " " + std::to_string(i));
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--hold") {
        HANDLE h = CreateFileA(argv[2], GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return 2;
        testutil::writeFileBytes(std::string(argv[2]) + ".held", "1");
        Sleep(60000);
        return 0;
    }
    testutil::isolateTestProcess();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    testutil::finishTestProcess(result == 0);
    return result;
}
