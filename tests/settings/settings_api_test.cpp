// The function table: its shape, its null tests, and the contexts, validators
// and key mappers reached through it.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "settings_api_fixture.h"

using settings_test::SettingsApiTest;

namespace {

int countOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(SettingsTableTest, GetApi_FillsIdenticalTables) {
    settings_get_api(nullptr);  // ignored
    unsigned char a[256], b[256];
    std::memset(a, 0xAA, sizeof(a));
    std::memset(b, 0x55, sizeof(b));
    static_assert(sizeof(settings_api) == 256, "256 bytes on x64");
    settings_get_api(reinterpret_cast<settings_api*>(a));
    settings_get_api(reinterpret_cast<settings_api*>(b));
    EXPECT_EQ(0, std::memcmp(a, b, sizeof(a)));
    const void* const* slots = reinterpret_cast<const void* const*>(a);
    for (int i = 0; i < 32; ++i) EXPECT_NE(nullptr, slots[i]) << "slot " << i;
    EXPECT_EQ(slots[27], slots[29]);
    for (int i = 0; i < 32; ++i) {
        if (i != 27 && i != 29) {
            EXPECT_NE(slots[27], slots[i]) << "slot " << i;
        }
    }
    settings_api api;
    settings_get_api(&api);
    EXPECT_EQ(reinterpret_cast<const void*>(slots[11]), reinterpret_cast<const void*>(api.context_get_utf8_value));
}

TEST_F(SettingsApiTest, Destroy_AcceptsNull) {
    api_.context_destroy(nullptr);
    api_.validator_destroy(nullptr);
    api_.validator_builder_destroy(nullptr);
    api_.key_mapper_destroy(nullptr);
    api_.key_mapper_builder_destroy(nullptr);
}

// Every tested argument of every slot, set to null, answers 300 and changes
// nothing.
TEST_F(SettingsApiTest, NullArguments_Answer300AndChangeNothing) {
    settings_context* c = newContext();
    settings_context* other = newContext();
    ASSERT_EQ(0, importText(c, "A=1\nB=x"));
    settings_validator_builder* vb = newValidatorBuilder();
    settings_key_mapper_builder* mb = newMapperBuilder();
    const char* text = "sentinel";
    const uint32_t* lines = nullptr;
    uint32_t count = 7;
    int flag = 7;
    int32_t integer = 7;
    double number = 7;
    settings_validator* validator = nullptr;
    settings_key_mapper* mapper = nullptr;
    FixedValue records[] = {{"x", 1, 0}};
    auto callback = [](settings_context*, uint32_t, uint32_t, const char*, void*) { return 0; };

    const std::vector<std::pair<const char*, std::function<int32_t()>>> calls = {
        {"2 context", [&] { return api_.context_get_system_config_file_path(nullptr, &text); }},
        {"2 out", [&] { return api_.context_get_system_config_file_path(c, nullptr); }},
        {"3 context", [&] { return api_.context_import_from_file(nullptr, "C:\\x", nullptr, nullptr, 0, 0); }},
        {"3 path", [&] { return api_.context_import_from_file(c, nullptr, nullptr, nullptr, 0, 0); }},
        {"4 context", [&] { return api_.context_import_from_string(nullptr, "Z=1", nullptr, nullptr, 0, 0); }},
        {"4 text", [&] { return api_.context_import_from_string(c, nullptr, nullptr, nullptr, 0, 0); }},
        {"5 context", [&] { return api_.context_import_from_context(nullptr, other); }},
        {"5 source", [&] { return api_.context_import_from_context(c, nullptr); }},
        {"6 context", [&] { return api_.context_get_last_import_errors(nullptr, &lines, &count); }},
        {"6 array", [&] { return api_.context_get_last_import_errors(c, nullptr, &count); }},
        {"6 count", [&] { return api_.context_get_last_import_errors(c, &lines, nullptr); }},
        {"7 context", [&] { return api_.context_export_to_file(nullptr, "C:\\x"); }},
        {"7 path", [&] { return api_.context_export_to_file(c, nullptr); }},
        {"8 context", [&] { return api_.context_is_empty(nullptr, &flag); }},
        {"8 out", [&] { return api_.context_is_empty(c, nullptr); }},
        {"9 context", [&] { return api_.context_is_equal(nullptr, other, &flag); }},
        {"9 other", [&] { return api_.context_is_equal(c, nullptr, &flag); }},
        {"9 out", [&] { return api_.context_is_equal(c, other, nullptr); }},
        {"10 context", [&] { return api_.context_iterate_keys(nullptr, callback, nullptr); }},
        {"10 callback", [&] { return api_.context_iterate_keys(c, nullptr, nullptr); }},
        {"11 context", [&] { return api_.context_get_utf8_value(nullptr, "A", &text); }},
        {"11 key", [&] { return api_.context_get_utf8_value(c, nullptr, &text); }},
        {"11 out", [&] { return api_.context_get_utf8_value(c, "A", nullptr); }},
        {"12 context", [&] { return api_.context_get_boolean_value(nullptr, "A", &flag); }},
        {"12 key", [&] { return api_.context_get_boolean_value(c, nullptr, &flag); }},
        {"12 out", [&] { return api_.context_get_boolean_value(c, "A", nullptr); }},
        {"13 context", [&] { return api_.context_get_integer_value(nullptr, "A", &integer); }},
        {"13 key", [&] { return api_.context_get_integer_value(c, nullptr, &integer); }},
        {"13 out", [&] { return api_.context_get_integer_value(c, "A", nullptr); }},
        {"14 context", [&] { return api_.context_get_double_value(nullptr, "A", &number); }},
        {"14 key", [&] { return api_.context_get_double_value(c, nullptr, &number); }},
        {"14 out", [&] { return api_.context_get_double_value(c, "A", nullptr); }},
        {"15 context", [&] { return api_.context_erase_key(nullptr, "A"); }},
        {"15 key", [&] { return api_.context_erase_key(c, nullptr); }},
        {"19 builder", [&] { return api_.validator_builder_create_validator(nullptr, &validator); }},
        {"19 out", [&] { return api_.validator_builder_create_validator(vb, nullptr); }},
        {"20 builder", [&] { return api_.validator_builder_set_utf8_validator(nullptr, "A"); }},
        {"20 key", [&] { return api_.validator_builder_set_utf8_validator(vb, nullptr); }},
        {"21 builder", [&] { return api_.validator_builder_set_integer_validator(nullptr, "A"); }},
        {"21 key", [&] { return api_.validator_builder_set_integer_validator(vb, nullptr); }},
        {"22 builder", [&] { return api_.validator_builder_set_boolean_validator(nullptr, "A"); }},
        {"22 key", [&] { return api_.validator_builder_set_boolean_validator(vb, nullptr); }},
        {"23 builder", [&] { return api_.validator_builder_set_double_validator(nullptr, "A"); }},
        {"23 key", [&] { return api_.validator_builder_set_double_validator(vb, nullptr); }},
        {"24 builder", [&] { return api_.validator_builder_allow_unknown_keys(nullptr, 1); }},
        {"25 builder", [&] { return api_.validator_builder_set_fixed_value_validator(nullptr, "A", records, 1); }},
        {"25 key", [&] { return api_.validator_builder_set_fixed_value_validator(vb, nullptr, records, 1); }},
        {"25 array", [&] { return api_.validator_builder_set_fixed_value_validator(vb, "A", nullptr, 1); }},
        {"26 builder", [&] { return api_.validator_builder_set_dirname_validator(nullptr, "A", 0); }},
        {"26 key", [&] { return api_.validator_builder_set_dirname_validator(vb, nullptr, 0); }},
        {"30 builder", [&] { return api_.key_mapper_builder_create_key_mapper(nullptr, &mapper); }},
        {"30 out", [&] { return api_.key_mapper_builder_create_key_mapper(mb, nullptr); }},
        {"31 builder", [&] { return api_.key_mapper_builder_map(nullptr, "A", "B", 0); }},
        {"31 from", [&] { return api_.key_mapper_builder_map(mb, nullptr, "B", 0); }},
        {"31 to", [&] { return api_.key_mapper_builder_map(mb, "A", nullptr, 0); }},
    };
    for (const auto& call : calls) EXPECT_EQ(300, call.second()) << call.first;

    EXPECT_STREQ("sentinel", text);
    EXPECT_EQ(7u, count);
    EXPECT_EQ(7, flag);
    EXPECT_EQ(7, integer);
    EXPECT_EQ(nullptr, validator);
    EXPECT_EQ(nullptr, mapper);
    EXPECT_EQ((std::vector<std::string>{"A=1", "B=x"}), entries(c));
    // The builders got no rule: a validator of vb refuses the key A.
    settings_context* probe = newContext();
    EXPECT_EQ(313, importText(probe, "A=1", validatorOf(vb)));
    EXPECT_EQ(std::vector<std::string>{"A=1"}, [&] {
        settings_context* mapped = newContext();
        importText(mapped, "A=1", nullptr, mapperOf(mb));
        return entries(mapped);
    }());
}

TEST_F(SettingsApiTest, OutArguments_UntouchedOnFailure) {
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "T=text\nK", nullptr, nullptr, 0, 1));
    const char* text = "sentinel";
    int flag = 7;
    int32_t integer = 7;
    double number = 7;
    EXPECT_EQ(303, api_.context_get_utf8_value(c, "missing", &text));
    EXPECT_EQ(301, api_.context_get_utf8_value(c, "K", &text));
    EXPECT_EQ(303, api_.context_get_boolean_value(c, "missing", &flag));
    EXPECT_EQ(302, api_.context_get_boolean_value(c, "T", &flag));
    EXPECT_EQ(303, api_.context_get_integer_value(c, "missing", &integer));
    EXPECT_EQ(301, api_.context_get_integer_value(c, "K", &integer));
    EXPECT_EQ(302, api_.context_get_integer_value(c, "T", &integer));
    EXPECT_EQ(301, api_.context_get_double_value(c, "K", &number));
    EXPECT_EQ(302, api_.context_get_double_value(c, "T", &number));
    EXPECT_STREQ("sentinel", text);
    EXPECT_EQ(7, flag);
    EXPECT_EQ(7, integer);
    EXPECT_EQ(7, number);
}

