// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/PageCharset.h"

#include <QList>
#include <QString>
#include <QStringDecoder>

#include <array>

namespace {

bool isSpace(char c)
{
    // WHATWG "ASCII whitespace": TAB, LF, FF, CR, SPACE.
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

QByteArray trimmedLower(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    QByteArray out = text.mid(begin, end - begin);
    for (char& c : out)
        c = lower(c);
    return out;
}

bool startsWithNoCase(const QByteArray& bytes, qsizetype at, const char* word)
{
    for (qsizetype i = 0; word[i]; ++i) {
        if (at + i >= bytes.size() || lower(bytes[at + i]) != word[i])
            return false;
    }
    return true;
}

// WHATWG Encoding, "labels": the labels of the encodings decoded here directly.
// ISO-8859-1 and US-ASCII are Windows-1252 on the web.
const char* const kUtf8Labels[] = {
    "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8", "utf-8", "utf8", "x-unicode20utf8"};
const char* const kUtf16BeLabels[] = {"unicodefffe", "utf-16be"};
const char* const kUtf16LeLabels[] = {"csunicode",   "iso-10646-ucs-2", "ucs-2",   "unicode",
                                      "unicodefeff", "utf-16",          "utf-16le"};
const char* const kWindows1252Labels[] = {"ansi_x3.4-1968",
                                          "ascii",
                                          "cp1252",
                                          "cp819",
                                          "csisolatin1",
                                          "ibm819",
                                          "iso-8859-1",
                                          "iso-ir-100",
                                          "iso8859-1",
                                          "iso88591",
                                          "iso_8859-1",
                                          "iso_8859-1:1987",
                                          "l1",
                                          "latin1",
                                          "us-ascii",
                                          "windows-1252",
                                          "x-cp1252",
                                          "x-user-defined"};

template <size_t N>
bool oneOf(const QByteArray& label, const char* const (&labels)[N])
{
    for (const char* candidate : labels) {
        if (label == candidate)
            return true;
    }
    return false;
}

// Windows-1252 bytes 0x80..0x9F (WHATWG index-windows-1252); the rest is Latin-1.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QByteArray windows1252ToUtf8(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.append(c);
            continue;
        }
        const char16_t u = b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b);
        if (u < 0x800) {
            out.append(char(0xC0 | (u >> 6)));
            out.append(char(0x80 | (u & 0x3F)));
        } else {
            out.append(char(0xE0 | (u >> 12)));
            out.append(char(0x80 | ((u >> 6) & 0x3F)));
            out.append(char(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

// The prescan's byte cursor: reading past the scanned region ends the prescan.
struct Prescan
{
    const QByteArray& bytes;
    qsizetype end;
    qsizetype pos = 0;

    bool atEnd() const { return pos >= end; }
    char at() const { return bytes[pos]; }
};

struct Attribute
{
    QByteArray name;
    QByteArray value;
};

// WHATWG HTML "get an attribute". Returns false when there is no further attribute
// (or the region ends); `out` is then untouched.
bool getAttribute(Prescan& s, Attribute& out)
{
    while (!s.atEnd() && (isSpace(s.at()) || s.at() == '/'))
        ++s.pos;
    if (s.atEnd() || s.at() == '>')
        return false;
    Attribute attribute;
    // The name.
    for (;; ++s.pos) {
        if (s.atEnd())
            return false;
        const char c = s.at();
        if (c == '=' && !attribute.name.isEmpty()) {
            ++s.pos;
            goto value;
        }
        if (isSpace(c))
            break;
        if (c == '/' || c == '>') {
            out = attribute;
            return true;
        }
        attribute.name.append(lower(c));
    }
    while (!s.atEnd() && isSpace(s.at()))
        ++s.pos;
    if (s.atEnd())
        return false;
    if (s.at() != '=') {
        out = attribute;
        return true;
    }
    ++s.pos;
value:
    while (!s.atEnd() && isSpace(s.at()))
        ++s.pos;
    if (s.atEnd())
        return false;
    if (s.at() == '"' || s.at() == '\'') {
        const char quote = s.at();
        for (++s.pos; !s.atEnd(); ++s.pos) {
            if (s.at() == quote) {
                ++s.pos;
                out = attribute;
                return true;
            }
            attribute.value.append(lower(s.at()));
        }
        return false;
    }
    if (s.at() == '>') {
        out = attribute;
        return true;
    }
    for (; !s.atEnd(); ++s.pos) {
        if (isSpace(s.at()) || s.at() == '>') {
            out = attribute;
            return true;
        }
        attribute.value.append(lower(s.at()));
    }
    return false;
}

// WHATWG HTML "extract a character encoding from a meta element" (the content value).
QByteArray charsetFromMetaContent(const QByteArray& content)
{
    qsizetype pos = 0;
    for (;;) {
        const qsizetype found = [&] {
            for (qsizetype i = pos; i + 7 <= content.size(); ++i) {
                if (startsWithNoCase(content, i, "charset"))
                    return i;
            }
            return qsizetype(-1);
        }();
        if (found < 0)
            return {};
        pos = found + 7;
        while (pos < content.size() && isSpace(content[pos]))
            ++pos;
        if (pos < content.size() && content[pos] == '=')
            break;
    }
    ++pos;
    while (pos < content.size() && isSpace(content[pos]))
        ++pos;
    if (pos >= content.size())
        return {};
    const char c = content[pos];
    if (c == '"' || c == '\'') {
        const qsizetype close = content.indexOf(c, pos + 1);
        return close < 0 ? QByteArray() : content.mid(pos + 1, close - pos - 1);
    }
    qsizetype stop = pos;
    while (stop < content.size() && !isSpace(content[stop]) && content[stop] != ';')
        ++stop;
    return content.mid(pos, stop - pos);
}

// The attributes of one <meta> tag; an encoding when they name one.
QByteArray metaEncoding(Prescan& s, bool& ended)
{
    QList<QByteArray> seen;
    bool gotPragma = false;
    int needPragma = -1; // -1 null, 0 false, 1 true
    QByteArray charset;
    bool charsetFailed = false;
    Attribute attribute;
    for (;;) {
        const qsizetype before = s.pos;
        if (!getAttribute(s, attribute)) {
            ended = s.atEnd();
            break;
        }
        if (s.pos == before) // a bare "/" or "=" cannot stall the scan
            ++s.pos;
        if (seen.contains(attribute.name))
            continue;
        seen.append(attribute.name);
        if (attribute.name == "http-equiv") {
            if (attribute.value == "content-type")
                gotPragma = true;
        } else if (attribute.name == "content") {
            const QByteArray label = charsetFromMetaContent(attribute.value);
            if (!label.isEmpty() && charset.isEmpty() && !charsetFailed) {
                charset = PageCharset::Canonical(label);
                charsetFailed = charset.isEmpty();
                needPragma = 1;
            }
        } else if (attribute.name == "charset") {
            charset = PageCharset::Canonical(attribute.value);
            charsetFailed = charset.isEmpty();
            needPragma = 0;
        }
    }
    if (ended || needPragma < 0 || (needPragma == 1 && !gotPragma) || charsetFailed ||
        charset.isEmpty())
        return {};
    if (charset == "UTF-16LE" || charset == "UTF-16BE")
        return "UTF-8";
    return charset;
}

} // namespace

QByteArray PageCharset::FromContentType(const QByteArray& contentType)
{
    // RFC 9110 §8.3.1: media-type *( OWS ";" OWS parameter ), parameter names
    // case-insensitive, values a token or a quoted-string.
    qsizetype pos = contentType.indexOf(';');
    while (pos >= 0) {
        ++pos;
        while (pos < contentType.size() && (contentType[pos] == ' ' || contentType[pos] == '\t'))
            ++pos;
        if (startsWithNoCase(contentType, pos, "charset")) {
            qsizetype at = pos + 7;
            while (at < contentType.size() && (contentType[at] == ' ' || contentType[at] == '\t'))
                ++at;
            if (at < contentType.size() && contentType[at] == '=') {
                ++at;
                while (at < contentType.size() &&
                       (contentType[at] == ' ' || contentType[at] == '\t'))
                    ++at;
                if (at < contentType.size() && contentType[at] == '"') {
                    const qsizetype close = contentType.indexOf('"', at + 1);
                    return close < 0 ? contentType.mid(at + 1)
                                     : contentType.mid(at + 1, close - at - 1);
                }
                qsizetype stop = at;
                while (stop < contentType.size() && contentType[stop] != ';' &&
                       !isSpace(contentType[stop]))
                    ++stop;
                return contentType.mid(at, stop - at);
            }
        }
        pos = contentType.indexOf(';', pos);
    }
    return {};
}

QByteArray PageCharset::FromMeta(const QByteArray& page)
{
    Prescan s{page, qMin<qsizetype>(page.size(), 1024)};
    while (!s.atEnd()) {
        if (startsWithNoCase(page, s.pos, "<!--")) {
            const qsizetype close = page.indexOf("-->", s.pos + 2);
            if (close < 0 || close + 3 > s.end)
                return {};
            s.pos = close + 3;
            continue;
        }
        if (startsWithNoCase(page, s.pos, "<meta") && s.pos + 5 < s.end &&
            (isSpace(page[s.pos + 5]) || page[s.pos + 5] == '/')) {
            s.pos += 6;
            bool ended = false;
            const QByteArray encoding = metaEncoding(s, ended);
            if (!encoding.isEmpty())
                return encoding;
            if (ended)
                return {};
            ++s.pos;
            continue;
        }
        if (s.at() == '<' && s.pos + 1 < s.end &&
            (isLetter(page[s.pos + 1]) ||
             (page[s.pos + 1] == '/' && s.pos + 2 < s.end && isLetter(page[s.pos + 2])))) {
            while (!s.atEnd() && !isSpace(s.at()) && s.at() != '>')
                ++s.pos;
            Attribute ignored;
            for (;;) {
                const qsizetype before = s.pos;
                if (!getAttribute(s, ignored))
                    break;
                if (s.pos == before)
                    ++s.pos;
            }
            if (s.atEnd())
                return {};
            ++s.pos;
            continue;
        }
        if (s.at() == '<' && s.pos + 1 < s.end &&
            (page[s.pos + 1] == '!' || page[s.pos + 1] == '/' || page[s.pos + 1] == '?')) {
            const qsizetype close = page.indexOf('>', s.pos + 1);
            if (close < 0 || close >= s.end)
                return {};
            s.pos = close + 1;
            continue;
        }
        ++s.pos;
    }
    return {};
}

QByteArray PageCharset::Canonical(const QByteArray& rawLabel)
{
    const QByteArray label = trimmedLower(rawLabel);
    if (label.isEmpty())
        return {};
    if (oneOf(label, kUtf8Labels))
        return "UTF-8";
    if (oneOf(label, kUtf16LeLabels))
        return "UTF-16LE";
    if (oneOf(label, kUtf16BeLabels))
        return "UTF-16BE";
    if (oneOf(label, kWindows1252Labels))
        return "windows-1252";
    // Other legacy encodings go to the platform's converter, but only by a plain
    // name: never UTF-7 or UTF-32 (not web encodings; UTF-7 hides markup) and never
    // the converter's own aliases for the user's locale.
    for (char c : label) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.' || c == ':';
        if (!plain)
            return {};
    }
    if (label.size() > 40 || label.startsWith("utf-7") || label.startsWith("utf7") ||
        label.startsWith("utf-32") || label.startsWith("utf32") || label.startsWith("ucs-4") ||
        label == "locale" || label == "system")
        return {};
    QStringDecoder decoder(label.constData());
    return decoder.isValid() ? label : QByteArray();
}

QByteArray PageCharset::Detect(const QByteArray& page, const QByteArray& contentType)
{
    if (page.startsWith("\xEF\xBB\xBF"))
        return "UTF-8";
    if (page.startsWith("\xFE\xFF"))
        return "UTF-16BE";
    if (page.startsWith("\xFF\xFE"))
        return "UTF-16LE";
    const QByteArray transport = Canonical(FromContentType(contentType));
    if (!transport.isEmpty())
        return transport;
    const QByteArray meta = FromMeta(page);
    if (!meta.isEmpty())
        return meta;
    return "windows-1252";
}

QByteArray PageCharset::DecodeToUtf8(const QByteArray& page, const QByteArray& encoding)
{
    if (encoding == "windows-1252")
        return windows1252ToUtf8(page);
    QStringDecoder decoder = encoding == "UTF-8"      ? QStringDecoder(QStringConverter::Utf8)
                             : encoding == "UTF-16LE" ? QStringDecoder(QStringConverter::Utf16LE)
                             : encoding == "UTF-16BE" ? QStringDecoder(QStringConverter::Utf16BE)
                                                      : QStringDecoder(encoding.constData());
    if (!decoder.isValid())
        return windows1252ToUtf8(page);
    // Without ConvertInitialBom the decoder drops a leading byte order mark.
    const QString text = decoder.decode(page);
    return text.toUtf8();
}

QByteArray PageCharset::ToUtf8(const QByteArray& page, const QByteArray& contentType)
{
    return DecodeToUtf8(page, Detect(page, contentType));
}
