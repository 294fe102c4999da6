// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/page_encoding.h"

#include "core/text.h"

#include <QList>
#include <QStringConverter>
#include <QStringDecoder>

namespace awardsync {

ContentType parseContentType(const QByteArray& header) {
    ContentType result;
    const QList<QByteArray> pieces = header.split(';');
    result.mimeType = pieces.value(0).trimmed().toLower();
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QByteArray parameter = pieces[i].trimmed();
        const qsizetype equals = parameter.indexOf('=');
        if (equals > 0 && parameter.left(equals).trimmed().toLower() == "charset") {
            QByteArray value = parameter.mid(equals + 1).trimmed();
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
                value = value.mid(1, value.size() - 2);
            }
            result.charset = value;
        }
    }
    return result;
}

bool isHtml(const ContentType& type) {
    return type.mimeType.isEmpty() || type.mimeType == "text/html" || type.mimeType == "application/xhtml+xml";
}

std::string toUtf8(const QByteArray& body, const QByteArray& charset) {
    if (const auto bom = QStringConverter::encodingForData(body)) {
        QStringDecoder decoder(*bom);
        return fromQt(decoder.decode(body));
    }
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid()) {
            return fromQt(decoder.decode(body));
        }
        // Without a converter for the named charset, Latin-1 is the closest for the single-byte
        // western sets and UTF-8 for everything else.
        const QByteArray name = charset.toLower();
        if (name == "windows-1252" || name == "cp1252" || name == "us-ascii" || name.startsWith("iso-8859-")) {
            QStringDecoder latin1(QStringConverter::Latin1);
            return fromQt(latin1.decode(body));
        }
    }
    QStringDecoder decoder = QStringDecoder::decoderForHtml(body);
    if (!decoder.isValid()) {
        decoder = QStringDecoder(QStringConverter::Utf8);
    }
    return fromQt(decoder.decode(body));
}

} // namespace awardsync