TEST_F(SettingsApiTest, TypedReads_OfUntypedValues) {
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "I=0x1F\nD=1e3\nB=yes\nN", nullptr, nullptr, 0, 1));
    int32_t integer = 0;
    double number = 0;
    int flag = 0;
    EXPECT_EQ(0, api_.context_get_integer_value(c, "I", &integer));
    EXPECT_EQ(31, integer);
    EXPECT_EQ(0, api_.context_get_double_value(c, "D", &number));
    EXPECT_EQ(1000, number);
    EXPECT_EQ(0, api_.context_get_boolean_value(c, "B", &flag));
    EXPECT_EQ(1, flag);
    flag = 0;
    EXPECT_EQ(0, api_.context_get_boolean_value(c, "N", &flag));  // no value reads true
    EXPECT_EQ(1, flag);
}

TEST_F(SettingsApiTest, Import_NonStrictKeepsGoodLinesAndReportsEachFault) {
    settings_context* c = newContext();
    testing::internal::CaptureStderr();
    const int32_t status = importText(c, "A=1\nno separator\nB=2\n=empty\nC=3", nullptr, nullptr, 0, 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(313, status);
    EXPECT_EQ((std::vector<std::string>{"A=1", "B=2", "C=3"}), entries(c));
    EXPECT_EQ((std::vector<uint32_t>{1, 3}), lastErrors(c));
    EXPECT_EQ(2, countOf(err, "Error reading config file: "));
    const size_t first = err.find("Error reading config file: \"Key without value\" at line 2; char 1");
    const size_t second = err.find("Error reading config file: \"Empty key\" at line 4; char 1");
    EXPECT_NE(std::string::npos, first) << err;
    EXPECT_NE(std::string::npos, second) << err;
    EXPECT_LT(first, second);
}

TEST_F(SettingsApiTest, Import_StrictLeavesContextUnchanged) {
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "OLD=1"));
    testing::internal::CaptureStderr();
    const int32_t status = importText(c, "A=1\nB=2\nbad line\nC=3\n=x", nullptr, nullptr, 1, 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(313, status);
    EXPECT_EQ(std::vector<std::string>{"OLD=1"}, entries(c));
    EXPECT_EQ(std::vector<uint32_t>{2}, lastErrors(c));
    EXPECT_EQ(1, countOf(err, "Error reading config file: "));

    // A successful import afterwards clears the list.
    EXPECT_EQ(0, importText(c, "D=4"));
    EXPECT_EQ(std::vector<uint32_t>{}, lastErrors(c));
}

