#include "text.h"

#include <algorithm>

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

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
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
        while (pos < text.size() && isContinuationByte(text[pos])) {
            ++pos;
        }
    }
    return text.substr(0, pos);
}

std::string_view lastChars(std::string_view text, std::size_t count) {
    std::size_t pos = text.size();
    for (; count > 0 && pos > 0; --count) {
        --pos;
        while (pos > 0 && isContinuationByte(text[pos])) {
            --pos;
        }
    }
    return text.substr(pos);
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

} // namespace awardsync
