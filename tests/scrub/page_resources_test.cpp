// kessa-setup carries every removal page, shared script, style and string
// file as an RT_HTML resource, byte for byte as in the resource folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/test_util.h"

namespace {

TEST(PageResourcesTest, KessaSetup_CarriesEveryPageFile) {
    HMODULE module = LoadLibraryExA(testutil::besideExe("kessa-setup.exe").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const char* names[] = {
        "TOLVASCRUB.HTML", "TOLVASCRUB_VERSIONS.HTML", "TOLVASCRUB_PROGRESS.HTML", "TOLVASCRUB_COMPLETE.HTML",
        "TOLVASCRUB_DRS.HTML", "HOST.JS", "L10N.JS", "LAYOUT.JS", "RTUTILS.JS", "RUNTIME.JS", "COMMON.CSS",
        "TOLVASCRUB_EN.WXL", "TOLVASCRUB_VERSIONS_EN.WXL", "TOLVASCRUB_PROGRESS_EN.WXL",
        "TOLVASCRUB_COMPLETE_EN.WXL", "TOLVASCRUB_DRS_EN.WXL",
    };
    for (const char* name : names) {
        HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(23));
        ASSERT_NE(found, nullptr) << name;
        const DWORD size = SizeofResource(module, found);
        const void* data = LockResource(LoadResource(module, found));
        ASSERT_NE(data, nullptr) << name;
        const std::string carried(static_cast<const char*>(data), size);
        EXPECT_EQ(carried, testutil::readFileText(std::string(TDS_SCRUB_PAGES_DIR) + "\\" + name)) << name;
    }
    FreeLibrary(module);
}

}  // namespace