TEST_F(SettingsApiTest, Import_MergesOverExistingEntries) {
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "A=2\nB=has value\nC=3"));
    ASSERT_EQ(0, importText(c, "A=1\nB", nullptr, nullptr, 1, 1));
    EXPECT_EQ((std::vector<std::string>{"A=1", "B|", "C=3"}), entries(c));
    EXPECT_EQ(314, importText(c, "A=\x80"));
    EXPECT_EQ((std::vector<std::string>{"A=1", "B|", "C=3"}), entries(c));
}

TEST_F(SettingsApiTest, ImportFromContext_SourceWinsAndErrorsStay) {
    settings_context* a = newContext();
    settings_context* b = newContext();
    testing::internal::CaptureStderr();
    ASSERT_EQ(313, importText(a, "A=1\nB=2\nbad"));
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(0, importText(b, "B=3"));
    ASSERT_EQ(0, api_.context_import_from_context(a, b));
    EXPECT_EQ((std::vector<std::string>{"A=1", "B=3"}), entries(a));
    EXPECT_EQ(std::vector<uint32_t>{2}, lastErrors(a));
    EXPECT_EQ(std::vector<std::string>{"B=3"}, entries(b));
}

TEST_F(SettingsApiTest, EraseKey_MissingIs303AndKeepsEntries) {
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "A=1\nB=2"));
    EXPECT_EQ(303, api_.context_erase_key(c, "C"));
    EXPECT_EQ((std::vector<std::string>{"A=1", "B=2"}), entries(c));
    EXPECT_EQ(0, api_.context_erase_key(c, "A"));
    EXPECT_EQ(std::vector<std::string>{"B=2"}, entries(c));
}

