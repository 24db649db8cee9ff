// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>

#include "result.hpp"

namespace tavik::mqtt {

// The ids of the latest `keep` commands taken, kept in a file so that a command published again
// after a reconnect or a restart is known. add() returns once the id is on the disk, so an id is
// recorded before its packet can be written. Lines are "+id" (taken) and "-id" (given back: the
// command was not sent after all; not forced to the disk, as a given-back id lost in a crash only
// makes its retry a duplicate); the file is rewritten when it has grown to twice `keep` lines.
//
// Threads: one thread at a time.
class IdJournal {
  public:
    static Result<std::unique_ptr<IdJournal>> open(std::filesystem::path file,
                                                   std::size_t keep = 10000);
    ~IdJournal();
    IdJournal(const IdJournal&) = delete;
    IdJournal& operator=(const IdJournal&) = delete;

    bool contains(const std::string& id) const { return m_known.count(id) > 0; }
    std::size_t size() const { return m_known.size(); }
    // Ids hold no line end (the payload's reader refuses control characters).
    Result<void> add(const std::string& id);
    Result<void> forget(const std::string& id);

  private:
    IdJournal(std::filesystem::path file, std::size_t keep)
        : m_file(std::move(file)), m_keep(keep) {}
    Result<void> append(char mark, const std::string& id, bool durable);
    Result<void> rewrite();
    void remember(const std::string& id);
    void drop(const std::string& id);

    std::filesystem::path m_file;
    std::size_t m_keep;
    std::list<std::string> m_order;  // oldest first
    std::unordered_map<std::string, std::list<std::string>::iterator> m_known;
    std::size_t m_lines = 0;
    std::FILE* m_out = nullptr;
};

// Makes what was written to `file` durable: on the disk, not only in the system's cache.
bool syncFile(std::FILE* file);

}  // namespace tavik::mqtt
