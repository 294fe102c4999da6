// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a page's body is and how its bytes become text. Internal to the page loader.
#include <QByteArray>
#include <string>

namespace awardsync {

struct ContentType {
    QByteArray mimeType; // lower case, empty when the server sent none
    QByteArray charset;
};

// Reads a Content-Type header: the media type and its charset parameter (quotes removed).
ContentType parseContentType(const QByteArray& header);

// Whether the body is a page: an HTML type, or no type at all.
bool isHtml(const ContentType& type);

// The body as UTF-8, the way a browser picks the encoding: a byte order mark first, then the
// charset of the Content-Type, then a <meta> charset in the page, and UTF-8 otherwise.
std::string toUtf8(const QByteArray& body, const QByteArray& charset);

} // namespace awardsync