TEST_F(SettingsApiTest, IsEmpty_AndIsEqual) {
    settings_context* a = newContext();
    settings_context* b = newContext();
    int flag = -1;
    ASSERT_EQ(0, api_.context_is_empty(a, &flag));
    EXPECT_EQ(1, flag);
    ASSERT_EQ(0, api_.context_is_equal(a, a, &flag));
    EXPECT_EQ(1, flag);

    // Same entries, inserted in another order.
    ASSERT_EQ(0, importText(a, "X=1\nY=2\nZ", nullptr, nullptr, 0, 1));
    ASSERT_EQ(0, importText(b, "Z\nY=2\nX=1", nullptr, nullptr, 0, 1));
    ASSERT_EQ(0, api_.context_is_empty(a, &flag));
    EXPECT_EQ(0, flag);
    ASSERT_EQ(0, api_.context_is_equal(a, b, &flag));
    EXPECT_EQ(1, flag);

    // The first key without value on both sides, a later key differing.
    settings_context* c = newContext();
    settings_context* d = newContext();
    ASSERT_EQ(0, importText(c, "A\nB=1", nullptr, nullptr, 0, 1));
    ASSERT_EQ(0, importText(d, "A\nB=2", nullptr, nullptr, 0, 1));
    ASSERT_EQ(0, api_.context_is_equal(c, d, &flag));
    EXPECT_EQ(0, flag);

    // An integer and a UTF-8 text of the same text differ by type.
    settings_validator_builder* ib = newValidatorBuilder();
    api_.validator_builder_set_integer_validator(ib, "N");
    settings_validator_builder* tb = newValidatorBuilder();
    api_.validator_builder_set_utf8_validator(tb, "N");
    settings_context* e = newContext();
    settings_context* f = newContext();
    ASSERT_EQ(0, importText(e, "N=5", validatorOf(ib)));
    ASSERT_EQ(0, importText(f, "N=5", validatorOf(tb)));
    ASSERT_EQ(0, api_.context_is_equal(e, f, &flag));
    EXPECT_EQ(0, flag);
    // Untyped 100 and text 101 differ too.
    settings_context* g = newContext();
    ASSERT_EQ(0, importText(g, "N=5"));
    ASSERT_EQ(0, api_.context_is_equal(f, g, &flag));
    EXPECT_EQ(0, flag);
}

