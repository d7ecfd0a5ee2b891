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

namespace {

ContentWriter gContentWriter = nullptr;

// What a text-mode stream stores for the text on Windows: each LF as CR LF.
std::string withCrLf(const std::string& text) {
    std::string translated;
    translated.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n') translated += '\r';
        translated += c;
    }
    return translated;
}

// The file the new content is written to first: in the target's folder, so
// that putting it in place is a rename on the same volume, and named for the
// process, so that two writers never share one.
SettingsPath fileBeside(const SettingsPath& path) {
    char id[16];
    std::snprintf(id, sizeof id, "%lx", currentProcessId());
    SettingsPath beside;
    beside.text = path.text + "." + id + ".tmp";
    if (beside.text.size() > kMaxPathBytes) {
        // Longer than any path the library accepts: a short name in the
        // same folder keeps it within what the system opens.
        beside.text = path.text.substr(0, path.text.find_last_of("\\/") + 1) + id + ".tmp";
    }
    beside.wide = toUtf16(beside.text);
    beside.canonical = path.canonical;
    return beside;
}

// Deletes the file beside the target unless it was put in place.
class FileBesideHolder {
public:
    explicit FileBesideHolder(const SettingsPath& path) : path_(path) {}
    ~FileBesideHolder() {
        if (!released_) removeFile(path_);
    }
    FileBesideHolder(const FileBesideHolder&) = delete;
    FileBesideHolder& operator=(const FileBesideHolder&) = delete;
    void release() { released_ = true; }

private:
    const SettingsPath& path_;
    bool released_ = false;
};

}  // namespace

void setContentWriterForTesting(ContentWriter writer) { gContentWriter = writer; }

void writeSettingsFile(const SettingsPath& path, const std::string& text) {
    createParentFolders(path);
    FILE* existing = openForRead(path, "r");
    const bool existed = existing != nullptr;
    if (existing) std::fclose(existing);
    // The old file is never cut or opened for writing: a full disk or any
    // other failure before the replace leaves it whole.
    const SettingsPath beside = fileBeside(path);
    const auto create = existed ? createPlainFile : createProtectedFile;
    DescriptorHolder fd(create(beside));
    // A file of that name may be left from an ended process that had this
    // process's id; one that is still open stays, and the create fails again.
    if (fd.get() == -1 && removeFile(beside)) fd.reset(create(beside));
    if (fd.get() == -1) throw settings::Exception(status::kCannotOpen);
    FileBesideHolder holder(beside);
    const std::string content = existed ? withCrLf(text) : text;
    const bool written = (gContentWriter ? gContentWriter : writeDescriptor)(fd.get(), content);
    // A full disk may show up only when the system writes its cache out.
    const bool committed = written && commitDescriptor(fd.get());
    const bool closed = closeDescriptor(fd.release()) == 0;
    if (!written || !committed || !closed) throw settings::Exception(status::kWriteFailed);
    if (!replaceFile(path, beside, existed)) throw settings::Exception(status::kCannotOpen);
    holder.release();
}

}  // namespace settings_impl
