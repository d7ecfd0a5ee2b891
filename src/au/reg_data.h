#pragma once
// Typed access to the update-policy values by descriptor, in the 32-bit
// registry view, with optional DPAPI protection of DWORD values.

#include <cstdint>
#include <string>

class RegistryKey;

namespace au {

struct ConfigImpl;

class RegData {
public:
    // Locations: 0 HKLM "SOFTWARE\TolvaSoft\Tolva Update\Policy", 1 its
    // "tucheck" subkey, 2 the same policy key under HKCU.
    enum Location : int32_t { kPolicy = 0, kPolicyCheck = 1, kUserPolicy = 2 };
    // 0 plain REG_DWORD; 1 REG_BINARY user-scope DPAPI blob; 2 REG_SZ Base64
    // of a machine-scope DPAPI blob.
    enum EncryptionType : int32_t { kPlain = 0, kUserBlob = 1, kMachineBase64 = 2 };

    struct DwordValue {
        int32_t location;
        const char* name;
        int32_t encryptionType;
    };
    struct StringValue {
        int32_t location;
        const char* name;
    };

    // The policy's value set.
    static const DwordValue kFrequency;
    static const DwordValue kUpdateSchedule;
    static const DwordValue kUpdateMin;
    static const DwordValue kNotifyDownload;
    static const DwordValue kNotifyInstall;
    static const StringValue kScheduleId;
    static const StringValue kLastUpdateBeginTime;
    static const StringValue kLastUpdateFinishTime;
    static const StringValue kLastUDCheckTime;
    static const DwordValue kOemDelay;
    static const DwordValue kOobd;
    static const DwordValue kStartupDelay;
    static const DwordValue kSdvc;
    static const StringValue kUpdateServletUrl;
    static const StringValue kManualUpdateServletUrl;

    // The value, decrypted as its type says (type 2 counts as 0 below level
    // 1). Logs "getValue(DWORD) failed: <text>" at ERROR and rethrows any
    // std::exception (an absent value fails as "query value (<name>) error: 2").
    static uint32_t getValue(ConfigImpl& impl, const DwordValue& value);
    // Writes the value in its stored form; logs "setValue(DWORD) failed: <text>"
    // and rethrows.
    static void setValue(ConfigImpl& impl, const DwordValue& value, uint32_t data);
    // The cached key of the location (location 1 is location 0 below level
    // 1), opened on first use: created with read and write access for
    // writing, read access otherwise. An open failure propagates and leaves
    // the cache slot empty; an unknown location throws std::logic_error
    // "unknown reg location".
    static RegistryKey& getKey(ConfigImpl& impl, int32_t location, bool forWriting);
};

}  // namespace au
