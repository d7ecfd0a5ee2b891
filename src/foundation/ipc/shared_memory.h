#pragma once
// Named, page-file-backed memory shared between processes, read and written
// through short-lived mapped views. It carries no lock: reader and writer
// keep each record small enough to be copied whole.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "foundation/ipc/assertion.h"

namespace ipc {

class SharedMemoryUnsafe {
public:
    // Creates the object, or opens it when one of that name exists already
    // (then its size is the creator's; a view larger than that cannot be
    // mapped). A null name or size 0 is an assertion failure. Throws
    // TdsError<PlatformError> at "ipc::SharedMemoryUnsafe::create".
    static std::unique_ptr<SharedMemoryUnsafe> create(const char* name, uint64_t size);
    // A fresh unique name: a GUID's lower-case text with hyphens, no braces.
    // Throws TdsError<PlatformError> at "ipc::SharedMemoryUnsafe::createGuid".
    static std::string createGuid();

    // Closes this process's handle; the memory lives on while others hold it.
    ~SharedMemoryUnsafe();
    SharedMemoryUnsafe(const SharedMemoryUnsafe&) = delete;
    SharedMemoryUnsafe& operator=(const SharedMemoryUnsafe&) = delete;

    uint64_t getSize() const { return size_; }
    const std::string& getName() const { return name_; }

    // A read/write view of the whole object, mapped for its lifetime. Not
    // shared between threads.
    class Snapshot {
    public:
        // Throws TdsError<PlatformError> at
        // "ipc::SharedMemoryUnsafe::Snapshot::Snapshot".
        explicit Snapshot(const SharedMemoryUnsafe& shared);
        // Unmaps; never throws.
        ~Snapshot();
        Snapshot(const Snapshot&) = delete;
        Snapshot& operator=(const Snapshot&) = delete;

        void* data() const { return cursor_; }
        uint64_t getSize() const { return size_; }
        // Writes the view back. Throws TdsError<PlatformError> at
        // "ipc::SharedMemoryUnsafe::Snapshot::flush".
        void flush();

    private:
        void* view_;
        void* cursor_;
        uint64_t size_;
    };

private:
    SharedMemoryUnsafe(void* handle, uint64_t size, std::string name);

    void* handle_;
    uint64_t size_;
    std::string name_;
};

// One value of a trivially copyable type T in named shared memory of exactly
// sizeof(T) bytes. The only way to make one is create(); the memory is closed
// when it is destroyed.
template <class T>
class SharedMemory {
    static_assert(std::is_trivially_copyable<T>::value, "shared records are copied as bytes");

public:
    // See SharedMemoryUnsafe::create.
    static std::unique_ptr<SharedMemory> create(const char* name) {
        return std::unique_ptr<SharedMemory>(
            new SharedMemory(SharedMemoryUnsafe::create(name, sizeof(T))));
    }

    // The value through a fresh view. Throws TdsError<PlatformError> when the
    // view cannot be mapped.
    T read() const {
        SharedMemoryUnsafe::Snapshot view(*impl_);
        TDS_ASSERT(sizeof(T) == impl_->getSize(), "sizeof(buffer) == impl.getSize()");
        T value;
        std::memcpy(&value, view.data(), sizeof(T));
        return value;
    }
    // Stores the value whole through a fresh view and flushes it.
    void write(const T& value) {
        SharedMemoryUnsafe::Snapshot view(*impl_);
        TDS_ASSERT(sizeof(T) == impl_->getSize(), "sizeof(buffer) == impl.getSize()");
        std::memcpy(view.data(), &value, sizeof(T));
        view.flush();
    }

    SharedMemoryUnsafe& unsafe() { return *impl_; }

private:
    explicit SharedMemory(std::unique_ptr<SharedMemoryUnsafe> impl) : impl_(std::move(impl)) {}
    std::unique_ptr<SharedMemoryUnsafe> impl_;
};

}  // namespace ipc
