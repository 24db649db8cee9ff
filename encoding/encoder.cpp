// SPDX-License-Identifier: MIT
#include "encoder.hpp"

#include "code_tables.hpp"

namespace tavik {
namespace {

using namespace systems;

constexpr std::int32_t kPacketStart = 0x80;
constexpr std::int32_t kUkaraFramedHeader = 0x70;
constexpr std::int32_t kFrameOpen = 0xF0;
constexpr std::int32_t kFrameClose = 0xF7;
constexpr std::int32_t kAlisaNumberBase = 0x12;
constexpr std::int32_t kAlisaMarkSeparator = 0x10;
constexpr std::int32_t kDamSongPrefix = 0x08;
constexpr std::int32_t kMac21SongPrefix = 0x10;
constexpr std::int32_t kSegaSeparator = 0x33;
constexpr int kGigaLength = 10;

// The packet with its fill position. Every write is bounds-checked: a long song number must be
// refused, never written past the sixteenth element.
class Filler {
  public:
    explicit Filler(CodePacket& packet) : m_e(packet.elements) {}

    bool append(std::int32_t value) {
        if (m_w >= kPacketCapacity) {
            return false;
        }
        m_e[static_cast<std::size_t>(m_w++)] = value;
        return true;
    }

    std::int32_t& at(int index) { return m_e[static_cast<std::size_t>(index)]; }
    int count() const { return m_w; }
    void setCount(int w) { m_w = w; }

  private:
    std::array<std::int32_t, kPacketCapacity>& m_e;
    int m_w = 0;
};

// The table's value, except the confirm code of ALISA3 (No->Op), which the encoder keeps.
struct Codes {
    SystemId system;
    std::int32_t alisaConfirm;

