#include "foundation/ipc/shared_memory.h"

#include <windows.h>

#include <rpc.h>

#include "foundation/ipc/errors.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace ipc {
namespace {

[[noreturn]] void throwPlatformError(const char* call, uint32_t error, const SourceLocation& loc) {
    TDS_LOG_ERROR(loc.function, "%s failed with %s", call, formatSystemError(error).c_str());
    throw TdsError<PlatformError>(PlatformError(), loc);
}

}  // namespace

std::unique_ptr<SharedMemoryUnsafe> SharedMemoryUnsafe::create(const char* name, uint64_t size) {
    TDS_ASSERT(name != nullptr, "name");
    TDS_ASSERT(size != 0, "size");
    // High size 0, as the writers of our records expect; larger objects are
    // not needed and would be refused below rather than cut.
    TDS_ASSERT(size <= 0xFFFFFFFFull, "size <= 0xFFFFFFFF");
    HANDLE handle = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       static_cast<DWORD>(size), name);
    if (handle == nullptr)
        throwPlatformError("CreateFileMappingA", GetLastError(),
                           TDS_HERE("ipc::SharedMemoryUnsafe::create"));
    std::unique_ptr<SharedMemoryUnsafe> shared(new SharedMemoryUnsafe(handle, size, name));
    TDS_ASSERT(shared->handle_ != nullptr, "impl");
    return shared;
}

std::string SharedMemoryUnsafe::createGuid() {
    UUID uuid;
    const HRESULT created = CoCreateGuid(&uuid);
    if (FAILED(created)) {
        TDS_LOG_ERROR("ipc::SharedMemoryUnsafe::createGuid", "%s failed with %s", "CoCreateGuid",
                      formatComError(created).c_str());
        throw TdsError<PlatformError>(PlatformError(), TDS_HERE("ipc::SharedMemoryUnsafe::createGuid"));
    }
    RPC_CSTR text = nullptr;
    const RPC_STATUS status = UuidToStringA(&uuid, &text);
    if (status != RPC_S_OK || text == nullptr)
        throwPlatformError("UuidToStringA", static_cast<uint32_t>(status),
                           TDS_HERE("ipc::SharedMemoryUnsafe::createGuid"));
    std::string result(reinterpret_cast<const char*>(text));
    RpcStringFreeA(&text);
    return result;
}

SharedMemoryUnsafe::SharedMemoryUnsafe(void* handle, uint64_t size, std::string name)
    : handle_(handle), size_(size), name_(std::move(name)) {}

SharedMemoryUnsafe::~SharedMemoryUnsafe() {
    if (handle_ != nullptr && !CloseHandle(handle_)) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("ipc::SharedMemoryUnsafe::~SharedMemoryUnsafe", "%s failed with %s",
                      "CloseHandle", formatSystemError(error).c_str());
    }
}

SharedMemoryUnsafe::Snapshot::Snapshot(const SharedMemoryUnsafe& shared)
    : view_(MapViewOfFile(shared.handle_, FILE_MAP_ALL_ACCESS, 0, 0,
                          static_cast<SIZE_T>(shared.size_))),
      cursor_(view_),
      size_(shared.size_) {
    if (view_ == nullptr)
        throwPlatformError("MapViewOfFile", GetLastError(),
                           TDS_HERE("ipc::SharedMemoryUnsafe::Snapshot::Snapshot"));
}

SharedMemoryUnsafe::Snapshot::~Snapshot() {
    if (!UnmapViewOfFile(view_)) {
        const DWORD error = GetLastError();
        try {
            TDS_LOG_ERROR("ipc::SharedMemoryUnsafe::Snapshot::~Snapshot", "%s failed with %s",
                          "UnmapViewOfFile", formatSystemError(error).c_str());
        } catch (...) {
        }
    }
}

void SharedMemoryUnsafe::Snapshot::flush() {
    if (!FlushViewOfFile(view_, static_cast<SIZE_T>(size_)))
        throwPlatformError("FlushViewOfFile", GetLastError(),
                           TDS_HERE("ipc::SharedMemoryUnsafe::Snapshot::flush"));
}

}  // namespace ipc
