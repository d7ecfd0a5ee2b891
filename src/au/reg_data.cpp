#include "au/reg_data.h"

#include <stdexcept>

#include "au/config_internal.h"
#include "au/data_protection.h"
#include "foundation/logger.h"
#include "foundation/registry_key.h"
#include "foundation/tstrings.h"

namespace au {

const RegData::DwordValue RegData::kFrequency = {kPolicyCheck, "Frequency", kMachineBase64};
const RegData::DwordValue RegData::kUpdateSchedule = {kPolicyCheck, "UpdateSchedule", kMachineBase64};
const RegData::DwordValue RegData::kUpdateMin = {kPolicyCheck, "UpdateMin", kMachineBase64};
const RegData::DwordValue RegData::kNotifyDownload = {kPolicyCheck, "NotifyDownload", kPlain};
const RegData::DwordValue RegData::kNotifyInstall = {kPolicyCheck, "NotifyInstall", kPlain};
const RegData::StringValue RegData::kScheduleId = {kPolicyCheck, "ScheduleId"};
const RegData::StringValue RegData::kLastUpdateBeginTime = {kPolicyCheck, "LastUpdateBeginTime"};
const RegData::StringValue RegData::kLastUpdateFinishTime = {kPolicyCheck, "LastUpdateFinishTime"};
const RegData::StringValue RegData::kLastUDCheckTime = {kPolicyCheck, "LastUDCheckTime"};
const RegData::DwordValue RegData::kOemDelay = {kPolicy, "OEMDelay", kPlain};
const RegData::DwordValue RegData::kOobd = {kUserPolicy, "OOBD", kUserBlob};
const RegData::DwordValue RegData::kStartupDelay = {kPolicy, "StartupDelay", kPlain};
const RegData::DwordValue RegData::kSdvc = {kUserPolicy, "SDVC", kUserBlob};
const RegData::StringValue RegData::kUpdateServletUrl = {kPolicy, "UpdateServletURL"};
const RegData::StringValue RegData::kManualUpdateServletUrl = {kPolicy, "ManualUpdateServletURL"};

namespace {

const char kPolicyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy";
const char kPolicyCheckKey[] = "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy\\tucheck";

int32_t effectiveType(const ConfigImpl& impl, int32_t type) {
    return (type == RegData::kMachineBase64 && impl.level < 1) ? RegData::kPlain : type;
}

}  // namespace

ConfigImpl::~ConfigImpl() {
    for (RegistryKey*& key : keys) {
        delete key;
        key = nullptr;
    }
}

RegistryKey& RegData::getKey(ConfigImpl& impl, int32_t location, bool forWriting) {
    if (impl.level < 1 && location == kPolicyCheck)
        location = kPolicy;
    const RegistryKey* root = nullptr;
    const char* subkey = nullptr;
    switch (location) {
    case kPolicy:
        root = &RegistryKey::localMachine32;
        subkey = kPolicyKey;
        break;
    case kPolicyCheck:
        root = &RegistryKey::localMachine32;
        subkey = kPolicyCheckKey;
        break;
    case kUserPolicy:
        root = &RegistryKey::currentUser32;
        subkey = kPolicyKey;
        break;
    default:
        throw std::logic_error("unknown reg location");
    }
    RegistryKey*& slot = impl.keys[location * 2 + (forWriting ? 0 : 1)];
    if (!slot)
        slot = new RegistryKey(*root, subkey, forWriting ? RegistryKey::Write : RegistryKey::Read);
    return *slot;
}

uint32_t RegData::getValue(ConfigImpl& impl, const DwordValue& value) {
    try {
        RegistryKey& key = getKey(impl, value.location, false);
        switch (effectiveType(impl, value.encryptionType)) {
        case kPlain:
            return key.getDword(value.name);
        case kUserBlob:
            return decryptDword(key.getBinary(value.name));
        case kMachineBase64:
            return decryptDwordFromString(key.getString(value.name));
        default:
            throw std::logic_error("unknown encryptionType");
        }
    } catch (const std::exception& e) {
        TDS_LOG_ERROR("au::RegData::getValue", "getValue(DWORD) failed: %s", e.what());
        throw;
    }
}

void RegData::setValue(ConfigImpl& impl, const DwordValue& value, uint32_t data) {
    try {
        RegistryKey& key = getKey(impl, value.location, true);
        switch (effectiveType(impl, value.encryptionType)) {
        case kPlain:
            key.setDword(value.name, data);
            break;
        case kUserBlob:
            key.setBinary(value.name, encryptDword(data));
            break;
        case kMachineBase64:
            key.setString(value.name, encryptDwordToString(data));
            break;
        default:
            throw std::logic_error("unknown encryptionType");
        }
    } catch (const std::exception& e) {
        TDS_LOG_ERROR("au::RegData::setValue", "setValue(DWORD) failed: %s", e.what());
        throw;
    }
}

}  // namespace au
