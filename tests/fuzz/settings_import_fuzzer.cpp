// The plain-text settings format through the library's function table:
// - a file imports exactly as the same text does (status, entries, faulty lines);
// - strict and non-strict imports agree on the first faulty line, and a
//   strict import that fails keeps nothing;
// - a non-strict import of plain text only ever drops faulty lines (status 0
//   or 313), and faulty lines are reported in ascending order;
// - what is exported imports again (same rules) to the same context.
//
// Input: the first byte picks the import flags and the validator set, the
// rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/logger_internal.h"
#include "fuzz/fuzz_support.h"
#include "settings/settings_api.h"
#include "settings/settings_test_files.h"

namespace {

settings_api api;
settings_validator* validator = nullptr;
settings_key_mapper* mapper = nullptr;
settings_test::TempFolder* folder = nullptr;

const FixedValue kFixed[] = {{"x", 1, 1}, {"Y", 2, 2}, {"Zed", 3, 3}};

// A validator over every kind of rule the library has, with unknown keys
// allowed, and a mapper that folds two keys to their registered spelling.
void buildRules() {
    settings_validator_builder* vb = api.validator_builder_create();
    api.validator_builder_set_utf8_validator(vb, "A");
    api.validator_builder_set_integer_validator(vb, "B");
    api.validator_builder_set_boolean_validator(vb, "C");
    api.validator_builder_set_double_validator(vb, "D");
    api.validator_builder_set_fixed_value_validator(vb, "E", kFixed, 3);
    api.validator_builder_set_dirname_validator(vb, "F", 0);
    api.validator_builder_set_dirname_validator(vb, "G", 1);
    api.validator_builder_allow_unknown_keys(vb, 1);
    api.validator_builder_create_validator(vb, &validator);
    api.validator_builder_destroy(vb);

    settings_key_mapper_builder* mb = api.key_mapper_builder_create();
    api.key_mapper_builder_map(mb, "a", "A", 0);
    api.key_mapper_builder_map(mb, "e", "E", 0);
    api.key_mapper_builder_map(mb, "b", "B", 1);
    api.key_mapper_builder_create_key_mapper(mb, &mapper);
    api.key_mapper_builder_destroy(mb);
}

struct Outcome {
    int32_t status = -1;
    std::vector<uint32_t> errors;
};

class Context {
public:
    Context() : handle_(api.context_create()) {}
    ~Context() { api.context_destroy(handle_); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    settings_context* get() const { return handle_; }

    Outcome importText(const std::string& text, const settings_validator* v, const settings_key_mapper* m,
                       int strict, int keyOnly) {
        fuzz_support::QuietStderr quiet;
        Outcome o;
        o.status = api.context_import_from_string(handle_, text.c_str(), v, m, strict, keyOnly);
        o.errors = lastErrors();
        return o;
    }
    Outcome importFile(const std::string& path, const settings_validator* v, const settings_key_mapper* m,
                       int strict, int keyOnly) {
        fuzz_support::QuietStderr quiet;
        Outcome o;
        o.status = api.context_import_from_file(handle_, path.c_str(), v, m, strict, keyOnly);
        o.errors = lastErrors();
        return o;
    }
    bool equals(const Context& other) const {
        int equal = 0;
        return api.context_is_equal(handle_, other.handle_, &equal) == 0 && equal == 1;
    }
    bool empty() const {
        int isEmpty = 0;
        return api.context_is_empty(handle_, &isEmpty) == 0 && isEmpty == 1;
    }

private:
    std::vector<uint32_t> lastErrors() const {
        const uint32_t* lines = nullptr;
        uint32_t count = 0;
        if (api.context_get_last_import_errors(handle_, &lines, &count) != 0 || !lines)
            return {};
        return std::vector<uint32_t>(lines, lines + count);
    }

    settings_context* handle_;
};

std::string describe(const Outcome& o) {
    std::string text = "status " + std::to_string(o.status) + ", lines";
    for (uint32_t line : o.errors)
        text += " " + std::to_string(line);
    return text;
}

bool isPlainText(const std::string& bytes) {
    // Lead bytes announce 1 to 5 continuation bytes; a continuation byte
    // without its lead, 0xFE/0xFF and cut sequences are not plain text.
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        size_t extra;
        if (b < 0x80) extra = 0;
        else if ((b & 0xE0) == 0xC0) extra = 1;
        else if ((b & 0xF0) == 0xE0) extra = 2;
        else if ((b & 0xF8) == 0xF0) extra = 3;
        else if ((b & 0xFC) == 0xF8) extra = 4;
        else if ((b & 0xFE) == 0xFC) extra = 5;
        else return false;
        if (extra > bytes.size() - i - 1) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::initReports();
    LoggerTestAccess::setPath("");
    settings_get_api(&api);
    buildRules();
    folder = new settings_test::TempFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t flags = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const int keyOnly = flags & 1;
    const bool withRules = (flags & 2) != 0;
    const settings_validator* v = withRules ? validator : nullptr;
    const settings_key_mapper* m = withRules ? mapper : nullptr;

    const std::string input = folder->file("input.cfg");
    settings_test::writeBytes(input, text);
    const bool plain = isPlainText(text);

    // Non-strict and strict reads of the file.
    Context loose;
    const Outcome looseOutcome = loose.importFile(input, v, m, 0, keyOnly);
    Context strict;
    const Outcome strictOutcome = strict.importFile(input, v, m, 1, keyOnly);

    if (!plain) {
        FUZZ_CHECK(looseOutcome.status == 314 && strictOutcome.status == 314,
                   describe(looseOutcome) + " / " + describe(strictOutcome) + " for " + fuzz_support::show(text));
        FUZZ_CHECK(loose.empty() && strict.empty(), "a refused text left entries");
        return 0;
    }
    FUZZ_CHECK(looseOutcome.status == (looseOutcome.errors.empty() ? 0 : 313),
               describe(looseOutcome) + " for " + fuzz_support::show(text));
    for (size_t i = 1; i < looseOutcome.errors.size(); ++i)
        FUZZ_CHECK(looseOutcome.errors[i - 1] < looseOutcome.errors[i], describe(looseOutcome));
    if (looseOutcome.errors.empty()) {
        FUZZ_CHECK(strictOutcome.status == 0 && strictOutcome.errors.empty(), describe(strictOutcome));
        FUZZ_CHECK(strict.equals(loose), "strict and non-strict reads of a good text differ");
    } else {
        FUZZ_CHECK(strictOutcome.status == 313, describe(strictOutcome) + " for " + fuzz_support::show(text));
        FUZZ_CHECK(strictOutcome.errors.size() == 1 && strictOutcome.errors[0] == looseOutcome.errors[0],
                   describe(strictOutcome) + " / " + describe(looseOutcome) + " for " + fuzz_support::show(text));
        FUZZ_CHECK(strict.empty(), "a failed strict read kept entries");
    }

    // The same text given as a string (which ends at its first NUL).
    const std::string upToNul(text.c_str());
    if (upToNul.size() == text.size()) {
        for (int s : {0, 1}) {
            Context fromText;
            const Outcome t = fromText.importText(text, v, m, s, keyOnly);
            const Outcome& f = s ? strictOutcome : looseOutcome;
            FUZZ_CHECK(t.status == f.status && t.errors == f.errors,
                       "text " + describe(t) + ", file " + describe(f) + " for " + fuzz_support::show(text));
            FUZZ_CHECK(fromText.equals(s ? strict : loose), "text and file imports differ");
        }
    }

    // Export, then import the exported file with the same rules (stored
    // values keep their types through them): the same entries.
    const std::string exported = folder->file("exported.cfg");
    std::remove((exported.substr(2)).c_str());
    const int32_t exportStatus = api.context_export_to_file(loose.get(), exported.c_str());
    FUZZ_CHECK(exportStatus == 0, "export failed with " + std::to_string(exportStatus));
    Context reread;
    const Outcome r = reread.importFile(exported, v, m, 1, 1);
    FUZZ_CHECK(r.status == 0, describe(r) + " reading back " +
                                  fuzz_support::show(settings_test::readBytes(exported)));
    FUZZ_CHECK(reread.equals(loose), "exported " + fuzz_support::show(settings_test::readBytes(exported)) +
                                         " from " + fuzz_support::show(text));
    return 0;
}
