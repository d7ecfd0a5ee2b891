#include "launcher/ui/setup_pages.h"

#include "launcher/ui/change_folder.h"
#include "launcher/ui/setup_complete_error.h"
#include "launcher/ui/welcome_dialog.h"

namespace ui {

namespace {

class RealSetupPages : public SetupPages {
public:
    PageResult welcome(HWND parent, bool& changeFolder) override {
        CWelcomeDialog page;
        page.changeFolder = changeFolder;
        const PageResult result = toPageResult(page.DoModal(parent));
        if (result == PageResult::Next)
            changeFolder = page.changeFolder;
        return result;
    }

    PageResult changeFolder(HWND parent, bool hideBack, char* folder, size_t capacity) override {
        CChangeFolder page;
        page.hideBack = hideBack;
        const PageResult result = toPageResult(page.DoModal(parent));
        if (result == PageResult::Next && folder && capacity > 0)
            lstrcpynA(folder, page.folder, static_cast<int>(capacity < MAX_PATH ? capacity : MAX_PATH));
        return result;
    }

    PageResult setupError(HWND parent, int32_t errorCode) override {
        CSetupCompleteError page;
        page.errorCode = errorCode;
        return toPageResult(page.DoModal(parent));
    }
};

}  // namespace

PageResult toPageResult(INT_PTR answer) {
    switch (answer) {
    case 1:
        return PageResult::Next;
    case 2:
        return PageResult::Cancel;
    case 1029:
        return PageResult::Back;
    default:
        return PageResult::Failed;
    }
}

SetupPages& GetSetupPages() {
    static RealSetupPages pages;
    return pages;
}

}  // namespace ui
