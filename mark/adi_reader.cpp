// SPDX-License-Identifier: GPL-3.0-or-later
#include "adi_reader.h"

#include "core/text.h"
#include "report.h"

#include <algorithm>
#include <array>

namespace awardsync::mark {

const AdiField* AdiRecord::find(std::string_view name) const {
    for (const AdiField& field : fields) {
        if (isFieldName(field.name, name)) {
            return &field;
        }
    }
    return nullptr;
}

AdiError::AdiError(const std::string& what, std::size_t offset, std::size_t record)
    : Error("byte " + std::to_string(offset) + (record > 0 ? " (QSO record " + std::to_string(record) + ")" : "") +
            ": " + what),
      offset(offset), record(record) {}

namespace {

// A record keeps at most this many fields: far more than any logger writes, and few enough that
// a record of millions of tags cannot take many times the file's size in memory.
constexpr std::size_t MaxKeptFields = 10000;

// More digits than this cannot be a length of anything in memory; stopping here keeps the number
// from overflowing.
constexpr std::size_t MaxLengthDigits = 15;

// Letters, digits, "_" and "-", by table: the reader asks this for every byte of every tag name.
constexpr auto NameChars = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<std::size_t>(c)] =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    }
    return table;
}();

bool isNameChar(char c) {
    return NameChars[static_cast<unsigned char>(c)];
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

enum class TagKind { Field, EndOfRecord, EndOfHeader };

struct Tag {
    TagKind kind = TagKind::Field;
    std::string_view name;
    std::string_view type;
    bool hasLength = false;
    std::size_t length = 0;
    std::size_t end = 0; // just after ">"
};

class Reader {
public:
    Reader(std::string_view text, AdiLayout& layout, const AdiFieldNames& keep)
        : text_(text), layout_(layout), keep_(keep) {}

    bool read(const AdiRecordSink& sink);
    // Reads on from `pos`, where record `number` begins, as read() had come there.
    bool readFrom(std::size_t pos, std::size_t number, const AdiRecordSink& sink);

private:
    enum class TagResult { Tag, Text, Bad };

    // Reads the tag at `at` (a "<"). Text: the "<" does not open a tag (as in "<-- note" or an
    // address in a header). Bad: it opens one that cannot be read; `problem_` says why.
    [[gnu::always_inline]] TagResult readTag(std::size_t at, Tag& tag);
    // Where the value that starts at `begin` with `length` ends, bytes or characters (see the header).
    std::size_t valueEnd(std::size_t begin, std::size_t length);
    bool cleanAt(std::size_t at) const;
    // The next "<" from `pos`: after a value it mostly stands a blank or two away, where looking
    // costs less than a library search.
    std::size_t nextOpening(std::size_t pos) const {
        for (const std::size_t near = std::min(text_.size(), pos + 4); pos < near; ++pos) {
            if (text_[pos] == '<') {
                return pos;
            }
        }
        return text_.find('<', pos);
    }
    std::size_t charactersEnd(std::size_t begin, std::size_t length) const;
    // Where an <EOR> or <EOH> tag begins that starts inside the value [begin, end) and ends after it,
    // or npos: a length one to four bytes too long.
    std::size_t tagInside(std::size_t begin, std::size_t end);
    void findHeader();
    bool kept(std::string_view name) const;
    void addField(const AdiField& field);
    // Where the value of the tag at `pos` ends; sets `valueBegin` (a value without a length runs to
    // the next "<", blanks around it not counted).
    std::size_t fieldEnd(const Tag& tag, std::size_t pos, std::size_t& valueBegin);
    // The record ends at the <EOR> tag at `pos`, which ends at `end`; false when the sink stops.
    bool endRecord(const AdiRecordSink& sink, std::size_t pos, std::size_t end);
    void startRecord(std::size_t begin) {
        record_.fields.clear();
        record_.overrun.reset();
        firstValue_ = std::string_view::npos;
        record_.begin = begin;
    }
    [[noreturn]] void fail(const std::string& what, std::size_t offset) const {
        throw AdiError(what, offset, record_.number);
    }

    std::string_view text_;
    AdiLayout& layout_;
    const AdiFieldNames& keep_;
    AdiRecord record_;
    // Where its first field with a value starts: tags without one after the last record are a
    // trailer (the service ends its reports with <APP_LoTW_EOF>), not a record cut short.
    std::size_t firstValue_ = std::string_view::npos;
    std::string problem_;
};

inline Reader::TagResult Reader::readTag(std::size_t at, Tag& tag) {
    std::size_t pos = at + 1;
    while (pos < text_.size() && isNameChar(text_[pos])) {
        ++pos;
    }
    if (pos == at + 1 || pos == text_.size() || (text_[pos] != '>' && text_[pos] != ':')) {
        if (pos > at + 1 && pos == text_.size()) {
            problem_ = "the tag \"" + echoed(text_.substr(at)) + "\" is not closed";
            return TagResult::Bad;
        }
        return TagResult::Text;
    }
    tag = Tag();
    tag.name = text_.substr(at + 1, pos - at - 1);
    if (text_[pos] == ':') {
        const std::size_t digits = ++pos;
        while (pos < text_.size() && text_[pos] >= '0' && text_[pos] <= '9') {
            ++pos;
        }
        const std::string_view number = text_.substr(digits, pos - digits);
        if (number.empty() || pos == text_.size() || (text_[pos] != '>' && text_[pos] != ':')) {
            const std::size_t close = text_.find('>', digits);
            const std::size_t shown = close == std::string_view::npos ? digits + 10 : close + 1;
            problem_ = "the length in \"" + echoed(text_.substr(at, shown - at)) + "\" is not a number";
            return TagResult::Bad;
        }
        if (number.size() > MaxLengthDigits) {
            problem_ = "the length " + echoed(number) + " of <" + echoed(tag.name) + "> is absurd";
            return TagResult::Bad;
        }
        tag.hasLength = true;
        for (char c : number) {
            tag.length = tag.length * 10 + static_cast<std::size_t>(c - '0');
        }
        if (text_[pos] == ':') {
            const std::size_t typeBegin = ++pos;
            while (pos < text_.size() && isNameChar(text_[pos])) {
                ++pos;
            }
            if (pos == text_.size() || text_[pos] != '>') {
                problem_ = "the tag <" + echoed(tag.name) + ":" + std::string(number) + ":...> is not closed";
                return TagResult::Bad;
            }
            tag.type = text_.substr(typeBegin, pos - typeBegin);
        }
    }
    tag.end = pos + 1;
    if (tag.name.size() != 3) {
        // a field
    } else if (equalsIgnoreAsciiCase(tag.name, "EOR")) {
        tag.kind = TagKind::EndOfRecord;
    } else if (equalsIgnoreAsciiCase(tag.name, "EOH")) {
        tag.kind = TagKind::EndOfHeader;
    }
    return TagResult::Tag;
}

// After a value, a clean end is the next tag, the end of the file, or blanks before either.
bool Reader::cleanAt(std::size_t at) const {
    while (at < text_.size() && isBlank(text_[at])) {
        ++at;
    }
    return at == text_.size() || text_[at] == '<';
}

// One UTF-8 character: a lead byte and as many continuation bytes as it announces and as follow it.
// Any other byte (ASCII, a stray continuation byte, an invalid lead) is a character of its own.
std::size_t nextCharacter(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t more = (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 0;
    ++pos;
    for (std::size_t i = 0; i < more && pos < text.size() && isUtf8Continuation(text[pos]); ++i) {
        ++pos;
    }
    return pos;
}

std::size_t Reader::charactersEnd(std::size_t begin, std::size_t length) const {
    std::size_t pos = begin;
    for (std::size_t count = 0; count < length; ++count) {
        if (pos >= text_.size()) {
            return std::string_view::npos;
        }
        pos = nextCharacter(text_, pos);
    }
    return pos;
}

std::size_t Reader::valueEnd(std::size_t begin, std::size_t length) {
    const std::size_t byteEnd = begin + length;
    if (layout_.unit == AdiLengthUnit::Bytes && cleanAt(byteEnd)) {
        return byteEnd;
    }
    const std::size_t charEnd = charactersEnd(begin, length);
    if (charEnd == byteEnd || charEnd == std::string_view::npos) {
        return byteEnd; // an ASCII value, or one that only fits in bytes
    }
    if (cleanAt(charEnd)) {
        layout_.unit = AdiLengthUnit::Characters;
        return charEnd;
    }
    if (cleanAt(byteEnd)) {
        return byteEnd; // a value of a writer that counts bytes, in a file that mostly counts characters
    }
    return layout_.unit == AdiLengthUnit::Characters ? charEnd : byteEnd;
}

std::size_t Reader::tagInside(std::size_t begin, std::size_t end) {
    for (std::size_t at = std::max(begin, end < 4 ? 0 : end - 4); at < end; ++at) {
        Tag tag;
        if (text_[at] == '<' && readTag(at, tag) == TagResult::Tag && tag.kind != TagKind::Field && tag.end > end) {
            return at;
        }
    }
    return std::string_view::npos;
}

// The header ends at the first <EOH> tag, values skipped by their lengths, so that "<EOH>" in a value
// is text; an <EOR> tag before it means there is none. A file that begins with free text begins with a
// header by the ADIF standard, so <EOR> in that text, before any field, is text when an <EOH> follows
// before a field does. A tag that cannot be read, or a length past the end of the file, is stepped over
// here: the records' reading reports it, and the header's fields are never read.
void Reader::findHeader() {
    const AdiLengthUnit unit = layout_.unit; // the header's values do not decide the records' unit
    const std::string_view start = withoutByteOrderMark(text_);
    const bool freeText = !start.empty() && start.front() != '<';
    bool sawField = false;
    bool eorInText = false;
    for (std::size_t pos = 0; (pos = text_.find('<', pos)) != std::string_view::npos;) {
        Tag tag;
        if (readTag(pos, tag) != TagResult::Tag) {
            ++pos;
            continue;
        }
        if (tag.kind == TagKind::EndOfHeader) {
            layout_.headerEnd = tag.end;
            break;
        }
        if (tag.kind == TagKind::EndOfRecord) {
            if (!freeText || sawField) {
                break;
            }
            eorInText = true;
            pos = tag.end;
            continue;
        }
        if (eorInText) {
            break; // a field after it: the <EOR> ended an empty record
        }
        sawField = true;
        pos = tag.end;
        if (tag.hasLength && tag.length <= text_.size() - tag.end) {
            const std::size_t end = valueEnd(tag.end, tag.length);
            pos = std::min(end, tagInside(tag.end, end));
        }
    }
    layout_.unit = unit;
}

bool Reader::kept(std::string_view name) const {
    return keep_.empty() || fieldNameIndex(name, keep_) >= 0;
}

void Reader::addField(const AdiField& field) {
    if (firstValue_ == std::string_view::npos && !field.value.empty()) {
        firstValue_ = field.tagBegin;
    }
    // The record's first field is always kept: it says where the record's fields begin.
    if (!record_.fields.empty() && !kept(field.name)) {
        return;
    }
    if (record_.fields.size() == MaxKeptFields) {
        fail("the QSO record holds more than " + std::to_string(MaxKeptFields) + " fields", field.tagBegin);
    }
    record_.fields.push_back(field);
}

std::size_t Reader::fieldEnd(const Tag& tag, std::size_t pos, std::size_t& valueBegin) {
    if (tag.hasLength) {
        if (tag.length > text_.size() - tag.end) {
            fail("the length " + std::to_string(tag.length) + " of <" + echoed(tag.name) +
                     "> runs past the end of the file",
                 pos);
        }
        return valueEnd(tag.end, tag.length);
    }
    if (tag.kind != TagKind::Field) {
        return tag.end;
    }
    std::size_t end = text_.find('<', tag.end);
    end = end == std::string_view::npos ? text_.size() : end;
    valueBegin = std::min(end, tag.end);
    return end;
}

bool Reader::endRecord(const AdiRecordSink& sink, std::size_t pos, std::size_t end) {
    record_.eorBegin = pos;
    record_.end = end;
    if (!sink(record_)) {
        return false;
    }
    layout_.records = record_.number;
    layout_.tailBegin = end;
    startRecord(end);
    ++record_.number;
    return true;
}

bool Reader::read(const AdiRecordSink& sink) {
    if (const std::optional<NotText> problem = notText(text_)) {
        throw AdiError(problem->reason, problem->offset, 0);
    }
    const std::string_view start = trimControl(withoutByteOrderMark(text_));
    if (startsWithIgnoreAsciiCase(start, "<?xml") || startsWithIgnoreAsciiCase(start, "<ADX")) {
        throw AdiError("this is an ADX (XML) file; only ADI files can be read (export the log as ADI)",
                       static_cast<std::size_t>(start.data() - text_.data()), 0);
    }

    findHeader();
    return readFrom(layout_.headerEnd, 1, sink);
}

bool Reader::readFrom(std::size_t pos, std::size_t number, const AdiRecordSink& sink) {
    startRecord(pos);
    record_.number = number;
    layout_.tailBegin = pos;
    while ((pos = nextOpening(pos)) != std::string_view::npos) {
        Tag tag;
        const TagResult result = readTag(pos, tag);
        if (result == TagResult::Bad) {
            fail(problem_, pos);
        }
        if (result == TagResult::Text) {
            ++pos;
            continue;
        }
        std::size_t valueBegin = tag.end;
        std::size_t end = fieldEnd(tag, pos, valueBegin);
        if (tag.kind == TagKind::Field) {
            const std::size_t cut = tag.hasLength ? tagInside(valueBegin, end) : std::string_view::npos;
            end = std::min(end, cut);
            std::string_view value = text_.substr(valueBegin, end - valueBegin);
            if (!tag.hasLength) {
                value = trimControl(value);
            }
            const AdiField field{tag.name, tag.type, value, pos, end};
            if (cut != std::string_view::npos && !record_.overrun) {
                record_.overrun = field;
            }
            addField(field);
        } else if (tag.kind == TagKind::EndOfHeader) {
            // A second header, as in two exports joined into one file: its fields belong to no QSO. One that a
            // length ran into leaves the record as it is, to be named and left alone when its <EOR> comes.
            if (!record_.overrun) {
                startRecord(record_.begin);
            }
        } else if (!endRecord(sink, pos, end)) {
            return false;
        }
        pos = end;
    }
    if (firstValue_ != std::string_view::npos) {
        fail("the last QSO record has no <EOR> (is the file cut short?)", record_.fields.front().tagBegin);
    }
    return true;
}

} // namespace

std::size_t adiLength(std::string_view value, AdiLengthUnit unit) {
    if (unit == AdiLengthUnit::Bytes) {
        return value.size();
    }
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < value.size(); pos = nextCharacter(value, pos)) {
        ++count;
    }
    return count;
}

