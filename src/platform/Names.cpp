#include "platform/Names.h"

#include <algorithm>

namespace vnt {

namespace {

constexpr char16_t ByteSurrogateBase = 0xDC00; // + byte 0x80..0xFF

bool IsByteSurrogate(char16_t c) {
    return c >= 0xDC80 && c <= 0xDCFF;
}

// A line break in a name is carried as a lone surrogate too: no text made of names then holds
// a line break that is not the program's own, so a name cannot start a report line.
bool IsLineBreakByte(unsigned char b) {
    return b == '\n' || b == '\r';
}
bool IsLineBreakSurrogate(char16_t c) {
    return c == ByteSurrogateBase + '\n' || c == ByteSurrogateBase + '\r';
}
bool IsNameSurrogate(char16_t c) {
    return IsByteSurrogate(c) || IsLineBreakSurrogate(c);
}

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at p (1 to 4), or 0 when it is not one: overlong
// forms, surrogates and values past U+10FFFF are not valid.
int ValidSequenceLength(const unsigned char* p, qsizetype left, char32_t& value) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        value = b0;
        return 1;
    }
    int length = 0;
    char32_t minimum = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        value = b0 & 0x1F;
        minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        value = b0 & 0x0F;
        minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        value = b0 & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if (!IsContinuation(p[i]))
            return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString DecodeName(const char* bytes, qsizetype size) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    qsizetype ascii = 0;
    while (ascii < size && p[ascii] < 0x80 && !IsLineBreakByte(p[ascii]))
        ++ascii;
    if (ascii == size)
        return QString::fromLatin1(bytes, size);
    // Written in place: a name of random bytes costs one pass, not an append per byte.
    QString name(size, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(name.data());
    for (qsizetype i = 0; i < ascii; ++i)
        *out++ = p[i];
    for (qsizetype i = ascii; i < size;) {
        char32_t value = 0;
        const int length = ValidSequenceLength(p + i, size - i, value);
        if (length == 0 || IsLineBreakByte(p[i])) {
            *out++ = static_cast<char16_t>(ByteSurrogateBase + p[i]);
            ++i;
            continue;
        }
        if (value >= 0x10000) {
            const char32_t v = value - 0x10000;
            *out++ = static_cast<char16_t>(0xD800 + (v >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else {
            *out++ = static_cast<char16_t>(value);
        }
        i += length;
    }
    name.truncate(out - reinterpret_cast<const char16_t*>(name.constData()));
    return name;
}

QString DecodeName(const QByteArray& bytes) {
    return DecodeName(bytes.constData(), bytes.size());
}

QByteArray EncodeName(const QString& name) {
    const char16_t* text = reinterpret_cast<const char16_t*>(name.constData());
    const qsizetype size = name.size();
    qsizetype i = 0;
    while (i < size && !IsNameSurrogate(text[i]))
        ++i;
    if (i == size)
        return name.toUtf8();
    // Written in place, at most three bytes a character: one pass whatever the mix.
    QByteArray bytes(size * 3, Qt::Uninitialized);
    char* out = bytes.data();
    const auto put = [&out](unsigned value) { *out++ = static_cast<char>(value); };
    for (i = 0; i < size; ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            put(c);
        } else if (IsLineBreakSurrogate(c)) {
            put(c - ByteSurrogateBase);
        } else if (c < 0x800) {
            put(0xC0 | (c >> 6));
            put(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < size && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            // A pair is a character beyond U+FFFF, even when its low half looks like a byte.
            const char32_t v = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            put(0xF0 | (v >> 18));
            put(0x80 | ((v >> 12) & 0x3F));
            put(0x80 | ((v >> 6) & 0x3F));
            put(0x80 | (v & 0x3F));
            ++i;
        } else if (IsByteSurrogate(c)) {
            put(c - ByteSurrogateBase);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            // Any other lone half: whatever Qt's encoder makes of it, as before.
            const QByteArray other = QStringView(text + i, 1).toUtf8();
            for (const char byte : other)
                put(static_cast<unsigned char>(byte));
        } else {
            put(0xE0 | (c >> 12));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    }
    bytes.truncate(out - bytes.constData());
    return bytes;
}

QString ShownName(const QString& text) {
    QString shown = text;
    char16_t* data = reinterpret_cast<char16_t*>(shown.data());
    bool lineBreaks = false;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (IsLineBreakSurrogate(data[i]))
            lineBreaks = true;
        else if (IsByteSurrogate(data[i]) &&
                 !(i > 0 && data[i - 1] >= 0xD800 && data[i - 1] <= 0xDBFF))
            data[i] = 0xFFFD;
    }
    if (lineBreaks) {
        shown.replace(QChar(ByteSurrogateBase + '\n'), QStringLiteral("\\n"));
        shown.replace(QChar(ByteSurrogateBase + '\r'), QStringLiteral("\\r"));
    }
    return shown;
}

namespace {
QString Escaped(const QString& text, bool keepLineBreaks) {
    const QString shown = ShownName(text);
    const auto control = [keepLineBreaks](QChar c) {
        const char16_t u = c.unicode();
        if (keepLineBreaks && (u == '\n' || u == '\r'))
            return false;
        return u < 0x20 || (u >= 0x7F && u <= 0x9F);
    };
    if (std::none_of(shown.begin(), shown.end(), control))
        return shown;
    QString escaped;
    escaped.reserve(shown.size() + 8);
    for (const QChar c : shown) {
        if (!control(c))
            escaped.append(c);
        else if (c == u'\n')
            escaped.append(QStringLiteral("\\n"));
        else if (c == u'\r')
            escaped.append(QStringLiteral("\\r"));
        else if (c == u'\t')
            escaped.append(QStringLiteral("\\t"));
        else
            escaped.append(QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0')));
    }
    return escaped;
}
} // namespace

QString ShownLine(const QString& text) {
    return Escaped(text, false);
}

QString ShownLines(const QString& text) {
    return Escaped(text, true);
}

} // namespace vnt
