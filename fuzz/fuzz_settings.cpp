// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the settings-file reader as the file's content, then writes keys and
// reads the file back. The input is the content, optionally followed by a NUL and writes, each
// one byte choosing the key and the value up to the next NUL. Properties checked:
// - reading never fails, a text value is at most MaxValueLength characters long, an integer is
//   what an independent reading of the text gives;
// - a file without writes is kept byte for byte;
// - a written value reads back as written, with line breaks turned into blanks, read as
//   Windows-1252 when it is not UTF-8 and cut to MaxValueLength characters, from the object and
//   from its content read anew; keys not written keep their values.
#include "core/settings_file.h"
#include "core/text.h"

#include <QString>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>

using namespace awardsync;

namespace {

const QString Path = QStringLiteral("fuzz.ini");
constexpr std::string_view Section = SettingsKeys::Call.section;
// The program's keys, and spellings that must find the same lines.
constexpr std::array<std::string_view, 9> Keys = {SettingsKeys::Call.name,
                                                  SettingsKeys::Password.name,
                                                  SettingsKeys::TextFile.name,
                                                  SettingsKeys::Account.name,
                                                  SettingsKeys::Ssb.name,
                                                  SettingsKeys::OnlyNew.name,
                                                  "password",
                                                  "CALL",
                                                  "textfile"};

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool sameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

// What reading back a written value must give.
std::string expectedReadBack(std::string_view written) {
    std::string value(written);
    for (char& c : value) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    if (!isValidUtf8(value)) {
        value = windows1252ToUtf8(value);
    }
    std::size_t characters = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if ((static_cast<unsigned char>(value[i]) & 0xC0) != 0x80 && characters++ == SettingsFile::MaxValueLength) {
            value.resize(i);
            break;
        }
    }
    return value;
}

// An independent reading of the integer forms: "$" or a leading "0x" for hexadecimal, blanks and a
// sign before the number, nothing after it.
std::optional<std::int32_t> referenceInteger(std::string_view text) {
    std::string normal(text);
    if (normal.size() > 2 && normal[0] == '0' && (normal[1] == 'x' || normal[1] == 'X')) {
        normal = "$" + normal.substr(2);
    }
    std::string_view rest = normal;
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    bool negative = false;
    if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) {
        negative = rest[0] == '-';
        rest.remove_prefix(1);
    }
    const bool hex = !rest.empty() && rest[0] == '$';
    if (hex) {
        rest.remove_prefix(1);
    }
    // from_chars would take a sign of its own; the digits alone are wanted here.
    if (rest.empty() || rest[0] == '-' || rest[0] == '+') {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value, hex ? 16 : 10);
    if (error != std::errc() || end != rest.data() + rest.size()) {
        return std::nullopt;
    }
    if (hex) {
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
        const auto word = static_cast<std::uint32_t>(value);
        return static_cast<std::int32_t>(negative ? 0u - word : word);
    }
    const std::int64_t signedValue = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    if (value > 2147483648ull || signedValue < INT32_MIN || signedValue > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(signedValue);
}

void checkIntegerForms(std::string_view data) {
    require(parseSettingsInteger(data) == referenceInteger(data));
    if (data.size() >= 4) {
        std::uint32_t word = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            word = word << 8 | static_cast<unsigned char>(data[i]);
        }
        const auto value = static_cast<std::int32_t>(word);
        require(parseSettingsInteger(std::to_string(value)) == value);
        char hex[16];
        auto end = std::to_chars(hex, hex + sizeof hex, word, 16).ptr;
        require(parseSettingsInteger("$" + std::string(hex, end)) == value);
        require(parseSettingsInteger("0x" + std::string(hex, end)) == value);
    }
}

void checkReads(const SettingsFile& file) {
    for (std::string_view key : Keys) {
        const std::string text = file.readString(Section, key, "\x01");
        require(characterCount(text) <= SettingsFile::MaxValueLength);
        const std::int32_t number = file.readInteger(Section, key, 7);
        require(number == (text == "\x01" ? 7 : referenceInteger(text).value_or(7)));
        require(file.readBool(Section, key, true) == (text == "\x01" || referenceInteger(text).value_or(1) != 0));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkIntegerForms(input.substr(0, input.find('\n')));

    const std::size_t split = input.find('\0');
    const std::string_view content = input.substr(0, split);
    SettingsFile file(Path, content);
    checkReads(file);
    require(file.content() == content);

    // Values as they read before any write; the writes below must leave other keys alone.
    std::map<std::string, std::string> before;
    for (std::string_view key : Keys) {
        before[std::string(key)] = file.readString(Section, key, "\x01");
    }

    std::map<std::string_view, std::string> written; // by the key's first spelling in Keys
    auto canonical = [](std::string_view key) {
        for (std::string_view known : Keys) {
            if (sameKey(known, key)) {
                return known;
            }
        }
        return key;
    };
    if (split == std::string_view::npos) {
        // Without writes of its own, the file's own values are written back, and the password is
        // given the whole content, line breaks and all.
        for (std::string_view key : {SettingsKeys::Call.name, SettingsKeys::TextFile.name, SettingsKeys::Account.name,
                                     SettingsKeys::Ssb.name, SettingsKeys::OnlyNew.name}) {
            const std::string value = file.readString(Section, key, "");
            file.writeString(Section, key, value);
            written[canonical(key)] = value;
        }
        file.writeString(SettingsKeys::Password, content);
        written[canonical(SettingsKeys::Password.name)] = std::string(content);
    } else {
        std::string_view writes = input.substr(split + 1);
        while (!writes.empty()) {
            const std::string_view key = Keys[static_cast<unsigned char>(writes[0]) % Keys.size()];
            writes.remove_prefix(1);
            const std::size_t stop = writes.find('\0');
            const std::string_view value = writes.substr(0, stop);
            file.writeString(Section, key, value);
            written[canonical(key)] = std::string(value);
            writes = stop == std::string_view::npos ? std::string_view() : writes.substr(stop + 1);
        }
    }

    const SettingsFile reread(Path, file.content());
    checkReads(reread);
    for (std::string_view key : Keys) {
        const auto it = written.find(canonical(key));
        const std::string expected =
            it != written.end() ? expectedReadBack(it->second) : before[std::string(canonical(key))];
        require(file.readString(Section, key, "\x01") == expected);
        require(reread.readString(Section, key, "\x01") == expected);
    }
    return 0;
}
