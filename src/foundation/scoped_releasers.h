#pragma once
// Scoped owners that release a C stream, a CRT file descriptor or a module.

#include <windows.h>

#include <io.h>
#include <cstdio>

class StreamReleaser {
public:
    explicit StreamReleaser(FILE* stream = nullptr) : stream_(stream) {}
    ~StreamReleaser() { if (stream_) fclose(stream_); }
    StreamReleaser(const StreamReleaser&) = delete;
    StreamReleaser& operator=(const StreamReleaser&) = delete;
    FILE* get() const { return stream_; }
    // Gives up ownership without closing.
    FILE* release() { FILE* s = stream_; stream_ = nullptr; return s; }

private:
    FILE* stream_;
};

class DescriptorReleaser {
public:
    explicit DescriptorReleaser(int fd = -1) : fd_(fd) {}
    ~DescriptorReleaser() { if (fd_ != -1) _close(fd_); }
    DescriptorReleaser(const DescriptorReleaser&) = delete;
    DescriptorReleaser& operator=(const DescriptorReleaser&) = delete;
    int get() const { return fd_; }
    int release() { int fd = fd_; fd_ = -1; return fd; }

private:
    int fd_;
};

class ModuleReleaser {
public:
    explicit ModuleReleaser(HMODULE module = nullptr) : module_(module) {}
    ~ModuleReleaser() { if (module_) FreeLibrary(module_); }
    ModuleReleaser(const ModuleReleaser&) = delete;
    ModuleReleaser& operator=(const ModuleReleaser&) = delete;
    HMODULE get() const { return module_; }
    HMODULE release() { HMODULE m = module_; module_ = nullptr; return m; }

private:
    HMODULE module_;
};
