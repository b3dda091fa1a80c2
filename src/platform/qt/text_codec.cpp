#include "platform/qt/text_codec.h"

#include <cstdint>

namespace orvix {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The code point of the well-formed UTF-8 sequence at bytes[at] and its length, or a
// length of 0 when the bytes there are not one (overlong forms, surrogates and values
// beyond U+10FFFF included).
std::pair<char32_t, size_t> decode_one(std::string_view bytes, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes[at + i]); };
    const auto continuation = [&](size_t i) {
        return at + i < bytes.size() && (byte(i) & 0xC0) == 0x80;
    };
    const uint8_t lead = byte(0);
    if (lead < 0x80)
        return {lead, 1};
    size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return {0, 0};
    }
    for (size_t i = 1; i < length; ++i) {
        if (!continuation(i))
            return {0, 0};
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return {0, 0};
    return {value, length};
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

QString to_qt(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (size_t at = 0; at < bytes.size();) {
        const auto [value, length] = decode_one(bytes, at);
        if (length == 0) {
            text += QChar(static_cast<char16_t>(kEscapeBase + static_cast<uint8_t>(bytes[at])));
            ++at;
            continue;
        }
        if (value < 0x10000) {
            text += QChar(static_cast<char16_t>(value));
        } else {
            text += QChar(QChar::highSurrogate(value));
            text += QChar(QChar::lowSurrogate(value));
        }
        at += length;
    }
    return text;
}

std::string from_qt(const QString& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            append_utf8(out, QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
            ++i;
        } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
            out += static_cast<char>(unit - kEscapeBase);
        } else if (QChar::isSurrogate(unit)) {
            append_utf8(out, QChar::ReplacementCharacter);
        } else {
            append_utf8(out, unit);
        }
    }
    return out;
}

} // namespace orvix