    std::int32_t operator[](int column) const {
        return system == kAlisaNoOp && column == kSE ? alisaConfirm : codeOf(system, column);
    }
    std::int32_t digit(int d) const { return digitCode(system, d); }
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Column of a function name, compared whole and ignoring the case of A-Z; -1 when unknown.
int functionColumn(const char* text) {
    struct Name {
        char first, second;
        int column;
    };
    static constexpr Name kNames[] = {{'S', 'E', kSE}, {'K', 'U', kKU}, {'K', 'D', kKD},
                                      {'S', 'P', kSP}, {'S', 'T', kST}, {'C', 'L', kCL}};
    if (text[0] == '\0' || text[1] == '\0' || text[2] != '\0') {
        return -1;
    }
    for (const Name& name : kNames) {
        if (upperAscii(text[0]) == name.first && upperAscii(text[1]) == name.second) {
            return name.column;
        }
    }
    return -1;
}

// Step 2: what the system number adds before the command.
bool appendNumberPrefix(Filler& f, SystemId system, std::int32_t n, std::int32_t& alisaConfirm) {
    switch (system) {
        case kAlisaNoOp:
            if (n >= 0 && n <= 4) {
                alisaConfirm = n + kAlisaNumberBase;
            }
            return true;
        case kAlisaOpNo:
            return !(n >= 1 && n <= 4) || f.append(n + kAlisaNumberBase);
        case kAlisaMkNo:
            return !(n >= 0 && n <= 9) ||
                   (f.append(digitCode(system, n)) && f.append(kAlisaMarkSeparator));
        case kToei:
            return !(n >= 1 && n <= 8) || f.append(toeiNumberCode(n));
        case kTetsujin:
            return !(n >= 0 && n <= 9) || f.append(tetsujinNumberCode(n));
        case kUkara:
            if (n == 2) {
                f.at(1) = kUkaraFramedHeader;
                return f.append(kFrameOpen);
            }
            return true;
        default:
            return true;
    }
}

// Step 5.1: the prefix a song number gets on some systems.
std::int32_t appendSongPrefix(Filler& f, SystemId system, std::int32_t n) {
    switch (system) {
        case kDam:
            return f.append(kDamSongPrefix) ? 0 : kBadSongNumber;
        case kMac21:
            return f.append(kMac21SongPrefix) ? 0 : kBadSongNumber;
        case kSigma: {
            const std::int32_t m = n > 0 ? n : 0;
            const std::int32_t tens = digitCode(system, m / 10);
            const std::int32_t units = digitCode(system, m % 10);
            // A number beyond 99 has no two-digit form.
            if (tens == kNoCode || units == kNoCode) {
                return kBadSongNumber;
            }
            return f.append(tens) && f.append(units) ? 0 : kBadSongNumber;
        }
        default:
            return 0;
    }
}

// Step 5.3: one code per character; '-' only means something to Tetsujin.
std::int32_t appendKeyCodes(Filler& f, const Codes& codes, const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        std::int32_t code = kNoCode;
        if (isDigit(*p)) {
            code = codes.digit(*p - '0');
        } else if (*p == 'A' || *p == 'a') {
            code = codes[kA];
        } else if (*p == 'B' || *p == 'b') {
            code = codes[kB];
        } else if (*p == '-') {
            if (codes.system != kTetsujin) {
                continue;
            }
            code = codes[kSE];
        }
        if (code == kNoCode || !f.append(code)) {
            return kBadSongNumber;
        }
    }
    return 0;
}

// X2000: a number ending in x y ends in SE, x, y, SE.
std::int32_t arrangeX2000(Filler& f, int keyStart, std::int32_t se) {
    const int w = f.count();
    // With a single code the shift would move h3 and put SE into the header.
    if (w - keyStart < 2) {
        return kBadSongNumber;
    }
    if (w >= kPacketCapacity) {
        return kBadSongNumber;
    }
    f.at(w) = f.at(w - 1);
    f.at(w - 1) = f.at(w - 2);
    f.at(w - 2) = se;
    f.setCount(w + 1);
    return f.append(se) ? 0 : kBadSongNumber;
}

// セガカラ: codes read backwards, packed two to a byte into elements 10, 9, 8, in place, then the
// number is sent twice, each time followed by 0x33.
void arrangeSega(Filler& f) {
    constexpr int kFirstKey = 4;
    int cursor = f.count();
    for (int target = 10; target >= 8; --target) {
        f.at(target) = 0;
        if (cursor > kFirstKey) {
            f.at(target) = f.at(cursor - 1) << 4;
            --cursor;
        }
        if (cursor > kFirstKey) {
            f.at(target) |= f.at(cursor - 1);
            --cursor;
        }
    }
    f.at(11) = kSegaSeparator;
    f.at(4) = f.at(8);
    f.at(5) = f.at(9);
    f.at(6) = f.at(10);
    f.at(7) = kSegaSeparator;
    f.setCount(12);
}

// DAM, B-kara, Σ: seven slots E..E-6 filled from the last code backwards, in place, with d0 for
// a missing code and the marker in the third slot unless an A/B code stands there.
std::int32_t arrangeSevenSlots(Filler& f, const Codes& codes) {
    const SystemId system = codes.system;
    const int e = system == kSigma ? 12 : 11;
    const std::int32_t marker = system == kDam ? 0x3C : system == kBkara ? 0x3D : 0x51;
    const std::int32_t a = codeOf(system, kA);
    const std::int32_t b = codeOf(system, kB);
    const std::int32_t d0 = digitCode(system, 0);
    const int firstKey = e - 6;
    int cursor = f.count();
    for (int k = 0; k <= 6; ++k) {
        std::int32_t& slot = f.at(e - k);
        const std::int32_t c = f.at(cursor - 1);
        const bool isLetter = c == a || c == b;
        // NOLINTNEXTLINE(bugprone-branch-clone): two different reasons for a d0 slot
        if (k == 1 && isLetter) {
            slot = d0;
        } else if (k == 2 && !isLetter) {
            slot = marker;
        } else if (cursor - 1 >= firstKey) {
            slot = c;
            --cursor;
        } else {
            slot = d0;
        }
    }
    f.setCount(e + 1);
    return f.append(codes[kSE]) ? 0 : kBadSongNumber;
}

std::int32_t arrangeSongNumber(Filler& f, const Codes& codes, int keyStart) {
    const SystemId system = codes.system;
    switch (system) {
        case kX2000:
            return arrangeX2000(f, keyStart, codes[kSE]);
        case kGiga:
            while (f.count() < kGigaLength) {
                f.append(digitCode(system, 0));
            }
            return 0;
        case kSegaKara:
            arrangeSega(f);
            return 0;
        case kDam:
        case kBkara:
        case kSigma:
            return arrangeSevenSlots(f, codes);
        default:
            return f.append(codes[kSE]) ? 0 : kBadSongNumber;
    }
}

std::int32_t encode(Filler& f, SystemId system, std::int32_t number, const char* text,
                    std::int32_t& alisaConfirm) {
    if (!isValidSystemId(system) || text == nullptr) {
        return kBadFunction;
    }
    f.append(kPacketStart);
    f.append(codeOf(system, kH1));
    f.append(codeOf(system, kH2));
    f.append(codeOf(system, kH3));
    if (!appendNumberPrefix(f, system, number, alisaConfirm)) {
        return kBadSongNumber;
    }
    const Codes codes{system, alisaConfirm};
    if (system == kBkara) {
        f.append(kFrameOpen);
    }

    if (!isDigit(text[0])) {
        const int column = functionColumn(text);
        if (column < 0 || codes[column] == kNoCode) {
            return kBadFunction;
        }
        f.append(codes[column]);
    } else {
        if (std::int32_t r = appendSongPrefix(f, system, number); r < 0) {
            return r;
        }
        const int keyStart = f.count();
        if (std::int32_t r = appendKeyCodes(f, codes, text); r < 0) {
            return r;
        }
        if (std::int32_t r = arrangeSongNumber(f, codes, keyStart); r < 0) {
            return r;
        }
    }

    if (system == kBkara || (system == kUkara && number == 2)) {
        if (!f.append(kFrameClose)) {
            return kBadSongNumber;
        }
    }
    f.at(1) |= f.count() - 2;
    return f.count();
}

}  // namespace

std::int32_t Encoder::encodeCommand(CodePacket& packet, SystemId system, std::int32_t number,
                                    const char* text) {
    Filler filler(packet);
    packet.count = encode(filler, system, number, text, m_alisaConfirmCode);
    return packet.count;
}

}  // namespace tavik