namespace {

constexpr std::string_view OverrunWords = "a field's length runs into the next tag";

// "<COMMENT:4> at byte 120"
std::string overrunPlace(std::string_view text, const AdiField& overrun) {
    const std::size_t valueBegin = static_cast<std::size_t>(overrun.value.data() - text.data());
    return echoed(text.substr(overrun.tagBegin, valueBegin - overrun.tagBegin)) + " at byte " +
           std::to_string(overrun.tagBegin);
}

} // namespace

std::string overrunProblem(std::string_view text, const AdiField& overrun) {
    return std::string(OverrunWords) + " (" + overrunPlace(text, overrun) + ")";
}

std::string overrunWarning(const std::string& name, std::string_view text, const AdiRecord& record,
                           std::string_view consequence) {
    return name + ": record " + std::to_string(record.number) + ": " + std::string(OverrunWords) + "; " +
           std::string(consequence) + " (" + overrunPlace(text, *record.overrun) + ")";
}

bool readAdi(std::string_view text, const AdiRecordSink& sink, AdiLayout& layout, const AdiFieldNames& keep) {
    layout = AdiLayout();
    return Reader(text, layout, keep).read(sink);
}

void readAdiRecordAgain(std::string_view text, std::size_t begin, AdiLengthUnit unit, const AdiRecordSink& sink,
                        const AdiFieldNames& keep) {
    AdiLayout layout;
    layout.unit = unit;
    Reader(text, layout, keep).readFrom(begin, 1, [&](const AdiRecord& record) {
        sink(record);
        return false;
    });
}

} // namespace awardsync::mark
