// kessa-setup carries every removal page, shared script, style and string
// file (in every UI language) as an RT_HTML resource, byte for byte as in
// the resource folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_util.h"

namespace {

TEST(PageResourcesTest, KessaSetup_CarriesEveryPageFile) {
    HMODULE module = LoadLibraryExA(testutil::besideExe("kessa-setup.exe").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    std::vector<std::string> names = {
        "TOLVASCRUB.HTML", "TOLVASCRUB_VERSIONS.HTML", "TOLVASCRUB_PROGRESS.HTML", "TOLVASCRUB_COMPLETE.HTML",
        "TOLVASCRUB_DRS.HTML", "HOST.JS", "L10N.JS", "LAYOUT.JS", "RTUTILS.JS", "RUNTIME.JS", "COMMON.CSS",
    };
    // A string file per page and UI language.
    for (const char* page : {"TOLVASCRUB", "TOLVASCRUB_VERSIONS", "TOLVASCRUB_PROGRESS", "TOLVASCRUB_COMPLETE",
                             "TOLVASCRUB_DRS"}) {
        for (const char* language : {"EN", "DE", "ES", "FR", "IT", "JA", "KO", "PT_BR", "SV", "ZH_CN", "ZH_TW"})
            names.push_back(std::string(page) + "_" + language + ".WXL");
    }
    for (const std::string& name : names) {
        HRSRC found = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(23));
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
