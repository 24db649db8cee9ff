// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "result.hpp"

namespace tavik::mqtt {

// Held while a bridge serves its room, so that a second bridge of the same room on this computer
// cannot start: it would rewrite the room's id journal under the first, whose ids would then be
// lost at its next start. The system lets go of it when the process ends, however it ends.
//
// Threads: any one thread.
class RoomLock {
  public:
    // Null when another process holds it; a failure when the file cannot be made or opened.
    static Result<std::unique_ptr<RoomLock>> take(const std::filesystem::path& file);
    ~RoomLock();
    RoomLock(const RoomLock&) = delete;
    RoomLock& operator=(const RoomLock&) = delete;

  private:
    explicit RoomLock(std::intptr_t handle) : m_handle(handle) {}
    std::intptr_t m_handle;  // the open file: a descriptor, or Windows' handle
};

}  // namespace tavik::mqtt
