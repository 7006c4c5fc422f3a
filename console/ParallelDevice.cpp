#include "console/ParallelDevice.h"

#include <algorithm>
#include <utility>

EInOutError::EInOutError(int Code)
    : std::runtime_error("I/O error " + std::to_string(Code)), FErrorCode(Code) {}

namespace {

// FILE_SHARE_READ: others may read the device while it is open.
constexpr DWORD ShareRead = 0x00000001;

// The error number of the call that just failed; a failure never reads as success.
int LastErrorCode() {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int>(error) : ioWriteFault;
}

} // namespace

void IOCheck(int Result) {
    if (Result != 0)
        throw EInOutError(Result);
}

TParallelDevice::TParallelDevice(std::string Name) : FName(std::move(Name)) {}

TParallelDevice::~TParallelDevice() {
    if (IsOpen())
        CloseHandle(FHandle);
}

int TParallelDevice::Open() {
    if (IsOpen())
        return ioNotOpenForOutput;
    HANDLE handle = CreateFileA(FName.c_str(), GENERIC_WRITE, ShareRead, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return LastErrorCode();
    switch (GetFileType(handle)) {
    case FILE_TYPE_CHAR:
        FFlushLines = true;
        break;
    case FILE_TYPE_DISK:
    case FILE_TYPE_PIPE:
        FFlushLines = false;
        break;
    default:
        CloseHandle(handle);
        return ioNotOpenForOutput;
    }
    FHandle = handle;
    FCount = 0;
    return 0;
}

int TParallelDevice::WriteLine(std::string_view Bytes) {
    if (!IsOpen())
        return ioNotOpenForOutput;
    if (int result = Put(Bytes))
        return result;
    if (int result = Put("\r\n"))
        return result;
    return FFlushLines ? Flush() : 0;
}

int TParallelDevice::Write(std::string_view Bytes) {
    if (!IsOpen())
        return ioNotOpenForOutput;
    if (int result = Put(Bytes))
        return result;
    return Flush();
}

int TParallelDevice::Close() {
    if (!IsOpen())
        return ioNotOpenForOutput;
    const int flushed = Flush();
    HANDLE handle = std::exchange(FHandle, INVALID_HANDLE_VALUE);
    const bool closed = CloseHandle(handle);
    if (flushed != 0)
        return flushed;
    return closed ? 0 : LastErrorCode();
}

int TParallelDevice::Put(std::string_view Bytes) {
    while (!Bytes.empty()) {
        const std::size_t room = FBuffer.size() - FCount;
        const std::size_t n = std::min(room, Bytes.size());
        std::copy_n(Bytes.data(), n, FBuffer.data() + FCount);
        FCount += n;
        Bytes.remove_prefix(n);
        if (FCount == FBuffer.size()) {
            if (int result = Flush())
                return result;
        }
    }
    return 0;
}

int TParallelDevice::Flush() {
    if (FCount == 0)
        return 0;
    DWORD written = 0;
    const DWORD count = static_cast<DWORD>(FCount);
    FCount = 0;
    if (!WriteFile(FHandle, FBuffer.data(), count, &written, nullptr))
        return LastErrorCode();
    return written == count ? 0 : ioWriteFault;
}
