// The kit's cabinets written out of the program's resources (this test
// program carries them as the launcher does) into the real package folder,
// and the named event that tells the package they are there.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/files.h"
#include "common/test_util.h"
#include "kit/cab_extraction.h"
#include "launcher/msi_package_internal.h"
#include "launcher/product_version.h"
#include "sample_packages.h"

namespace {

std::string hostPath(const char* path) {
    std::string out = std::string("Z:") + path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

std::string cabinetPath(const char* prefix) {
    return GetKitPackageFolder(true) + "\\" + GetCabinetFileName(prefix, kRuntimeVersion);
}

class CabExtraction : public ::testing::Test {
protected:
    void SetUp() override {
        for (const KitCabinet& cab : kKitCabinets)
            DeleteFileA(cabinetPath(cab.prefix).c_str());
        // Held for the whole test, so the event's state survives each run.
        event_ = CreateEventA(nullptr, TRUE, FALSE, kCabExtractEventName);
        ASSERT_NE(event_, nullptr);
        ResetEvent(event_);
    }
    void TearDown() override {
        msi_package_internal::setWriteHookForTesting(nullptr);
        for (const KitCabinet& cab : kKitCabinets)
            DeleteFileA(cabinetPath(cab.prefix).c_str());
        CloseHandle(event_);
    }
    bool eventSet() const { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }
    HANDLE event_ = nullptr;
};

TEST(CabinetNames, GetCabinetFileName_PrefixVersionDigitsAndZero) {
    EXPECT_EQ(GetCabinetFileName("ss", "9.1.4_12"), "ss914120.cab");
    EXPECT_EQ(GetCabinetFileName("sz", "10.0.2_05"), "sz100205" "0.cab");
    EXPECT_NE(GetKitPackageFolder(true).find(std::string("\\Brask\\Tolva\\vindel") + kRuntimeVersion + "_x64"),
              std::string::npos);
}

TEST_F(CabExtraction, ExtractCabsThreadProc_WritesAllFourByteForByteThenSetsTheEvent) {
    // Every chunk of every cabinet is written before the event is set.
    static HANDLE event;
    static int setBeforeWrite;
    event = event_;
    setBeforeWrite = 0;
    msi_package_internal::setWriteHookForTesting([](HANDLE file, const void* data, DWORD size, DWORD* written) {
        setBeforeWrite += WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
        return WriteFile(file, data, size, written, nullptr);
    });
    HANDLE thread = CreateThread(nullptr, 0, ExtractCabsThreadProc, GetModuleHandleA(nullptr), 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(eventSet());
    EXPECT_EQ(setBeforeWrite, 0);
    const struct { const char* prefix; const char* built; } cabs[] = {
        {"ss", TDS_SAMPLE_KIT_CAB_SS_HOST_PATH},
        {"st", TDS_SAMPLE_KIT_CAB_ST_HOST_PATH},
        {"sj", TDS_SAMPLE_KIT_CAB_SJ_HOST_PATH},
        {"sz", TDS_SAMPLE_KIT_CAB_SZ_HOST_PATH},
    };
    for (const auto& cab : cabs) {
        const std::vector<uint8_t> written = testutil::readFileBytes(cabinetPath(cab.prefix));
        EXPECT_EQ(written, testutil::readFileBytes(hostPath(cab.built))) << cab.prefix;
        ASSERT_GE(written.size(), 4u);
        EXPECT_EQ(std::string(written.begin(), written.begin() + 4), "MSCF");
    }
}

TEST_F(CabExtraction, ExtractCabinets_AFailedWriteSkipsThatCabinetAndStillSetsTheEvent) {
    // The second cabinet cannot be written: the run goes on, the event is set
    // and the package finds out for itself what it lacks.
    // Each sample cabinet fits one chunk: the second write is the second
    // cabinet's.
    static int calls;
    calls = 0;
    msi_package_internal::setWriteHookForTesting([](HANDLE file, const void* data, DWORD size, DWORD* written) {
        if (++calls == 2) {
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        return WriteFile(file, data, size, written, nullptr);
    });
    EXPECT_EQ(ExtractCabinets(GetModuleHandleA(nullptr)), 3);
    EXPECT_TRUE(eventSet());
    for (const char* prefix : {"ss", "sj", "sz"})
        EXPECT_GT(testutil::readFileBytes(cabinetPath(prefix)).size(), 4u) << prefix;
    EXPECT_EQ(calls, 4);
}

TEST_F(CabExtraction, ExtractCabinets_WithoutResourcesSetsTheEventAnyway) {
    // A module without the cabinets (kernel32) writes nothing.
    EXPECT_EQ(ExtractCabinets(GetModuleHandleA("kernel32.dll")), 0);
    EXPECT_TRUE(eventSet());
    for (const KitCabinet& cab : kKitCabinets)
        EXPECT_FALSE(testutil::fileExists(cabinetPath(cab.prefix))) << cab.prefix;
}

}  // namespace
