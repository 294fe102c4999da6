// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/error.h"
#include "core/text.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace awardsync::mark {

// One field of an ADI record, pointing into the file's bytes. Offsets count bytes from the file's start.
struct AdiField {
    std::string_view name;  // as written, letter case kept
    std::string_view type;  // the data-type indicator ("D" in <QSO_DATE:8:D>), or empty
    std::string_view value; // exactly the value's bytes
    std::size_t tagBegin = 0;
    std::size_t valueEnd = 0;
};

// One QSO record: the bytes from `begin` (just after the previous record or the header) to `end`
// (just after its end-of-record tag), the text between fields included.
struct AdiRecord {
    std::size_t number = 0; // 1 for the first record
    std::size_t begin = 0;
    std::size_t eorBegin = 0; // where its <EOR> tag starts
    std::size_t end = 0;
    std::vector<AdiField> fields;
    // The first field whose counted length ends inside the <EOR> or <EOH> tag after it (as the 4 of
    // "<COMMENT:4>abc<EOR>"): its value is cut where that tag begins, so that the tag still ends the
    // record, but the record's fields cannot be trusted. Kept whatever its name.
    std::optional<AdiField> overrun;

    // The first field of that name, letter case ignored, or nullptr.
    const AdiField* find(std::string_view name) const;
};

// How the lengths of the file's non-ASCII values count: in bytes (most desktop loggers) or in UTF-8
// characters (some web logbooks). Plain ASCII files never show which.
enum class AdiLengthUnit { Bytes, Characters };

// The length of a value as a file of that unit counts it: characters as the reader steps over them
// (a UTF-8 sequence, or any byte outside one), so that what is written reads back the same.
std::size_t adiLength(std::string_view value, AdiLengthUnit unit);

struct AdiLayout {
    std::size_t headerEnd = 0; // 0 without a header, else just after <EOH>
    std::size_t tailBegin = 0; // just after the last record's <EOR>
    std::size_t records = 0;
    AdiLengthUnit unit = AdiLengthUnit::Bytes;
};

// A file that cannot be read as ADI: the message names the byte offset and the QSO record.
class AdiError : public Error {
public:
    AdiError(const std::string& what, std::size_t offset, std::size_t record);
    std::size_t offset;
    std::size_t record;
};

// Called for each record in file order; returning false stops the reading (a cancelled run). The
// record and its fields live only until the call returns.
using AdiRecordSink = std::function<bool(const AdiRecord&)>;

// The names of the fields a reading keeps in AdiRecord::fields, letter case ignored; empty: every
// field. A reader that needs a few fields names them, so that a record of many other fields costs
// nothing. The record's first field is kept whatever its name: it says where the record's fields begin.
using AdiFieldNames = std::vector<std::string_view>;

// Whether a field's name is `name`, letter case ignored; inline, and length and first letter compared
// first, as this runs for every field of a large log.
inline bool isFieldName(std::string_view fieldName, std::string_view name) {
    return fieldName.size() == name.size() && (name.empty() || (fieldName[0] | 0x20) == (name[0] | 0x20)) &&
           equalsIgnoreAsciiCase(fieldName, name);
}

// Which of `names` a field's name is, or -1.
inline int fieldNameIndex(std::string_view fieldName, std::span<const std::string_view> names) {
    for (std::size_t n = 0; n < names.size(); ++n) {
        if (isFieldName(fieldName, names[n])) {
            return static_cast<int>(n);
        }
    }
    return -1;
}

// Reads an ADI file as loggers write it: tags in any letter case, with or without a data-type
// indicator, text between fields, tags without a length (the value runs to the next "<"), CR LF or
// LF, an optional header (free text, fields, or none) ended by <EOH>. Values with a length are taken
// by that length and never scanned, so "<" or "<EOR>" inside them is just text.
//
// The header ends at the first <EOH> tag, values with a length skipped as in a record (the ADIF
// standard's rule); a file has none when an <EOR> tag comes first, except one in the free text that
// a file not starting with "<" begins with, before any field: the header's text may name the tags.
// A length that ends inside an <EOR> or <EOH> tag is cut where the tag begins (AdiRecord::overrun).
//
// Lengths of non-ASCII values: read as bytes first; when that leaves part of a character or other
// text before the next tag, but counting UTF-8 characters ends the value cleanly at the next tag (or
// at blanks before it), the file counts characters, and later values that fit either way follow it.
//
// Tags without a value (no length, or length 0) after the last <EOR> are a trailer and belong to no
// record. Raises AdiError for what cannot be read: an ADX (XML) file, UTF-16 text, a file holding a
// NUL byte (not text), a length that is not a number or runs past the end of the file, a tag not
// closed, fields with a value after the last <EOR>, a record of more kept fields than any logger
// writes (10,000). Returns false when the sink stopped the reading.
bool readAdi(std::string_view text, const AdiRecordSink& sink, AdiLayout& layout, const AdiFieldNames& keep = {});

// Why a record with an overrun cannot be used: "a field's length runs into the next tag (<COMMENT:4>
// at byte 120)"; and the warning that names it in the file `name`: "NAME: record N: a field's length
// runs into the next tag; CONSEQUENCE (<COMMENT:4> at byte 120)".
std::string overrunProblem(std::string_view text, const AdiField& overrun);
std::string overrunWarning(const std::string& name, std::string_view text, const AdiRecord& record,
                           std::string_view consequence);

// Reads again the record that readAdi() found at `begin` of the same `text`, when the lengths counted in
// `unit` as that record began: the sink sees it as readAdi() showed it, fields kept by `keep`.
void readAdiRecordAgain(std::string_view text, std::size_t begin, AdiLengthUnit unit, const AdiRecordSink& sink,
                        const AdiFieldNames& keep = {});

} // namespace awardsync::mark
