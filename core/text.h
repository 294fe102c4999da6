// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace awardsync {

// Text inside the program is UTF-8 in std::string; QString appears only at the Qt boundary.
inline QString toQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string fromQt(const QString& text) {
    return text.toUtf8().toStdString();
}
// A file's bytes as read into a QByteArray, without a copy.
inline std::string_view viewOf(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// Removes leading and trailing bytes with codes 32 and below (blanks and control characters).
std::string_view trimControl(std::string_view text);

// Removes leading and trailing blanks and tabs only.
std::string_view trimBlanks(std::string_view text);

// Replaces every occurrence of `from` (case-sensitive) by `to`.
std::string replaceAll(std::string text, std::string_view from, std::string_view to);

// ASCII letter case: other bytes, UTF-8 ones included, are left as they are.
char asciiLower(char c);
char asciiUpper(char c);
std::string asciiLower(std::string_view text);
std::string asciiUpper(std::string_view text);
bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);
bool startsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix);

// UTF-8 text cut by characters, never inside one. A count past the end gives the whole text.
std::string_view firstChars(std::string_view text, std::size_t count);
std::string_view lastChars(std::string_view text, std::size_t count);

// Whether the bytes are well-formed UTF-8: no stray or missing continuation bytes, overlong forms,
// surrogates or code points past U+10FFFF.
bool isValidUtf8(std::string_view text);

// Whether the byte continues a UTF-8 sequence (10xxxxxx).
inline bool isUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Text as it may be shown in a one-line message on a terminal: control characters become \n, \r,
// \t or \xNN (escape sequences never reach the terminal), and bytes that are not UTF-8 become
// \xNN. File names and bytes from files go through this before they are printed.
std::string escapedForMessage(std::string_view text);

// The UTF-8 byte-order mark some editors put at the start of a file.
inline constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// The text without a UTF-8 byte-order mark at its start.
std::string_view withoutByteOrderMark(std::string_view text);

// Why bytes cannot be read as text: UTF-16 (by its byte-order mark) or a NUL byte, at `offset`.
struct NotText {
    std::size_t offset;
    std::string reason;
};
std::optional<NotText> notText(std::string_view text);

// Windows-1252 text as UTF-8. The five bytes that code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the control characters of the same number, as Windows reads them, so no byte
// is lost.
std::string windows1252ToUtf8(std::string_view text);

// `path` with `ending` put in place of its file name's extension (keepExtension false) or inserted
// before it (keepExtension true): "log.adi" gives "log-granted.adi", "credits.txt" gives
// "credits-credits.adi". A name without a dot, or whose only dot leads it (a hidden file), has no
// extension.
std::string pathWithNewEnding(const std::string& path, std::string_view ending, bool keepExtension);

// How many lines `text` ends: LF, CR LF and a lone CR each end one.
std::size_t countLineEnds(std::string_view text);

// Text fit for an HTML page: the markup characters & < > " ' as entities.
std::string escapeHtml(std::string_view text);

// The value of a hexadecimal digit in either case, or -1.
int hexDigitValue(char c);

} // namespace awardsync