TEST_F(SettingsApiTest, IterateKeys_CallbackMayEraseKeys) {
    settings_context* c = newContext();
    int calls = 0;
    ASSERT_EQ(0, api_.context_iterate_keys(
                     c, [](settings_context*, uint32_t, uint32_t, const char*, void* user) {
                         ++*static_cast<int*>(user);
                         return 0;
                     },
                     &calls));
    EXPECT_EQ(0, calls);

    ASSERT_EQ(0, importText(c, "C=3\nA=1\nB=2"));
    struct Visit {
        settings_api* api;
        std::vector<std::string> seen;
    } visit{&api_, {}};
    ASSERT_EQ(0, api_.context_iterate_keys(
                     c,
                     [](settings_context* context, uint32_t count, uint32_t index, const char* key, void* user) {
                         Visit* v = static_cast<Visit*>(user);
                         v->seen.push_back(std::to_string(index) + "/" + std::to_string(count) + ":" + key);
                         // Replaces the configuration the key list came from.
                         EXPECT_EQ(0, v->api->context_erase_key(context, key));
                         return 1;
                     },
                     &visit));
    EXPECT_EQ((std::vector<std::string>{"0/3:A", "1/3:B", "2/3:C"}), visit.seen);
    int empty = 0;
    ASSERT_EQ(0, api_.context_is_empty(c, &empty));
    EXPECT_EQ(1, empty);
}

TEST_F(SettingsApiTest, SystemConfigFilePath_EndsInSettingsFile) {
    settings_context* c = newContext();
    const char* path = nullptr;
    ASSERT_EQ(0, api_.context_get_system_config_file_path(c, &path));
    const std::string text = path;
    const std::string suffix = "\\Quorvane\\Tolva\\tolva.settings.cfg";
    ASSERT_GT(text.size(), suffix.size());
    EXPECT_EQ(suffix, text.substr(text.size() - suffix.size()));
}

// ---- Validators ----

TEST_F(SettingsApiTest, Validator_UnknownKeys) {
    settings_validator_builder* vb = newValidatorBuilder();
    settings_validator* refusing = validatorOf(vb);
    ASSERT_EQ(0, api_.validator_builder_allow_unknown_keys(vb, 5));
    settings_validator* allowing = validatorOf(vb);  // the first one is a snapshot

    settings_context* c = newContext();
    testing::internal::CaptureStderr();
    EXPECT_EQ(313, importText(c, "K=v", refusing));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("\"Invalid key\" at line 1; char 1")) << err;
    // A key-only line is stored without asking the validator.
    EXPECT_EQ(0, importText(c, "ONLY", refusing, nullptr, 1, 1));
    EXPECT_EQ(0, importText(c, "K=v", allowing));
    EXPECT_EQ((std::vector<std::string>{"K=v", "ONLY|"}), entries(c));
    int32_t n = 0;
    ASSERT_EQ(0, importText(c, "K=12", allowing));
    EXPECT_EQ(0, api_.context_get_integer_value(c, "K", &n));  // untyped, converted on demand
    EXPECT_EQ(12, n);
}

struct FixedCase {
    uint32_t flags;
    const char* text;
    bool accepted;
    int32_t value;
};

class FixedValueTest : public SettingsApiTest, public ::testing::WithParamInterface<FixedCase> {};

