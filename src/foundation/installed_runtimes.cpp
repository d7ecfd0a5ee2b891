#include "foundation/installed_runtimes.h"

#include <cstring>

#include "foundation/registry_key.h"
#include "foundation/sys_info.h"

namespace {

const char kFamilyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment";
const size_t kMaxPath = 260;

bool isReadableFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

}  // namespace

std::optional<std::string> RegValueData::getString() const {
    if (type != REG_SZ)
        return std::nullopt;
    const char* text = reinterpret_cast<const char*>(bytes.data());
    size_t length = 0;
    while (length < bytes.size() && text[length] != '\0')
        ++length;
    return std::string(text, length);
}

RegValueData RegKey::Value::read() const {
    RegValueData data;
    key_->queryValue(name_, data);
    return data;
}

LONG RegKey::open(const std::string& subkey, REGSAM access) {
    close();
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(root_, subkey.c_str(), 0, access, &key);
    if (result == ERROR_SUCCESS) {
        key_ = key;
        opened_ = true;
    }
    return result;
}

void RegKey::close() {
    if (opened_)
        RegCloseKey(key_);
    key_ = nullptr;
    opened_ = false;
}

LONG RegKey::enumKey(DWORD index, std::string& name) const {
    if (!opened_)
        return ERROR_INVALID_HANDLE;
    char buffer[128];
    const LONG result = RegEnumKeyA(key_, index, buffer, sizeof(buffer));
    if (result == ERROR_SUCCESS)
        name.assign(buffer, strnlen(buffer, sizeof(buffer)));
    return result;
}

LONG RegKey::queryValue(const std::string& name, RegValueData& data) const {
    if (!opened_)
        return ERROR_INVALID_HANDLE;
    // The value may grow between the size query and the read: ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        LONG result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
        if (result != ERROR_SUCCESS)
            return result;
        std::vector<uint8_t> bytes(size);
        result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, bytes.empty() ? nullptr : bytes.data(), &size);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            return result;
        bytes.resize(size);
        data.type = type;
        data.bytes = std::move(bytes);
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

const InstalledTolvaVersions::Entry* InstalledTolvaVersions::TolvaVersionList::getLatest() const {
    const Entry* latest = nullptr;
    for (size_t i = 0; i < count_; ++i) {
        if (!latest || _stricmp(entries_[i]->version.c_str(), latest->version.c_str()) > 0)
            latest = entries_[i].get();
    }
    return latest;
}

InstalledTolvaVersions::InstalledTolvaVersions() : InstalledTolvaVersions(SysInfo::isNativeAmd64()) {}

InstalledTolvaVersions::InstalledTolvaVersions(bool nativeAmd64) {
    count32_ = enumerate(1, nativeAmd64);
    enumerate(2, nativeAmd64);
}

InstalledTolvaVersions::TolvaVersionList InstalledTolvaVersions::getList(int kind) const {
    switch (kind) {
    case 1:
        return TolvaVersionList(entries_.data(), count32_);
    case 0:
    case 2:
        return TolvaVersionList(entries_.data() + count32_, entries_.size() - count32_);
    case 3:
        return TolvaVersionList(entries_.data(), entries_.size());
    default:
        return TolvaVersionList(entries_.data(), 0);
    }
}

size_t InstalledTolvaVersions::enumerate(int view, bool nativeAmd64) {
    REGSAM access = KEY_READ;
    if (view == 1)
        access |= KEY_WOW64_32KEY;
    else if (view == 2 && nativeAmd64)
        access |= KEY_WOW64_64KEY;
    else
        return 0;
    const RegistryKey& root = view == 1 ? RegistryKey::localMachine32 : RegistryKey::localMachine64;

    RegKey family(HKEY_LOCAL_MACHINE);
    if (family.open(kFamilyKey, access) != ERROR_SUCCESS)
        return 0;

    const size_t firstOfView = entries_.size();
    size_t added = 0;
    for (DWORD index = 0;; ++index) {
        std::string name;
        const LONG result = family.enumKey(index, name);
        if (result == ERROR_MORE_DATA)
            continue;  // a name too long for any version: not ours, go on
        if (result != ERROR_SUCCESS)
            break;

        const std::string keyPath = std::string(kFamilyKey) + "\\" + name;
        RegKey versionKey(HKEY_LOCAL_MACHINE);
        if (versionKey.open(keyPath, access) != ERROR_SUCCESS)
            continue;
        const std::optional<std::string> home = versionKey.getValue("TolvaHome").read().getString();
        if (!home)
            continue;
        std::optional<std::string> fullVersion;
        RegKey msi(HKEY_LOCAL_MACHINE);
        if (msi.open(keyPath + "\\MSI", access) == ERROR_SUCCESS)
            fullVersion = msi.getValue("FullVersion").read().getString();

        // Homes are compared within this view only: the same folder named in
        // both views stands for two installs.
        std::unique_ptr<Entry>* sameHome = nullptr;
        for (size_t i = firstOfView; i < entries_.size(); ++i) {
            if (_stricmp(entries_[i]->home.c_str(), home->c_str()) == 0) {
                sameHome = &entries_[i];
                break;
            }
        }
        if (sameHome && _stricmp(name.c_str(), (*sameHome)->version.c_str()) <= 0)
            continue;

        const std::string program = *home + "\\bin\\tolva.exe";
        if (program.size() > kMaxPath || !isReadableFile(program))
            continue;
        try {
            RegistryKey key(root, keyPath);
            if (!key.hasValue("TolvaHome") || !key.hasValue("MicroVersion") || !key.hasValue("RuntimeLib"))
                continue;
        } catch (const std::exception&) {
            continue;
        }

        std::unique_ptr<Entry> entry(new Entry);
        entry->home = *home;
        entry->version = name;
        entry->shortVersion = name.substr(0, name.find('_'));
        entry->fullVersion = fullVersion;
        entry->view = view;
        if (sameHome) {
            *sameHome = std::move(entry);
        } else {
            entries_.push_back(std::move(entry));
            ++added;
        }
    }
    return added;
}
