#pragma once
// The owner of one open registry key. Children inherit the parent's registry
// view (64-bit or 32-bit). Every failure throws std::runtime_error whose text
// names the operation, the key or value and the Win32 code.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class RegistryKey {
public:
    enum Mode { Read = 0, Write = 1 };

    // Opens subkey under parent; mode Write creates it when missing.
    // Throws "open key (<subkey>) error: <code>".
    RegistryKey(const RegistryKey& parent, const std::string& subkey, int mode = Read);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens (or with create, creates) name under parent and holds it in place
    // of the current key. On failure throws and keeps the current key.
    void open(const RegistryKey& parent, const std::string& name, int mode, bool create);
    // Closes the key when owned.
    void close();

    // True when the subkey opens for reading; false on any failure.
    bool hasSubkey(const std::string& name) const;
    // True when the value exists; its type is written to *type when asked.
    bool hasValue(const std::string& name, DWORD* type = nullptr) const;

    // The value's bytes and type. Throws "query value (<name>) error: <code>".
    std::vector<uint8_t> queryValue(const std::string& name, DWORD& type) const;
    // REG_DWORD of exactly 4 bytes, else "wrong type" / "wrong size".
    uint32_t getDword(const std::string& name) const;
    // REG_SZ or REG_EXPAND_SZ (not expanded), one terminating zero removed.
    std::string getString(const std::string& name) const;
    // REG_BINARY, else "wrong type".
    std::vector<uint8_t> getBinary(const std::string& name) const;

    void setDword(const std::string& name, uint32_t value);
    void setString(const std::string& name, const std::string& value);
    void setBinary(const std::string& name, const void* data, size_t size);
    void setBinary(const std::string& name, const std::vector<uint8_t>& data);

    // Names of the subkeys, in the order the registry lists them.
    std::vector<std::string> enumSubkeys() const;

    HKEY handle() const { return key_; }
    uint32_t viewFlags() const { return viewFlags_; }

    static RegistryKey localMachine;
    static RegistryKey localMachine64;
    static RegistryKey localMachine32;
    static RegistryKey currentUser;
    static RegistryKey currentUser64;
    static RegistryKey currentUser32;

    // operation + " (" + name + ") error: " + detail.
    static std::string formatError(const std::string& operation, const std::string& name,
                                   const std::string& detail);

private:
    RegistryKey(HKEY root, uint32_t viewFlags) : key_(root), owned_(false), viewFlags_(viewFlags) {}

    HKEY key_ = nullptr;
    bool owned_ = false;
    uint32_t viewFlags_ = 0;
};
