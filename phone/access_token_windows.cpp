// SPDX-License-Identifier: MIT
// windows.h first, in a block of its own so that sorting keeps it there.
#include <windows.h>

#include <aclapi.h>
#include <ntsecapi.h>
#include <sddl.h>

#include <array>
#include <memory>

#include "access_token.hpp"
#include "text_convert_win.hpp"

namespace tavik::phone {
namespace {

std::string failure(const std::string& path, const char* what, DWORD error,
                    const std::string& kind = "token file") {
    return "cannot " + std::string(what) + " " + kind + " " + path + ": " + systemErrorText(error);
}

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

// The user this process runs as, as a SID kept in `storage`.
PSID currentUser(std::array<unsigned char, 256>& storage) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return nullptr;
    }
    const Handle token(raw);
    DWORD length = 0;
    if (!GetTokenInformation(token.get(), TokenUser, storage.data(),
                             static_cast<DWORD>(storage.size()), &length)) {
        return nullptr;
    }
    return reinterpret_cast<TOKEN_USER*>(storage.data())->User.Sid;
}

// Owned by `user`, and no access granted to anyone else but the system and the administrators
// (who can read any file anyway).
bool ownedAlone(HANDLE file, PSID user) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const std::unique_ptr<void, LocalFreer> kept(descriptor);
    if (owner == nullptr || !EqualSid(owner, user) || dacl == nullptr) {
        return false;  // a missing DACL grants everyone everything
    }
    std::array<unsigned char, SECURITY_MAX_SID_SIZE> system{};
    std::array<unsigned char, SECURITY_MAX_SID_SIZE> administrators{};
    DWORD size = static_cast<DWORD>(system.size());
    CreateWellKnownSid(WinLocalSystemSid, nullptr, system.data(), &size);
    size = static_cast<DWORD>(administrators.size());
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators.data(), &size);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) {
            return false;
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            continue;
        }
        PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart;
        if (!EqualSid(sid, user) && !EqualSid(sid, system.data()) &&
            !EqualSid(sid, administrators.data())) {
            return false;
        }
    }
    return true;
}

Result<std::string> createTokenFile(const std::string& path, PSID user) {
    Result<std::string> created = newAccessToken();
    if (!created) {
        return created;
    }
    // Full access for the user alone, not inherited from the folder.
    LPWSTR userText = nullptr;
    if (!ConvertSidToStringSidW(user, &userText)) {
        return Failure{failure(path, "create", GetLastError())};
    }
    const std::wstring sddl = L"D:P(A;;FA;;;" + std::wstring(userText) + L")";
    LocalFree(userText);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return Failure{failure(path, "create", GetLastError())};
    }
    const std::unique_ptr<void, LocalFreer> kept(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const std::wstring name = wideFromUtf8(path);
    const Handle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return Failure{failure(path, "create", GetLastError())};
    }
    const std::string line = created.value() + "\r\n";
    DWORD written = 0;
    if (!WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
        const DWORD error = GetLastError();
        CloseHandle(file.get());
        DeleteFileW(name.c_str());
        return Failure{failure(path, "write", error)};
    }
    return created;
}

}  // namespace

Result<void> fillRandom(unsigned char* bytes, std::size_t size) {
    // The system's cryptographic generator, as rand_s uses it.
    if (!RtlGenRandom(bytes, static_cast<ULONG>(size))) {
        return Failure{systemErrorText(GetLastError())};
    }
    return {};
}

Result<std::string> loadOrCreateTokenFile(const std::string& path) {
    const std::wstring name = wideFromUtf8(path);
    if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND) {
        std::array<unsigned char, 256> userStorage{};
        PSID user = currentUser(userStorage);
        if (user == nullptr) {
            return Failure{failure(path, "check", GetLastError())};
        }
        return createTokenFile(path, user);
    }
    Result<std::string> text = readPrivateFile(path, "token file", 128, Privacy::kOwnerAlone);
    if (!text) {
        return text;
    }
    return tokenFromFileText(text.value(), path);
}

// Windows has no group bits to allow: either privacy asks for an ACL of the user alone.
Result<std::string> readPrivateFile(const std::string& path, const std::string& kind,
                                    std::size_t maxSize, Privacy /*privacy*/) {
    std::array<unsigned char, 256> userStorage{};
    PSID user = currentUser(userStorage);
    if (user == nullptr) {
        return Failure{failure(path, "check", GetLastError(), kind)};
    }
    const std::wstring name = wideFromUtf8(path);
    const Handle file(CreateFileW(name.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return Failure{failure(path, "open", GetLastError(), kind)};
    }
    // Anyone who can read the file has the secret; anyone who can write it can choose it.
    if (!ownedAlone(file.get(), user)) {
        return Failure{kind + " " + path +
                       " is open to other users; make it yours alone (its security settings)"};
    }
    std::string buffer(maxSize, '\0');
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
        return Failure{failure(path, "read", GetLastError(), kind)};
    }
    buffer.resize(got);
    return buffer;
}

}  // namespace tavik::phone
