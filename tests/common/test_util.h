#pragma once
// Helpers for tests that run under Wine: scratch folders, registry clean-up
// and waits. Child processes, files, environment variables, windows and the
// program's folder have headers of their own beside this one.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testutil {

// A fresh folder under the temporary folder, removed with its files at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag = "t");
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Deletes a registry key tree (in the given view) when the scope ends.
class ScopedRegTree {
public:
    ScopedRegTree(HKEY root, std::string subkey, REGSAM view = 0);
    ~ScopedRegTree();
    void remove();

private:
    HKEY root_;
    std::string subkey_;
    REGSAM view_;
};

// Writes a value of any type and size (tests seed malformed values this way).
void setRawValue(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
                 const void* data, DWORD size, REGSAM view = 0);
void deleteRegTree(HKEY root, const std::string& subkey, REGSAM view = 0);
// Whether the key (in the given view) can be opened for reading.
bool registryKeyExists(HKEY root, const std::string& subkey, REGSAM view = 0);
// Whether the key (in the given view) holds a value of that name.
bool registryValueExists(HKEY root, const std::string& subkey, const char* name, REGSAM view = 0);

// Polls until pred() is true or timeoutMs passes; true when pred() held.
// The answer is the test's evidence that the state came: check it.
template <class Pred>
[[nodiscard]] bool waitFor(Pred pred, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

}  // namespace testutil

namespace testutil {

// Takes a copy of a registry key tree (values and subkeys, in the given
// view) and puts it back exactly, or removes the key when it did not exist,
// when the scope ends. clear() deletes the tree for a clean start.
class ScopedRegBackup {
public:
    ScopedRegBackup(HKEY root, std::string subkey, REGSAM view = 0);
    ~ScopedRegBackup();
    ScopedRegBackup(const ScopedRegBackup&) = delete;
    ScopedRegBackup& operator=(const ScopedRegBackup&) = delete;
    void clear();

    struct Tree {
        struct Value {
            std::string name;
            DWORD type;
            std::vector<uint8_t> data;
        };
        std::vector<Value> values;
        std::vector<std::pair<std::string, Tree>> subkeys;
    };

private:
    HKEY root_;
    std::string subkey_;
    REGSAM view_;
    bool existed_ = false;
    Tree tree_;
};

}  // namespace testutil
