#include "launcher/file_digest.h"

#include "common/files.h"
#include "common/test_util.h"
#include "foundation/logger.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

std::string logText() { return testutil::readFileText(Logger::getInstance().path()); }

std::string pattern5120() {
    std::string bytes;
    for (int round = 0; round < 20; ++round)
        for (int b = 0; b < 256; ++b)
            bytes += static_cast<char>(b);
    return bytes;
}

struct DigestCase {
    const char* label;
    std::string content;
    ALG_ID algorithm;
    DWORD length;
    const char* digest;
};

class FileDigestTable : public ::testing::TestWithParam<DigestCase> {};

TEST_P(FileDigestTable, GetCheckSum_KnownDigests) {
    const DigestCase& c = GetParam();
    testutil::ScratchDir dir("digest");
    const std::string file = dir.file("data.bin");
    testutil::writeFileBytes(file, c.content);
    char out[129];
    std::memset(out, '#', sizeof(out));
    ASSERT_NE(getCheckSum(file.c_str(), out, sizeof(out), c.algorithm, c.length), 0);
    EXPECT_STREQ(out, c.digest);
    EXPECT_TRUE(verifyCheckSum(file.c_str(), c.digest, c.algorithm, c.length));
}

INSTANTIATE_TEST_SUITE_P(
    Digests, FileDigestTable,
    ::testing::Values(
        DigestCase{"Sha1Abc", "abc", CALG_SHA1, 20, "a9993e364706816aba3e25717850c26c9cd0d89d"},
        DigestCase{"Sha256Abc", "abc", CALG_SHA_256, 32,
                   "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        DigestCase{"Sha256Empty", "", CALG_SHA_256, 32,
                   "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        // Several 2048-byte blocks and a partial one.
        DigestCase{"Sha1Blocks", pattern5120(), CALG_SHA1, 20,
                   "d647a462d5de1caa4d73a5e6b465ab5124c1cddc"},
        DigestCase{"Sha256Blocks", pattern5120(), CALG_SHA_256, 32,
                   "4345361085c730756d843f13849c50a996fe2f1fac3a7ac05fb063bb743a423e"}),
    [](const ::testing::TestParamInfo<DigestCase>& info) { return std::string(info.param.label); });

class FileDigestTest : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = dir_.file("abc.txt");
        testutil::writeFileBytes(file_, "abc");
    }
    testutil::ScratchDir dir_{"digest"};
    std::string file_;
};

const char kAbcSha256[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST_F(FileDigestTest, GetCheckSum_SmallBufferFailsBeforeOpening) {
    const std::string missing = dir_.file("never-opened-small-buffer.bin");
    char out[64] = "untouched";
    EXPECT_EQ(getCheckSum(missing.c_str(), out, 64, CALG_SHA_256, 32), 0);
    EXPECT_STREQ(out, "untouched");
    EXPECT_THAT(logText(), Not(HasSubstr("never-opened-small-buffer.bin")));
    char exact[65];
    EXPECT_NE(getCheckSum(file_.c_str(), exact, 65, CALG_SHA_256, 32), 0);
}

TEST_F(FileDigestTest, GetCheckSum_MissingFileLogged) {
    const std::string missing = dir_.file("missing-digest-input.bin");
    char out[65] = "untouched";
    EXPECT_EQ(getCheckSum(missing.c_str(), out, sizeof(out), CALG_SHA_256, 32), 0);
    EXPECT_STREQ(out, "untouched");
    EXPECT_THAT(logText(), HasSubstr("Error opening file \"" + missing + "\""));
    EXPECT_EQ(getCheckSum(nullptr, out, sizeof(out), CALG_SHA_256, 32), 0);
    EXPECT_THAT(logText(), HasSubstr("Error opening file \"(null)\""));
}

TEST_F(FileDigestTest, GetCheckSum_DigestLengthMustMatchAlgorithm) {
    char out[129] = "untouched";
    EXPECT_EQ(getCheckSum(file_.c_str(), out, sizeof(out), CALG_SHA1, 32), 0);
    EXPECT_EQ(getCheckSum(file_.c_str(), out, sizeof(out), CALG_SHA_256, 20), 0);
    EXPECT_STREQ(out, "untouched");
}

TEST_F(FileDigestTest, GetCheckSum_UnknownAlgorithmFails) {
    char out[129] = "untouched";
    EXPECT_EQ(getCheckSum(file_.c_str(), out, sizeof(out), 0x7FFF, 32), 0);
    EXPECT_STREQ(out, "untouched");
    EXPECT_THAT(logText(), HasSubstr("CryptCreateHash failed with system error "));
}

TEST_F(FileDigestTest, GetCheckSum_ReadFailureIsNotEndOfFile) {
    // A pipe whose writer goes away after 3000 bytes: the reads that follow
    // fail (broken pipe), as a file on a vanished share does. The digest of
    // the bytes read so far must not be reported as the file's.
    const std::string name = "\\\\.\\pipe\\tds-digest-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                     1, 8192, 8192, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    std::thread writer([server] {
        ConnectNamedPipe(server, nullptr);
        const std::string data(3000, 'p');
        DWORD written = 0;
        WriteFile(server, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        // A pipe's flush returns once the reader has taken every byte: the
        // reads fail only after the 3000 bytes.
        FlushFileBuffers(server);
        CloseHandle(server);
    });
    char out[65] = "untouched";
    EXPECT_EQ(getCheckSum(name.c_str(), out, sizeof(out), CALG_SHA_256, 32), 0);
    writer.join();
    EXPECT_STREQ(out, "untouched");
    EXPECT_THAT(logText(), HasSubstr("ReadFile failed with system error "));
}

TEST_F(FileDigestTest, VerifyCheckSum_Mismatches) {
    EXPECT_TRUE(verifyCheckSum(file_.c_str(), kAbcSha256, CALG_SHA_256, 32));
    // Upper case, a SHA-1 length text, a longer text and no text at all.
    EXPECT_FALSE(verifyCheckSum(file_.c_str(),
                                "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD",
                                CALG_SHA_256, 32));
    EXPECT_FALSE(verifyCheckSum(file_.c_str(), "a9993e364706816aba3e25717850c26c9cd0d89d",
                                CALG_SHA_256, 32));
    EXPECT_FALSE(verifyCheckSum(file_.c_str(), (std::string(kAbcSha256) + "0").c_str(),
                                CALG_SHA_256, 32));
    EXPECT_FALSE(verifyCheckSum(file_.c_str(), nullptr, CALG_SHA_256, 32));
    EXPECT_FALSE(verifyCheckSum(dir_.file("absent").c_str(), kAbcSha256, CALG_SHA_256, 32));
    // Digests longer than 32 bytes do not fit the 65-character buffer.
    EXPECT_FALSE(verifyCheckSum(file_.c_str(), kAbcSha256, CALG_SHA_512, 64));
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("Checksum verification for \"" + file_ +
                               "\" file failed: expected=[a9993e364706816aba3e25717850c26c9cd0d89d]; "
                               "actual=[" + kAbcSha256 + "]; algorithm=32780."));
    EXPECT_THAT(log, HasSubstr("file failed: expected=[(null)]; actual=["));
}

}  // namespace
