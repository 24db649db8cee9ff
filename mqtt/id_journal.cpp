// SPDX-License-Identifier: MIT
#include "id_journal.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace tavik::mqtt {
namespace {

std::string failure(const std::filesystem::path& file, const char* what) {
    return std::string("cannot ") + what + " " + file.string() + ": " +
           std::generic_category().message(errno);
}

}  // namespace

Result<std::unique_ptr<IdJournal>> IdJournal::open(std::filesystem::path file, std::size_t keep) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) {
        return Failure{"cannot make " + file.parent_path().string() + ": " + error.message()};
    }
    std::unique_ptr<IdJournal> journal(new IdJournal(std::move(file), keep));
    std::ifstream in(journal->m_file);
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 2) {
            continue;  // a line cut short by a crash
        }
        const std::string id = line.substr(1);
        if (line[0] == '+') {
            journal->remember(id);
        } else if (line[0] == '-') {
            journal->drop(id);
        }
    }
    // Windows refuses to replace a file that is still open.
    in.close();
    if (Result<void> rewritten = journal->rewrite(); !rewritten) {
        return Failure{rewritten.error()};
    }
    return journal;
}

IdJournal::~IdJournal() {
    if (m_out != nullptr) {
        std::fclose(m_out);
    }
}

// The newest at the back; the oldest beyond `keep` are let go.
void IdJournal::remember(const std::string& id) {
    drop(id);
    m_order.push_back(id);
    m_known.emplace(id, std::prev(m_order.end()));
    while (m_known.size() > m_keep) {
        m_known.erase(m_order.front());
        m_order.pop_front();
    }
}

void IdJournal::drop(const std::string& id) {
    if (const auto found = m_known.find(id); found != m_known.end()) {
        m_order.erase(found->second);
        m_known.erase(found);
    }
}

// The ids known, oldest first, into a new file that then takes the old one's place.
Result<void> IdJournal::rewrite() {
    if (m_out != nullptr) {
        std::fclose(m_out);
        m_out = nullptr;
    }
    const std::filesystem::path fresh = m_file.string() + ".new";
    std::FILE* out = std::fopen(fresh.string().c_str(), "wb");
    if (out == nullptr) {
        return Failure{failure(fresh, "write")};
    }
    m_lines = 0;
    for (const std::string& id : m_order) {
        std::fprintf(out, "+%s\n", id.c_str());
        ++m_lines;
    }
    const bool synced = std::fflush(out) == 0 && syncFile(out);
    std::fclose(out);
    std::error_code error;
    if (!synced) {
        return Failure{failure(fresh, "write")};
    }
    std::filesystem::rename(fresh, m_file, error);
    if (error) {
        return Failure{"cannot replace " + m_file.string() + ": " + error.message()};
    }
    m_out = std::fopen(m_file.string().c_str(), "ab");
    if (m_out == nullptr) {
        return Failure{failure(m_file, "write")};
    }
    return {};
}

Result<void> IdJournal::append(char mark, const std::string& id, bool durable) {
    if (m_out == nullptr || std::fprintf(m_out, "%c%s\n", mark, id.c_str()) < 0 ||
        std::fflush(m_out) != 0 || (durable && !syncFile(m_out))) {
        return Failure{failure(m_file, "write")};
    }
    if (++m_lines > 2 * m_keep) {
        return rewrite();
    }
    return {};
}

Result<void> IdJournal::add(const std::string& id) {
    // Known first, so that a rewrite this line sets off keeps it.
    remember(id);
    Result<void> written = append('+', id, true);
    if (!written) {
        drop(id);
    }
    return written;
}

Result<void> IdJournal::forget(const std::string& id) {
    drop(id);
    return append('-', id, false);
}

}  // namespace tavik::mqtt
