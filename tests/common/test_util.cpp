#include "common/test_util.h"

#include <sstream>

#include "common/files.h"

namespace testutil {

ScratchDir::ScratchDir(const std::string& tag) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string base = temp;
    while (!base.empty() && (base.back() == '\\' || base.back() == '/'))
        base.pop_back();
    for (unsigned n = 0;; ++n) {
        std::ostringstream name;
        name << base << "\\tds-" << tag << "-" << GetCurrentProcessId() << "-" << GetTickCount() << "-" << n;
        if (CreateDirectoryA(name.str().c_str(), nullptr)) {
            path_ = name.str();
            break;
        }
    }
}

ScratchDir::~ScratchDir() { removeTree(path_); }

void deleteRegTree(HKEY root, const std::string& subkey, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExA(root, subkey.c_str(), view, 0);
}

bool registryKeyExists(HKEY root, const std::string& subkey, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool registryValueExists(HKEY root, const std::string& subkey, const char* name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    const bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

ScopedRegTree::ScopedRegTree(HKEY root, std::string subkey, REGSAM view)
    : root_(root), subkey_(std::move(subkey)), view_(view) {
    deleteRegTree(root_, subkey_, view_);
}

ScopedRegTree::~ScopedRegTree() { remove(); }

void ScopedRegTree::remove() { deleteRegTree(root_, subkey_, view_); }

void setRawValue(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
                 const void* data, DWORD size, REGSAM view) {
    HKEY key;
    if (RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

}  // namespace testutil

namespace testutil {

namespace {

bool readTree(HKEY key, ScopedRegBackup::Tree& tree, REGSAM view) {
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        DWORD dataSize = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS)
            break;
        ScopedRegBackup::Tree::Value v{std::string(name, nameSize), type, std::vector<uint8_t>(dataSize)};
        DWORD size = dataSize;
        RegQueryValueExA(key, v.name.c_str(), nullptr, nullptr, v.data.empty() ? nullptr : v.data.data(), &size);
        v.data.resize(size);
        tree.values.push_back(std::move(v));
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ | view, &sub) != ERROR_SUCCESS)
            continue;
        ScopedRegBackup::Tree child;
        readTree(sub, child, view);
        RegCloseKey(sub);
        tree.subkeys.emplace_back(std::string(name, nameSize), std::move(child));
    }
    return true;
}

void writeTree(HKEY root, const std::string& path, const ScopedRegBackup::Tree& tree, REGSAM view) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    for (const auto& v : tree.values)
        RegSetValueExA(key, v.name.empty() ? nullptr : v.name.c_str(), 0, v.type, v.data.empty() ? nullptr : v.data.data(),
                       static_cast<DWORD>(v.data.size()));
    RegCloseKey(key);
    for (const auto& sub : tree.subkeys)
        writeTree(root, path + "\\" + sub.first, sub.second, view);
}

}  // namespace

ScopedRegBackup::ScopedRegBackup(HKEY root, std::string subkey, REGSAM view)
    : root_(root), subkey_(std::move(subkey)), view_(view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root_, subkey_.c_str(), 0, KEY_READ | view_, &key) == ERROR_SUCCESS) {
        existed_ = true;
        readTree(key, tree_, view_);
        RegCloseKey(key);
    }
}

ScopedRegBackup::~ScopedRegBackup() {
    clear();
    if (existed_)
        writeTree(root_, subkey_, tree_, view_);
}

void ScopedRegBackup::clear() { deleteRegTree(root_, subkey_, view_); }

}  // namespace testutil
