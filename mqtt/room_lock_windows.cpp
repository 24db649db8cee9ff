// SPDX-License-Identifier: MIT
#include <windows.h>

#include <system_error>

#include "room_lock.hpp"

namespace tavik::mqtt {

// Opened without sharing: while one bridge has it open, another's open fails.
Result<std::unique_ptr<RoomLock>> RoomLock::take(const std::filesystem::path& file) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION) {
            return std::unique_ptr<RoomLock>();
        }
        return Failure{"cannot open " + file.string() + ": " +
                       std::system_category().message(static_cast<int>(error))};
    }
    return std::unique_ptr<RoomLock>(new RoomLock(reinterpret_cast<std::intptr_t>(handle)));
}

RoomLock::~RoomLock() {
    CloseHandle(reinterpret_cast<HANDLE>(m_handle));  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace tavik::mqtt
