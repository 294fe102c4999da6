// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace awardsync {

// Reads an integer the way the settings file stores it: decimal, or hexadecimal after "$" (or
// "0x"), with leading blanks and a sign allowed; nothing else may follow. Values outside the
// 32-bit range give nothing (hexadecimal up to $FFFFFFFF wraps like a 32-bit word).
std::optional<std::int32_t> parseSettingsInteger(std::string_view text);

// One key of the settings file: its section, its name, and what it reads as when the file does not
// hold it, in the file's own form.
struct SettingsKey {
    std::string_view section;
    std::string_view name;
    std::string_view fallback;
};

// Every key of the settings file. awardsync keeps its inputs in [Settings] and writes them when its
// window closes, in this order; awardsync-mark reads the records file's path from TextFile.
struct SettingsKeys {
    static constexpr SettingsKey Call{"Settings", "Call", ""};
    static constexpr SettingsKey Password{"Settings", "Password", ""};
    // Falls back to the executable's path with ".txt", which only the download window knows; to
    // awardsync-mark the empty fallback means that the download program names no records file.
    static constexpr SettingsKey TextFile{"Settings", "TextFile", ""};
    static constexpr SettingsKey Account{"Settings", "Account", "1"};
    static constexpr SettingsKey Ssb{"Settings", "SSB", "1"};
    static constexpr SettingsKey OnlyNew{"Settings", "OnlyNew", "0"};
    // Read, never written: they are for the user to set by hand (a test service, a private certificate).
    static constexpr SettingsKey Endpoint{"Service", "Endpoint", "https://lotw.arrl.org"};
    static constexpr SettingsKey CAFile{"Service", "CAFile", ""};
};

// An INI file read and written key by key: section and key names ignore letter case, a write
// changes only its own line (or adds it to its section, or adds the section), and every other
// line of the file is kept byte for byte (a leading UTF-8 byte-order mark too). Writes are collected
// and put on disk by flush().
class SettingsFile {
public:
    static constexpr std::size_t MaxValueLength = 2047;

    // Reads the file at `path` when it is a regular file (or a link to one); anything else reads
    // as an empty file.
    explicit SettingsFile(QString path);
    SettingsFile(QString path, std::string_view content);

    // The key's value with surrounding blanks and one pair of enclosing quotes removed, cut to
    // MaxValueLength characters; `fallback` only when the key is absent. A value that is not valid
    // UTF-8 is read as Windows-1252.
    std::string readString(std::string_view section, std::string_view key, std::string_view fallback) const;
    std::int32_t readInteger(std::string_view section, std::string_view key, std::int32_t fallback) const;
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;

    void writeString(std::string_view section, std::string_view key, std::string_view value);

    // The same for a key of SettingsKeys, with the key's own fallback.
    std::string readString(const SettingsKey& key) const { return readString(key.section, key.name, key.fallback); }
    std::int32_t readInteger(const SettingsKey& key) const;
    bool readBool(const SettingsKey& key) const { return readInteger(key) != 0; }
    void writeString(const SettingsKey& key, std::string_view value) { writeString(key.section, key.name, value); }

    // Writes the file when anything changed, through a temporary file and a rename; a new file is
    // readable by its owner only, since it holds the password. Raises "Unable to write to <path>",
    // also when the path names something other than a regular file (which is left as it was).
    void flush();

    // The file's content as it stands, writes included.
    std::string content() const;
    const QString& path() const { return path_; }

private:
    struct Line {
        std::string text; // without its line end
        std::string end;  // "\r\n", "\n", "\r" or "" for a last line without one
    };
    std::optional<std::size_t> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(std::size_t sectionLine, std::string_view key) const;
    std::string lineEnd() const;

    QString path_;
    bool byteOrderMark_ = false; // kept in front of the first line
    std::vector<Line> lines_;
    bool dirty_ = false;
};

} // namespace awardsync