TEST_P(FixedValueTest, FixedValue_SwitchRecords) {
    const FixedCase& c = GetParam();
    settings_validator_builder* vb = newValidatorBuilder();
    const FixedValue records[] = {
        {"Enable", 1, c.flags}, {"Disable", 0, c.flags}, {"1", 1, c.flags}, {"0", 0, c.flags}};
    ASSERT_EQ(0, api_.validator_builder_set_fixed_value_validator(vb, "S", records, 4));
    settings_context* ctx = newContext();
    testing::internal::CaptureStderr();
    const int32_t status = importText(ctx, std::string("S=") + c.text, validatorOf(vb));
    testing::internal::GetCapturedStderr();
    if (!c.accepted) {
        EXPECT_EQ(313, status) << c.text;
        return;
    }
    ASSERT_EQ(0, status) << c.text;
    int32_t value = -1;
    const char* stored = nullptr;
    ASSERT_EQ(0, api_.context_get_integer_value(ctx, "S", &value));
    ASSERT_EQ(0, api_.context_get_utf8_value(ctx, "S", &stored));
    EXPECT_EQ(c.value, value);
    EXPECT_STREQ(c.text, stored);  // the text as read
    int flag = 0;
    EXPECT_EQ(301, api_.context_get_boolean_value(ctx, "S", &flag));  // an integer, not a boolean
}

INSTANTIATE_TEST_SUITE_P(
    Records, FixedValueTest,
    ::testing::Values(FixedCase{1, "Enable", true, 1}, FixedCase{1, "Disable", true, 0}, FixedCase{1, "1", true, 1},
                      FixedCase{1, "0", true, 0}, FixedCase{1, "enable", false, 0},
                      FixedCase{1, "DISABLE", false, 0}, FixedCase{1, "2", false, 0},
                      FixedCase{0, "Enable", true, 1}, FixedCase{0, "eNaBlE", true, 1},
                      FixedCase{0, "DISABLE", true, 0}, FixedCase{0, "0", true, 0}, FixedCase{0, "on", false, 0},
                      FixedCase{0, "", false, 0}));

TEST_F(SettingsApiTest, FixedValue_LastAddedWinsAmongMatches) {
    auto valueFor = [&](uint32_t flags, const char* text, int32_t* out) {
        settings_validator_builder* vb = newValidatorBuilder();
        const FixedValue records[] = {{"High", 1, flags}, {"HIGH", 2, flags}};
        EXPECT_EQ(0, api_.validator_builder_set_fixed_value_validator(vb, "L", records, 2));
        settings_context* c = newContext();
        testing::internal::CaptureStderr();
        const int32_t status = importText(c, std::string("L=") + text, validatorOf(vb));
        testing::internal::GetCapturedStderr();
        if (status == 0) api_.context_get_integer_value(c, "L", out);
        return status;
    };
    int32_t v = 0;
    EXPECT_EQ(0, valueFor(0, "high", &v));
    EXPECT_EQ(2, v);
    EXPECT_EQ(0, valueFor(0, "High", &v));
    EXPECT_EQ(2, v);
    EXPECT_EQ(0, valueFor(1, "High", &v));
    EXPECT_EQ(1, v);
    EXPECT_EQ(313, valueFor(1, "high", &v));
}

TEST_F(SettingsApiTest, FixedValue_StoreOwnTextAndOverwriteInPlace) {
    settings_validator_builder* vb = newValidatorBuilder();
    const FixedValue first[] = {{"VH", 4, 2}, {"L", 1, 0}};
    ASSERT_EQ(0, api_.validator_builder_set_fixed_value_validator(vb, "Q", first, 2));
    // Same text: overwrites in place; count 0 changes nothing.
    const FixedValue second[] = {{"L", 9, 0}};
    ASSERT_EQ(0, api_.validator_builder_set_fixed_value_validator(vb, "Q", second, 1));
    ASSERT_EQ(0, api_.validator_builder_set_fixed_value_validator(vb, "Q", second, 0));
    settings_validator* v = validatorOf(vb);
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "Q=vh", v));
    const char* text = nullptr;
    int32_t value = 0;
    ASSERT_EQ(0, api_.context_get_utf8_value(c, "Q", &text));
    EXPECT_STREQ("VH", text);
    ASSERT_EQ(0, api_.context_get_integer_value(c, "Q", &value));
    EXPECT_EQ(4, value);
    ASSERT_EQ(0, importText(c, "Q=l", v));
    ASSERT_EQ(0, api_.context_get_integer_value(c, "Q", &value));
    EXPECT_EQ(9, value);
}

