#pragma once
// The runtimes installed on this machine, read from both registry views:
// HKLM "SOFTWARE\TolvaSoft\Tolva Runtime Environment\<version>" with TolvaHome,
// MicroVersion, RuntimeLib and MSI\FullVersion.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A registry value's type and bytes.
struct RegValueData {
    uint32_t type = REG_NONE;
    std::vector<uint8_t> bytes;
    // The bytes up to the first NUL when the type is REG_SZ; none otherwise.
    std::optional<std::string> getString() const;
};

// The holder of one open registry key under a root. Not copyable.
class RegKey {
public:
    // A named value of an open key; valid while that RegKey lives.
    class Value {
    public:
        Value(const RegKey& key, std::string name) : key_(&key), name_(std::move(name)) {}
        // The value's data; type REG_NONE and no bytes when it cannot be read.
        RegValueData read() const;

    private:
        const RegKey* key_;
        std::string name_;
    };

    explicit RegKey(HKEY root) : root_(root) {}
    ~RegKey() { close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Closes a key opened before, then opens subkey under the root with the
    // access mask. Answers the Win32 code; opened() only on ERROR_SUCCESS.
    LONG open(const std::string& subkey, REGSAM access);
    void close();
    bool opened() const { return opened_; }

    // The name of subkey `index` (names of up to 127 characters). Answers the
    // Win32 code: ERROR_MORE_DATA (234) for a longer name, ERROR_NO_MORE_ITEMS
    // at the end of the list; name untouched on failure.
    LONG enumKey(DWORD index, std::string& name) const;
    Value getValue(const std::string& name) const { return Value(*this, name); }
    // Reads the value's type and bytes. Answers the Win32 code; data untouched
    // on failure.
    LONG queryValue(const std::string& name, RegValueData& data) const;

private:
    HKEY root_;
    HKEY key_ = nullptr;
    bool opened_ = false;
};

class InstalledTolvaVersions {
public:
    struct Entry {
        std::string home;
        std::string version;       // the key name as in the registry
        std::string shortVersion;  // version cut before its first "_"
        std::optional<std::string> fullVersion;
        int view = 0;  // 1: 32-bit, 2: 64-bit
    };

    // A view into the list, valid while the list lives.
    class TolvaVersionList {
    public:
        TolvaVersionList(const std::unique_ptr<Entry>* entries, size_t count) : entries_(entries), count_(count) {}
        virtual ~TolvaVersionList() = default;
        // The entry whose version text compares greatest ignoring case (the
        // earlier one on ties); null for an empty view. Texts, not numbers:
        // "1.10" sorts below "1.9".
        virtual const Entry* getLatest() const;
        size_t count() const { return count_; }
        const Entry& operator[](size_t i) const { return *entries_[i]; }

    private:
        const std::unique_ptr<Entry>* entries_;
        size_t count_;
    };

    // Reads the 32-bit view, then the 64-bit view when the processor is AMD64.
    InstalledTolvaVersions();
    // For tests: nativeAmd64 stands for the processor check.
    explicit InstalledTolvaVersions(bool nativeAmd64);

    // Kind 1: the 32-bit entries; 2 and 0: the 64-bit ones; 3: all; other: empty.
    TolvaVersionList getList(int kind) const;

private:
    // Adds the entries of one view (1 or 2); answers how many were added.
    size_t enumerate(int view, bool nativeAmd64);

    std::vector<std::unique_ptr<Entry>> entries_;
    size_t count32_ = 0;
};

typedef InstalledTolvaVersions::TolvaVersionList TolvaVersionList;
