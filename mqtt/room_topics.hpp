// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace tavik::mqtt {

// The topics of one room: tavik/ROOM/…
struct RoomTopics {
    explicit RoomTopics(const std::string& room)
        : send(base(room) + "send"),
          result(base(room) + "result"),
          state(base(room) + "state"),
          transmitter(base(room) + "transmitter"),
          system(base(room) + "system"),
          systemSet(base(room) + "system/set"),
          reply(base(room) + "reply/") {}

    std::string send;         // commands in
    std::string result;       // one report per command out
    std::string state;        // online / offline, retained, the last will
    std::string transmitter;  // present or not, retained
    std::string system;       // the room's system for commands that name none, retained
    std::string systemSet;    // sets it
    std::string reply;        // senders' response topics below it (the broker's ACL allows them)

  private:
    static std::string base(const std::string& room) { return "tavik/" + room + "/"; }
};

}  // namespace tavik::mqtt