TEST_F(SettingsApiTest, FixedValue_NullRecordTextAddsNothing) {
    settings_validator_builder* vb = newValidatorBuilder();
    ASSERT_EQ(0, api_.validator_builder_set_integer_validator(vb, "S"));
    const FixedValue records[] = {{"Enable", 1, 0}, {nullptr, 0, 0}};
    EXPECT_EQ(300, api_.validator_builder_set_fixed_value_validator(vb, "S", records, 2));
    // The integer rule is still the key's rule: "Enable" is refused, 7 taken.
    settings_validator* v = validatorOf(vb);
    settings_context* c = newContext();
    testing::internal::CaptureStderr();
    EXPECT_EQ(313, importText(c, "S=Enable", v));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(0, importText(c, "S=7", v));
}

TEST_F(SettingsApiTest, Rules_LastKindReplacesOthers) {
    settings_validator_builder* vb = newValidatorBuilder();
    ASSERT_EQ(0, api_.validator_builder_set_integer_validator(vb, "A"));
    const FixedValue records[] = {{"On", 1, 0}};
    ASSERT_EQ(0, api_.validator_builder_set_fixed_value_validator(vb, "A", records, 1));
    ASSERT_EQ(0, api_.validator_builder_set_dirname_validator(vb, "B", 0));
    ASSERT_EQ(0, api_.validator_builder_set_integer_validator(vb, "B"));
    settings_validator* v = validatorOf(vb);
    settings_context* c = newContext();
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, importText(c, "A=on\nB=5", v));
    EXPECT_EQ(313, importText(c, "A=5", v));
    EXPECT_EQ(313, importText(c, "B=C:\\dir", v));
    testing::internal::GetCapturedStderr();
    int32_t value = 0;
    ASSERT_EQ(0, api_.context_get_integer_value(c, "B", &value));
    EXPECT_EQ(5, value);
}

TEST_F(SettingsApiTest, TypeRules_TypedValues) {
    settings_validator_builder* vb = newValidatorBuilder();
    api_.validator_builder_set_integer_validator(vb, "I");
    api_.validator_builder_set_boolean_validator(vb, "B");
    api_.validator_builder_set_double_validator(vb, "D");
    api_.validator_builder_set_utf8_validator(vb, "T");
    settings_validator* v = validatorOf(vb);
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "I=010\nB=False\nD=2.5\nT=0x10", v));
    int32_t integer = 0;
    int flag = 1;
    double number = 0;
    EXPECT_EQ(0, api_.context_get_integer_value(c, "I", &integer));
    EXPECT_EQ(8, integer);
    EXPECT_EQ(0, api_.context_get_boolean_value(c, "B", &flag));
    EXPECT_EQ(0, flag);
    EXPECT_EQ(0, api_.context_get_double_value(c, "D", &number));
    EXPECT_EQ(2.5, number);
    EXPECT_EQ(301, api_.context_get_integer_value(c, "T", &integer));  // text, not converted
    EXPECT_EQ(301, api_.context_get_integer_value(c, "D", &integer));
    const char* text = nullptr;
    EXPECT_EQ(0, api_.context_get_utf8_value(c, "I", &text));
    EXPECT_STREQ("010", text);
    testing::internal::CaptureStderr();
    EXPECT_EQ(313, importText(c, "I=ten\nB=maybe\nD=x", v));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(3, countOf(err, "\"Invalid value\""));
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), lastErrors(c));
}

struct DirnameCase {
    const char* value;
    int anyText;
    bool accepted;
};

class DirnameTest : public SettingsApiTest, public ::testing::WithParamInterface<DirnameCase> {};

