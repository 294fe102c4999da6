#pragma once

#include <QString>
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

// Removes leading and trailing bytes with codes 32 and below (blanks and control characters).
std::string_view trimControl(std::string_view text);

// Replaces every occurrence of `from` (case-sensitive) by `to`.
std::string replaceAll(std::string text, std::string_view from, std::string_view to);

} // namespace awardsync
