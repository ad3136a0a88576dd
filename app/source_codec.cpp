#include "app/source_codec.h"

namespace lv::app {

namespace {

constexpr char32_t kEscapeBase = 0xF700; // U+F700 .. U+F7FF stand for the bytes 0 .. 255

bool isEscape(char32_t c) { return c >= kEscapeBase && c <= kEscapeBase + 0xFF; }

// Characters the editor's document uses for its own structure: line and paragraph separators
// and frame markers.
bool isSeparator(char32_t c) { return c == 0x2028 || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1; }

// Length of the valid UTF-8 sequence at bytes[i] (1 .. 4) with its code point, or 0.
int utf8Sequence(const QByteArray& bytes, qsizetype i, char32_t& code) {
    auto byte = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        code = b0;
        return 1;
    }
    int length;
    char32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, code = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, code = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, code = b0 & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) return 0;
    for (int k = 1; k < length; ++k) {
        unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) return 0;
        code = (code << 6) | (b & 0x3F);
    }
    bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < minimum || code > 0x10FFFF || surrogate) return 0;
    return length;
}

bool allLinesCrLf(const QByteArray& bytes) {
    qsizetype lines = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n') continue;
        if (i == 0 || bytes[i - 1] != '\r') return false;
        ++lines;
    }
    return lines > 0;
}

void appendCode(QString& text, char32_t code) {
    if (code < 0x10000) {
        text.append(QChar(static_cast<char16_t>(code)));
    } else {
        char32_t v = code - 0x10000;
        text.append(QChar(static_cast<char16_t>(0xD800 + (v >> 10))));
        text.append(QChar(static_cast<char16_t>(0xDC00 + (v & 0x3FF))));
    }
}

void appendUtf8(QByteArray& out, char32_t code) {
    if (code < 0x80) {
        out.append(static_cast<char>(code));
    } else if (code < 0x800) {
        out.append(static_cast<char>(0xC0 | (code >> 6)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.append(static_cast<char>(0xE0 | (code >> 12)));
        out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.append(static_cast<char>(0xF0 | (code >> 18)));
        out.append(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

} // namespace

DecodedSource decodeSource(const QByteArray& bytes) {
    DecodedSource out;
    bool crLf = allLinesCrLf(bytes);
    out.lineEnding = crLf ? LineEnding::CrLf : LineEnding::Lf;
    out.text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b == '\r' && crLf && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out.text.append(QChar('\n'));
            i += 2;
            continue;
        }
        char32_t code = 0;
        int length = utf8Sequence(bytes, i, code);
        // Bytes that the editor would not keep as they are, and characters that would read
        // back as escapes, are stored as escapes, byte by byte.
        bool keep = length > 0 && code != '\r' && code != 0 && !isEscape(code) &&
                    !isSeparator(code);
        if (!keep) {
            int count = length > 0 ? length : 1;
            for (int k = 0; k < count; ++k)
                appendCode(out.text, kEscapeBase + static_cast<unsigned char>(bytes[i + k]));
            i += count;
            continue;
        }
        appendCode(out.text, code);
        i += length;
    }
    return out;
}

QByteArray encodeSource(const QString& text, LineEnding lineEnding) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        // The editor's line and paragraph separators are line breaks.
        if (code == 0x2028 || code == 0x2029 || code == '\n') {
            if (lineEnding == LineEnding::CrLf) out.append('\r');
            out.append('\n');
        } else if (isEscape(code)) {
            out.append(static_cast<char>(code - kEscapeBase));
        } else {
            appendUtf8(out, code);
        }
    }
    return out;
}

} // namespace lv::app
