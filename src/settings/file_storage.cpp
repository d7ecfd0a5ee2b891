#include "settings/file_storage.h"

#include <vector>

#include "settings/plain_text.h"
#include "settings/settings_exception.h"

namespace settings_impl {

std::string readSettingsFile(const SettingsPath& path) {
    StreamHolder stream(openForRead(path, "rb"));
    if (!stream.get()) throw settings::Exception(status::kCannotOpen);
    // One request for the limit itself: a file of exactly kMaxFileBytes fills
    // it without meeting the end and so counts as too long.
    std::vector<char> buffer(kMaxFileBytes + 1);
    const size_t count = std::fread(buffer.data(), 1, kMaxFileBytes, stream.get());
    if (std::ferror(stream.get())) throw settings::Exception(status::kReadFailed);
    if (!std::feof(stream.get())) throw settings::Exception(status::kFileTooLong);
    std::string text(buffer.data(), count);
    if (!isPlainText(text)) throw settings::Exception(status::kNotPlainText);
    return text;
}

void writeSettingsFile(const SettingsPath& path, const std::string& text) {
    createParentFolders(path);
    FILE* existing = openForRead(path, "r");
    if (existing) {
        StreamHolder stream(reopenForWrite(path, existing));
        if (!stream.get()) throw settings::Exception(status::kCannotOpen);
        const bool written = writeTextStream(stream.get(), text);
        // The buffer reaches the file at the flush, where a full disk shows
        // up. Flushed on its own before the close: Wine's fclose answers 0
        // when its own flush fails.
        const bool flushed = std::fflush(stream.get()) == 0 && !std::ferror(stream.get());
        const bool closed = std::fclose(stream.release()) == 0;
        if (!written || !flushed || !closed) throw settings::Exception(status::kWriteFailed);
        return;
    }
    DescriptorHolder fd(createProtectedFile(path));
    if (fd.get() == -1) throw settings::Exception(status::kCannotOpen);
    const bool written = writeDescriptor(fd.get(), text);
    const bool closed = closeDescriptor(fd.release()) == 0;
    if (!written || !closed) throw settings::Exception(status::kWriteFailed);
}

}  // namespace settings_impl
