#include "app/source_highlighter.h"

#include <QColor>
#include <QFont>

#include <algorithm>
#include <optional>

#include "lang/lexer.h"

namespace lv::app {

namespace {

std::optional<LexemeClass> classOf(int kind) {
    using namespace lang;
    switch (kind) {
    case kLexArray: case kLexIf: case kLexThen: case kLexElse: case kLexEndif: case kLexWhile:
    case kLexLoop: case kLexEndloop: case kLexAnd: case kLexNot: case kLexOr: case kLexXor:
    case kLexX: case kLexA:
        return LexemeClass::Reserved;
    case kLexBuiltin: return LexemeClass::Builtin;
    case kLexNumber: return LexemeClass::Number;
    case kLexString: return LexemeClass::String;
    case kLexComment: return LexemeClass::Comment;
    case kLexError: return LexemeClass::Error;
    default: return std::nullopt;
    }
}

} // namespace

std::vector<HighlightSpan> highlightSpans(const QString& line) {
    // The lexer reads UTF-8 bytes; remember which character each byte belongs to.
    QByteArray bytes;
    std::vector<int> charAt;
    for (int i = 0; i < line.size(); ++i) {
        int width = line[i].isHighSurrogate() && i + 1 < line.size() ? 2 : 1;
        QByteArray piece = line.mid(i, width).toUtf8();
        for (qsizetype k = 0; k < piece.size(); ++k) charAt.push_back(i);
        bytes += piece;
        i += width - 1;
    }
    charAt.push_back(static_cast<int>(line.size()));
    // A NUL would end the lexer's text early; nothing after it is coloured then.
    std::vector<HighlightSpan> spans;
    lang::LexerState state;
    const char* text = bytes.constData();
    for (;;) {
        int before = state.position;
        int kind = lang::scanLexeme(text, state);
        if (kind == lang::kLexEnd) break;
        if (state.position <= before) ++state.position, ++state.column; // always move on
        int last = static_cast<int>(charAt.size()) - 1;
        int from = charAt[static_cast<std::size_t>(std::min(state.lexemeColumn - 1, last))];
        int to = charAt[static_cast<std::size_t>(std::min(state.position, last))];
        if (auto cls = classOf(kind); cls && to > from) spans.push_back({from, to - from, *cls});
        if (state.position >= static_cast<int>(bytes.size())) break;
    }
    return spans;
}

SourceHighlighter::SourceHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

QTextCharFormat SourceHighlighter::format(LexemeClass kind) const {
    QTextCharFormat f;
    switch (kind) {
    case LexemeClass::Reserved:
        f.setForeground(QColor(0x00, 0x00, 0xa0));
        f.setFontWeight(QFont::Bold);
        break;
    case LexemeClass::Builtin: f.setForeground(QColor(0x80, 0x00, 0x80)); break;
    case LexemeClass::Number: f.setForeground(QColor(0x00, 0x70, 0x70)); break;
    case LexemeClass::String: f.setForeground(QColor(0xa0, 0x30, 0x00)); break;
    case LexemeClass::Comment:
        f.setForeground(QColor(0x30, 0x80, 0x30));
        f.setFontItalic(true);
        break;
    case LexemeClass::Error:
        f.setForeground(QColor(0xc0, 0x00, 0x00));
        f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        f.setUnderlineColor(QColor(0xc0, 0x00, 0x00));
        break;
    }
    return f;
}

void SourceHighlighter::highlightBlock(const QString& text) {
    for (const HighlightSpan& span : highlightSpans(text))
        setFormat(span.start, span.length, format(span.kind));
}

} // namespace lv::app