TEST_P(DirnameTest, Dirname_PathTest) {
    const DirnameCase& c = GetParam();
    settings_validator_builder* vb = newValidatorBuilder();
    ASSERT_EQ(0, api_.validator_builder_set_dirname_validator(vb, "DIR", c.anyText));
    settings_context* ctx = newContext();
    testing::internal::CaptureStderr();
    const int32_t status = importText(ctx, std::string("DIR=") + c.value, validatorOf(vb));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.accepted ? 0 : 313, status) << c.value;
    if (c.accepted) {
        const char* text = nullptr;
        ASSERT_EQ(0, api_.context_get_utf8_value(ctx, "DIR", &text));
        EXPECT_STREQ(c.value, text);  // as read, not prepared
        int32_t n = 0;
        EXPECT_EQ(301, api_.context_get_integer_value(ctx, "DIR", &n));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, DirnameTest,
    ::testing::Values(DirnameCase{"C:\\Program Files\\App", 0, true}, DirnameCase{"d:/apps/./x/", 0, true},
                      DirnameCase{"C:", 0, true}, DirnameCase{"z:\\", 0, true},
                      DirnameCase{"relative\\dir", 0, false},
                      DirnameCase{"\\\\server\\share", 0, false}, DirnameCase{"C\\dir", 0, false},
                      DirnameCase{"", 0, false}, DirnameCase{"C:\\a|b", 0, false},
                      DirnameCase{"C:\\dir\\CON", 0, false}, DirnameCase{"1:\\dir", 0, false},
                      DirnameCase{"relative\\dir", 1, true}, DirnameCase{"", 1, true},
                      DirnameCase{"C:\\a|b", 1, true}));

// ---- Key mappers ----

TEST_F(SettingsApiTest, KeyMapper_EmptyBuilderKeepsKeys) {
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "Key=1\nkey=2", nullptr, mapperOf(newMapperBuilder())));
    EXPECT_EQ((std::vector<std::string>{"Key=1", "key=2"}), entries(c));
}

struct MapperCase {
    const char* name;
    std::vector<std::vector<std::string>> mappings;  // from, to, exact ("1") or not
    std::string text;
    std::vector<std::string> expected;
};

class KeyMapperTest : public SettingsApiTest, public ::testing::WithParamInterface<MapperCase> {};

TEST_P(KeyMapperTest, KeyMapper_Mappings) {
    const MapperCase& c = GetParam();
    settings_key_mapper_builder* mb = newMapperBuilder();
    for (const auto& m : c.mappings) {
        ASSERT_EQ(0, api_.key_mapper_builder_map(mb, m[0].c_str(), m[1].c_str(), m[2] == "1"));
    }
    settings_context* ctx = newContext();
    ASSERT_EQ(0, importText(ctx, c.text, nullptr, mapperOf(mb), 1, 1));
    EXPECT_EQ(c.expected, entries(ctx));
}

INSTANTIATE_TEST_SUITE_P(
    Mappings, KeyMapperTest,
    ::testing::Values(
        MapperCase{"FoldsCase", {{"INSTALL_SILENT", "INSTALL_SILENT", "0"}}, "install_silent=1", {"INSTALL_SILENT=1"}},
        MapperCase{"FoldsKeyOnly", {{"INSTALL_SILENT", "INSTALL_SILENT", "0"}}, "Install_Silent", {"INSTALL_SILENT|"}},
        MapperCase{"ExactKeepsOtherSpellings",
                   {{"INSTALL_SILENT", "INSTALL_SILENT", "1"}},
                   "install_silent=1\nINSTALL_SILENT=2",
                   {"INSTALL_SILENT=2", "install_silent=1"}},
        MapperCase{"LastRegisteredWins", {{"A", "X", "0"}, {"a", "Y", "0"}}, "A=1", {"Y=1"}},
        MapperCase{"NotMappedTwice", {{"P", "Q", "0"}, {"Q", "R", "0"}}, "P=1", {"Q=1"}},
        MapperCase{"UnmatchedStays", {{"A", "B", "0"}}, "C=1", {"C=1"}}),
    [](const ::testing::TestParamInfo<MapperCase>& info) { return std::string(info.param.name); });

TEST_F(SettingsApiTest, KeyMapper_AppliedBeforeValidator) {
    settings_key_mapper_builder* mb = newMapperBuilder();
    api_.key_mapper_builder_map(mb, "COUNT", "COUNT", 0);
    settings_validator_builder* vb = newValidatorBuilder();
    api_.validator_builder_set_integer_validator(vb, "COUNT");
    settings_context* c = newContext();
    ASSERT_EQ(0, importText(c, "count=3", validatorOf(vb), mapperOf(mb)));
    int32_t n = 0;
    ASSERT_EQ(0, api_.context_get_integer_value(c, "COUNT", &n));
    EXPECT_EQ(3, n);
}

}  // namespace
