// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_file.h"

#include "core/atomic_save.h"
#include "core/text.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

namespace awardsync {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return toQt(a).compare(toQt(b), Qt::CaseInsensitive) == 0;
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

bool enclosedInQuotes(std::string_view text) {
    return text.size() >= 2 && isQuote(text.front()) && text.front() == text.back();
}

// A value that would lose its blanks or quotes when read back is written in quotes.
std::string encodeValue(std::string_view value) {
    std::string clean(value);
    for (char& c : clean) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    if (clean != trimBlanks(clean) || enclosedInQuotes(clean)) {
        return '"' + clean + '"';
    }
    return clean;
}

std::optional<std::string_view> sectionName(std::string_view line) {
    line = trimBlanks(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    std::size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return trimBlanks(line.substr(1, close - 1));
}

} // namespace

std::optional<std::int32_t> parseSettingsInteger(std::string_view text) {
    std::string normal(text);
    if (normal.size() > 2 && normal[0] == '0' && (normal[1] == 'x' || normal[1] == 'X')) {
        normal.replace(0, 2, "$");
    }
    std::string_view rest = normal;
    while (!rest.empty() && rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    bool hex = !rest.empty() && rest.front() == '$';
    if (hex) {
        rest.remove_prefix(1);
    }
    if (rest.empty()) {
        return std::nullopt;
    }
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    std::uint64_t value = 0;
    for (char c : rest) {
        const int digit = hexDigitValue(c);
        if (digit < 0 || (!hex && digit > 9)) {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (value > limit) {
            return std::nullopt;
        }
    }
    std::uint32_t word = static_cast<std::uint32_t>(value);
    if (negative) {
        word = 0u - word;
    }
    return static_cast<std::int32_t>(word);
}

SettingsFile::SettingsFile(QString path) : path_(std::move(path)) {
    // Only a regular file is read: a pipe would block the start and a device never end.
    QFile file(path_);
    if (QFileInfo(path_).isFile() && file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        *this = SettingsFile(path_, viewOf(bytes));
    }
}

SettingsFile::SettingsFile(QString path, std::string_view content) : path_(std::move(path)) {
    const std::string_view text = withoutByteOrderMark(content);
    byteOrderMark_ = text.size() != content.size();
    content = text;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t stop = content.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) {
            lines_.push_back({std::string(content.substr(start)), ""});
            break;
        }
        std::size_t endLength =
            (content[stop] == '\r' && stop + 1 < content.size() && content[stop + 1] == '\n') ? 2 : 1;
        lines_.push_back(
            {std::string(content.substr(start, stop - start)), std::string(content.substr(stop, endLength))});
        start = stop + endLength;
    }
}

std::optional<std::size_t> SettingsFile::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        auto name = sectionName(lines_[i].text);
        if (name && sameName(*name, section)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> SettingsFile::findKey(std::size_t sectionLine, std::string_view key) const {
    for (std::size_t i = sectionLine + 1; i < lines_.size() && !sectionName(lines_[i].text); ++i) {
        std::string_view text = lines_[i].text;
        std::size_t eq = text.find('=');
        if (eq == std::string_view::npos || trimBlanks(text).starts_with(';')) {
            continue;
        }
        if (sameName(trimBlanks(text.substr(0, eq)), key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string SettingsFile::readString(std::string_view section, std::string_view key, std::string_view fallback) const {
    auto sectionLine = findSection(section);
    auto keyLine = sectionLine ? findKey(*sectionLine, key) : std::nullopt;
    if (!keyLine) {
        return std::string(fallback);
    }
    std::string_view text = lines_[*keyLine].text;
    std::string_view value = trimBlanks(text.substr(text.find('=') + 1));
    if (enclosedInQuotes(value)) {
        value = value.substr(1, value.size() - 2);
    }
    // A value that is not UTF-8 comes from a file written on Windows in its code page; read so,
    // it survives the next write, which stores it as UTF-8.
    if (!isValidUtf8(value)) {
        return std::string(firstChars(windows1252ToUtf8(value), MaxValueLength));
    }
    return std::string(firstChars(value, MaxValueLength));
}

std::int32_t SettingsFile::readInteger(std::string_view section, std::string_view key, std::int32_t fallback) const {
    return parseSettingsInteger(readString(section, key, "")).value_or(fallback);
}

bool SettingsFile::readBool(std::string_view section, std::string_view key, bool fallback) const {
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

std::int32_t SettingsFile::readInteger(const SettingsKey& key) const {
    return readInteger(key.section, key.name, parseSettingsInteger(key.fallback).value_or(0));
}

std::string SettingsFile::lineEnd() const {
    for (const Line& line : lines_) {
        if (!line.end.empty()) {
            return line.end;
        }
    }
    return "\n";
}

void SettingsFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    std::string text = std::string(key) + "=" + encodeValue(value);
    dirty_ = true;
    auto sectionLine = findSection(section);
    if (!sectionLine) {
        if (!lines_.empty() && lines_.back().end.empty()) {
            lines_.back().end = lineEnd();
        }
        lines_.push_back({"[" + std::string(section) + "]", lineEnd()});
        lines_.push_back({std::move(text), lineEnd()});
        return;
    }
    if (auto keyLine = findKey(*sectionLine, key)) {
        lines_[*keyLine].text = std::move(text);
        return;
    }
    // A new key goes after the section's last non-blank line, so blank lines before the next
    // section stay where they are.
    std::size_t insertAt = *sectionLine + 1;
    for (std::size_t i = insertAt; i < lines_.size() && !sectionName(lines_[i].text); ++i) {
        if (!trimBlanks(lines_[i].text).empty()) {
            insertAt = i + 1;
        }
    }
    if (lines_[insertAt - 1].end.empty()) {
        lines_[insertAt - 1].end = lineEnd();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), Line{std::move(text), lineEnd()});
}

std::string SettingsFile::content() const {
    std::string result(byteOrderMark_ ? ByteOrderMark : "");
    for (const Line& line : lines_) {
        result += line.text;
        result += line.end;
    }
    return result;
}

void SettingsFile::flush() {
    if (!dirty_) {
        return;
    }
    const std::string bytes = content();
    try {
        // A new file is for its owner only: it holds the password.
        saveAtomically(path_, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())),
                       {.newFilePermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner,
                        .writeContent = {},
                        .sourcePermissions = {}});
    } catch (const SaveError&) {
        throw Error("Unable to write to " + fromQt(QFileInfo(path_).absoluteFilePath()));
    }
    dirty_ = false;
}

} // namespace awardsync
