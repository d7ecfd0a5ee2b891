// The launchers' image layout: every section with file data starts on a page
// boundary of the file. Wine maps such a section from the file and copies
// any other into private memory, so a launcher carrying a large package
// would otherwise cost its size in memory before it writes a byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/program_folder.h"
#include "common/test_util.h"

namespace {

constexpr DWORD kPage = 0x1000;

// The headers of a PE file: the optional header's file alignment and the
// section table, read from the file itself.
struct ImageLayout {
    DWORD fileAlignment = 0;
    std::vector<IMAGE_SECTION_HEADER> sections;
};

bool readAt(HANDLE file, LONG offset, void* out, DWORD size) {
    DWORD got = 0;
    return SetFilePointer(file, offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           ReadFile(file, out, size, &got, nullptr) && got == size;
}

bool readLayout(const std::string& path, ImageLayout& layout) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS64 nt{};
    bool ok = readAt(file, 0, &dos, sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE &&
              readAt(file, dos.e_lfanew, &nt, sizeof nt) && nt.Signature == IMAGE_NT_SIGNATURE &&
              nt.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    if (ok) {
        layout.fileAlignment = nt.OptionalHeader.FileAlignment;
        layout.sections.resize(nt.FileHeader.NumberOfSections);
        const LONG table = dos.e_lfanew + static_cast<LONG>(offsetof(IMAGE_NT_HEADERS64, OptionalHeader)) +
                           nt.FileHeader.SizeOfOptionalHeader;
        ok = layout.sections.empty() ||
             readAt(file, table, layout.sections.data(),
                    static_cast<DWORD>(layout.sections.size() * sizeof(IMAGE_SECTION_HEADER)));
    }
    CloseHandle(file);
    return ok;
}

TEST(LauncherImage, Sections_StartOnPageBoundariesOfTheFile) {
    for (const char* program :
         {"kessa-setup.exe", "kessa-setup-nopackage.exe", "vindel-setup.exe", "vindel-setup-nopackage.exe"}) {
        ImageLayout layout;
        ASSERT_TRUE(readLayout(testutil::besideExe(program), layout)) << program;
        EXPECT_EQ(layout.fileAlignment, kPage) << program;
        bool resources = false;
        for (const IMAGE_SECTION_HEADER& section : layout.sections) {
            const std::string name(reinterpret_cast<const char*>(section.Name),
                                   strnlen(reinterpret_cast<const char*>(section.Name), IMAGE_SIZEOF_SHORT_NAME));
            resources = resources || name == ".rsrc";
            if (section.SizeOfRawData != 0) {
                EXPECT_EQ(section.PointerToRawData % kPage, 0u) << program << " " << name;
            }
        }
        EXPECT_TRUE(resources) << program << " carries no resource section";
    }
}

}  // namespace
