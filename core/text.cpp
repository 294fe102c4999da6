// SPDX-License-Identifier: GPL-3.0-or-later
#include "text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace awardsync {

namespace {

template <typename Predicate> std::string_view trimWith(std::string_view text, Predicate trimmed) {
    while (!text.empty() && trimmed(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && trimmed(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F; undefined bytes keep their own number.
constexpr std::array<char16_t, 32> Windows1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A character below U+10000 as UTF-8.
void appendUtf8(std::string& out, char16_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

std::string_view trimControl(std::string_view text) {
    return trimWith(text, [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

std::string_view trimBlanks(std::string_view text) {
    return trimWith(text, [](char c) { return c == ' ' || c == '\t'; });
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return text;
    }
    for (std::size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return asciiLower(c); });
    return out;
}

std::string asciiUpper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return asciiUpper(c); });
    return out;
}

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

bool startsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

std::string_view firstChars(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (; count > 0 && pos < text.size(); --count) {
        ++pos;
        while (pos < text.size() && isUtf8Continuation(text[pos])) {
            ++pos;
        }
    }
    return text.substr(0, pos);
}

std::string_view lastChars(std::string_view text, std::size_t count) {
    std::size_t pos = text.size();
    for (; count > 0 && pos > 0; --count) {
        --pos;
        while (pos > 0 && isUtf8Continuation(text[pos])) {
            --pos;
        }
    }
    return text.substr(pos);
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        // The length of the sequence and the range its second byte must fall in; the narrower
        // ranges after E0, ED, F0 and F4 shut out overlong forms, surrogates and values past U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (text.size() - pos < length) {
            return false;
        }
        const auto second = static_cast<unsigned char>(text[pos + 1]);
        if (second < low || second > high) {
            return false;
        }
        for (std::size_t i = 2; i < length; ++i) {
            if (!isUtf8Continuation(text[pos + i])) {
                return false;
            }
        }
        pos += length;
    }
    return true;
}

std::string windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : char16_t{byte});
    }
    return out;
}

std::string escapedForMessage(std::string_view text) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    const auto escape = [&](unsigned char byte) {
        out += byte == '\n' ? "\\n" : byte == '\r' ? "\\r" : byte == '\t' ? "\\t" : "";
        if (byte != '\n' && byte != '\r' && byte != '\t') {
            out += {'\\', 'x', Hex[byte >> 4], Hex[byte & 15]};
        }
    };
    for (std::size_t pos = 0; pos < text.size();) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x20 || byte == 0x7F) {
            escape(byte);
            ++pos;
            continue;
        }
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++pos;
            continue;
        }
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        const std::string_view sequence = text.substr(pos, length);
        const std::size_t end = pos + sequence.size();
        // U+0080 to U+009F are control characters too (a terminal takes U+009B for an escape).
        if (isValidUtf8(sequence) && !(byte == 0xC2 && static_cast<unsigned char>(text[pos + 1]) < 0xA0)) {
            out += sequence;
            pos = end;
        } else {
            escape(byte);
            ++pos;
        }
    }
    return out;
}

std::string_view withoutByteOrderMark(std::string_view text) {
    return text.starts_with(ByteOrderMark) ? text.substr(ByteOrderMark.size()) : text;
}

std::optional<NotText> notText(std::string_view text) {
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
        return NotText{0, "UTF-16 text: save the file as UTF-8"};
    }
    if (const void* zero = std::memchr(text.data(), 0, text.size()); zero != nullptr) {
        return NotText{static_cast<std::size_t>(static_cast<const char*>(zero) - text.data()),
                       "a NUL byte: this is not a text file"};
    }
    return std::nullopt;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string pathWithNewEnding(const std::string& path, std::string_view ending, bool keepExtension) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameBegin = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= nameBegin) {
        dot = path.size();
    }
    return path.substr(0, dot) + std::string(ending) + (keepExtension ? path.substr(dot) : std::string());
}

// Eight bytes at a time: line numbers of a report need one pass over a log of a hundred megabytes.
std::size_t countLineEnds(std::string_view text) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t lows = 0x7F7F7F7F7F7F7F7FULL;
    // The top bit of every byte of `x` that is zero, and how many such bits (the multiplication adds
    // them up in the top byte, without a popcount instruction the target may lack).
    const auto zeroBytes = [](std::uint64_t x) { return ~(((x & lows) + lows) | x | lows); };
    const auto bits = [](std::uint64_t tops) { return static_cast<std::size_t>(((tops >> 7) * ones) >> 56); };
    std::size_t count = 0;
    std::size_t pos = 0;
    for (; pos + 8 <= text.size(); pos += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + pos, 8);
        const std::uint64_t lf = zeroBytes(word ^ (ones * '\n'));
        const std::uint64_t cr = zeroBytes(word ^ (ones * '\r'));
        // A CR that a LF follows in the same word is counted at its LF; one at the word's end, at the next LF.
        count += bits(lf) + bits(cr & ~(lf >> 8));
        count -= (cr >> 63) != 0 && pos + 8 < text.size() && text[pos + 8] == '\n' ? 1 : 0;
    }
    for (; pos < text.size(); ++pos) {
        count += text[pos] == '\n' || (text[pos] == '\r' && (pos + 1 == text.size() || text[pos + 1] != '\n'));
    }
    return count;
}

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace awardsync
