#include "foundation/registry_key.h"

#include <stdexcept>

#include "foundation/tstrings.h"

RegistryKey RegistryKey::localMachine(HKEY_LOCAL_MACHINE, 0);
RegistryKey RegistryKey::localMachine64(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
RegistryKey RegistryKey::localMachine32(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
RegistryKey RegistryKey::currentUser(HKEY_CURRENT_USER, 0);
RegistryKey RegistryKey::currentUser64(HKEY_CURRENT_USER, KEY_WOW64_64KEY);
RegistryKey RegistryKey::currentUser32(HKEY_CURRENT_USER, KEY_WOW64_32KEY);

namespace {
std::string codeText(LONG code) {
    return tstrings::toString(static_cast<uint64_t>(static_cast<uint32_t>(code)));
}
}  // namespace

std::string RegistryKey::formatError(const std::string& operation, const std::string& name,
                                     const std::string& detail) {
    return operation + " (" + name + ") error: " + detail;
}

RegistryKey::RegistryKey(const RegistryKey& parent, const std::string& subkey, int mode)
    : key_(nullptr), owned_(false), viewFlags_(parent.viewFlags_) {
    open(parent, subkey, mode, mode == Write);
}

RegistryKey::~RegistryKey() { close(); }

void RegistryKey::open(const RegistryKey& parent, const std::string& name, int mode, bool create) {
    REGSAM access = KEY_READ | viewFlags_;
    if (mode == Write)
        access |= KEY_WRITE;
    HKEY opened = nullptr;
    const LONG result =
        create ? RegCreateKeyExA(parent.key_, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 access, nullptr, &opened, nullptr)
               : RegOpenKeyExA(parent.key_, name.c_str(), 0, access, &opened);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error(formatError("open key", name, codeText(result)));
    close();
    key_ = opened;
    owned_ = true;
}

void RegistryKey::close() {
    if (owned_ && key_)
        RegCloseKey(key_);
    owned_ = false;
}

bool RegistryKey::hasSubkey(const std::string& name) const {
    try {
        RegistryKey child(*this, name, Read);
        return true;
    } catch (...) {
        return false;
    }
}

bool RegistryKey::hasValue(const std::string& name, DWORD* type) const {
    DWORD t = 0;
    if (RegQueryValueExA(key_, name.c_str(), nullptr, &t, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    if (type)
        *type = t;
    return true;
}

std::vector<uint8_t> RegistryKey::queryValue(const std::string& name, DWORD& type) const {
    std::vector<uint8_t> buffer;
    DWORD size = 0;
    for (;;) {
        size = static_cast<DWORD>(buffer.size());
        const LONG result = RegQueryValueExA(key_, name.c_str(), nullptr, &type,
                                             buffer.empty() ? nullptr : buffer.data(), &size);
        if (result == ERROR_MORE_DATA) {
            buffer.resize(size);
            continue;
        }
        if (result != ERROR_SUCCESS)
            throw std::runtime_error(formatError("query value", name, codeText(result)));
        if (buffer.empty() && size != 0) {
            buffer.resize(size);
            continue;
        }
        break;
    }
    buffer.resize(size);
    return buffer;
}

uint32_t RegistryKey::getDword(const std::string& name) const {
    DWORD type = 0;
    const std::vector<uint8_t> bytes = queryValue(name, type);
    if (type != REG_DWORD)
        throw std::runtime_error(formatError("query dword value", name, "wrong type"));
    if (bytes.size() != 4)
        throw std::runtime_error(formatError("query dword value", name, "wrong size"));
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

std::string RegistryKey::getString(const std::string& name) const {
    DWORD type = 0;
    const std::vector<uint8_t> bytes = queryValue(name, type);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw std::runtime_error(formatError("query string value", name, "wrong type"));
    std::string text(bytes.begin(), bytes.end());
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

std::vector<uint8_t> RegistryKey::getBinary(const std::string& name) const {
    DWORD type = 0;
    std::vector<uint8_t> bytes = queryValue(name, type);
    if (type != REG_BINARY)
        throw std::runtime_error(formatError("query binary value", name, "wrong type"));
    return bytes;
}

void RegistryKey::setDword(const std::string& name, uint32_t value) {
    const DWORD v = value;
    const LONG result = RegSetValueExA(key_, name.c_str(), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&v), sizeof v);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error(formatError("set dword value", name, codeText(result)));
}

void RegistryKey::setString(const std::string& name, const std::string& value) {
    const LONG result = RegSetValueExA(key_, name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>(value.size() + 1));
    if (result != ERROR_SUCCESS)
        throw std::runtime_error(formatError("set string value", name, codeText(result)));
}

void RegistryKey::setBinary(const std::string& name, const void* data, size_t size) {
    const LONG result = RegSetValueExA(key_, name.c_str(), 0, REG_BINARY,
                                       static_cast<const BYTE*>(data), static_cast<DWORD>(size));
    if (result != ERROR_SUCCESS)
        throw std::runtime_error(formatError("set binary value", name, codeText(result)));
}

void RegistryKey::setBinary(const std::string& name, const std::vector<uint8_t>& data) {
    setBinary(name, data.empty() ? nullptr : data.data(), data.size());
}

std::vector<std::string> RegistryKey::enumSubkeys() const {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD size = sizeof name;
        const LONG result =
            RegEnumKeyExA(key_, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            throw std::runtime_error(formatError(
                "enum subkeys", tstrings::toString(static_cast<uint64_t>(index) + 1), codeText(result)));
        names.emplace_back(name, size);
    }
    return names;
}
