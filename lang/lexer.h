#pragma once
// Cuts Lumovar source text into lexemes. The text is NUL-terminated with LF line ends.

namespace lv::lang {

// ORDER LEXEME: kind codes shared with the parser.
enum LexemeKind : int {
    kLexError = 0,
    kLexArray,
    kLexIf,
    kLexThen,
    kLexElse,
    kLexEndif,
    kLexWhile,
    kLexLoop,
    kLexEndloop,
    kLexAssign, // 9: =
    kLexLeftParen,
    kLexRightParen,
    kLexLeftBracket,
    kLexRightBracket,
    kLexLeftBrace,
    kLexRightBrace,
    kLexAnd,
    kLexNot,
    kLexOr,
    kLexXor,
    kLexNotEqual, // 20: /=
    kLexLess,
    kLexLessEqual,
    kLexGreater,
    kLexGreaterEqual,
    kLexCaret,
    kLexPlus,
    kLexMinus,
    kLexTilde,
    kLexSlash,
    kLexStar, // 30
    kLexAmpersand,
    kLexBar,
    kLexBackslash,
    kLexAt,
    kLexComma,
    kLexSemicolon,
    kLexNumber,
    kLexString,
    kLexComment,
    kLexX, // 40
    kLexA,
    kLexBuiltin,
    kLexIdentifier,
    kLexEnd,
};

constexpr int kMaxLexemeText = 256;

struct LexerState {
    int kind = kLexEnd;
    char text[kMaxLexemeText + 1] = {};
    int textLength = 0;
    int builtinIndex = -1;
    float numberValue = 0.0f;
    int lexemeColumn = 1;
    int lexemeLine = 1;
    int column = 1;
    int line = 1;
    int position = 0;
    int errorIndex = 0; // message index (0..4) of an error lexeme
};

// Reads the next lexeme, comments included; returns its kind and stores it in state.kind.
int scanLexeme(const char* text, LexerState& state);
// As scanLexeme, skipping comments.
int nextLexeme(const char* text, LexerState& state);

} // namespace lv::lang
