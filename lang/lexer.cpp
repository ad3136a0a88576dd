#include "lang/lexer.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "lang/builtins.h"

namespace lv::lang {

namespace {

bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}
char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

char peek(const char* text, const LexerState& s, int ahead = 0) { return text[s.position + ahead]; }

void advance(LexerState& s, int count = 1) {
    s.position += count;
    s.column += count;
}

int finish(LexerState& s, int kind) {
    s.kind = kind;
    return kind;
}

int errorLexeme(LexerState& s, int errorIndex) {
    s.errorIndex = errorIndex;
    return finish(s, kLexError);
}

void skipBlanks(const char* text, LexerState& s) {
    for (;;) {
        char c = peek(text, s);
        if (c == ' ' || c == '\t') {
            advance(s);
        } else if (c == '\n') {
            ++s.position;
            ++s.line;
            s.column = 1;
        } else {
            return;
        }
    }
}

// Copies characters after the opening quote; at most 255 fit.
int scanString(const char* text, LexerState& s) {
    advance(s); // opening quote
    s.textLength = 0;
    for (;;) {
        char c = peek(text, s);
        if (c == '\0' || c == '\n' || s.textLength == kMaxLexemeText) {
            s.text[s.textLength] = '\0';
            return errorLexeme(s, kMsgSecondQuote);
        }
        if (c == '"') break;
        s.text[s.textLength++] = c;
        advance(s);
    }
    s.text[s.textLength] = '\0';
    advance(s); // closing quote
    return finish(s, kLexString);
}

// Copies the rest of the line after "--"; at most 256 characters.
int scanComment(const char* text, LexerState& s) {
    advance(s, 2);
    s.textLength = 0;
    for (;;) {
        char c = peek(text, s);
        if (c == '\0' || c == '\n') break;
        if (s.textLength == kMaxLexemeText) {
            s.text[s.textLength] = '\0';
            return errorLexeme(s, kMsgLexemTooLong);
        }
        s.text[s.textLength++] = c;
        advance(s);
    }
    s.text[s.textLength] = '\0';
    return finish(s, kLexComment);
}

// Reads a number in single precision, rounding after every step.
int scanNumber(const char* text, LexerState& s) {
    float value = 0.0f;
    bool hasInteger = false;
    if (isDigit(peek(text, s))) {
        hasInteger = true;
        char first = peek(text, s);
        value = static_cast<float>(first - '0');
        advance(s);
        if (first == '0' && isDigit(peek(text, s))) return errorLexeme(s, kMsgWrongNumber);
        while (isDigit(peek(text, s))) {
            value = static_cast<float>(static_cast<double>(value) * 10.0 + (peek(text, s) - '0'));
            advance(s);
        }
    }
    if (peek(text, s) == '.') {
        advance(s);
        if (isDigit(peek(text, s))) {
            float t = 10.0f;
            while (isDigit(peek(text, s))) {
                double digit = peek(text, s) - '0';
                value = static_cast<float>(static_cast<double>(value) + digit / t);
                t = static_cast<float>(static_cast<double>(t) * 10.0);
                advance(s);
            }
        } else if (!hasInteger) {
            return errorLexeme(s, kMsgWrongNumber);
        }
    }
    char e = peek(text, s);
    if (e == 'e' || e == 'E') {
        advance(s);
        int sign = 1;
        if (peek(text, s) == '+' || peek(text, s) == '-') {
            sign = peek(text, s) == '-' ? -1 : 1;
            advance(s);
        }
        char d = peek(text, s);
        if (!isDigit(d) || d == '0') return errorLexeme(s, kMsgWrongNumber);
        long n = 0;
        while (isDigit(peek(text, s))) {
            if (n < 100000) n = n * 10 + (peek(text, s) - '0'); // beyond that the result is 0 or inf
            advance(s);
        }
        long double scale = std::pow(10.0L, static_cast<long double>(sign * n));
        value = static_cast<float>(static_cast<long double>(value) * scale);
    }
    s.numberValue = value;
    return finish(s, kLexNumber);
}

struct Reserved {
    const char* word;
    int kind;
};

// Compared in this order.
constexpr Reserved kReserved[] = {
    {"a", kLexA},         {"x", kLexX},         {"and", kLexAnd},     {"or", kLexOr},
    {"not", kLexNot},     {"xor", kLexXor},     {"array", kLexArray}, {"if", kLexIf},
    {"then", kLexThen},   {"else", kLexElse},   {"endif", kLexEndif}, {"while", kLexWhile},
    {"loop", kLexLoop},   {"endloop", kLexEndloop},
};

int scanName(const char* text, LexerState& s) {
    s.textLength = 0;
    while (isNameChar(peek(text, s))) {
        if (s.textLength == kMaxLexemeText) {
            s.text[s.textLength] = '\0';
            return errorLexeme(s, kMsgIdentifierTooLong);
        }
        s.text[s.textLength++] = lower(peek(text, s));
        advance(s);
    }
    s.text[s.textLength] = '\0';
    for (const Reserved& r : kReserved)
        if (std::strcmp(s.text, r.word) == 0) return finish(s, r.kind);
    int row = findBuiltin(std::string_view(s.text, static_cast<std::size_t>(s.textLength)));
    if (row >= 0) {
        s.builtinIndex = row;
        return finish(s, kLexBuiltin);
    }
    return finish(s, kLexIdentifier);
}

int singleCharKind(char c) {
    switch (c) {
    case '=': return kLexAssign;
    case '(': return kLexLeftParen;
    case ')': return kLexRightParen;
    case '[': return kLexLeftBracket;
    case ']': return kLexRightBracket;
    case '{': return kLexLeftBrace;
    case '}': return kLexRightBrace;
    case '^': return kLexCaret;
    case '+': return kLexPlus;
    case '~': return kLexTilde;
    case '*': return kLexStar;
    case '&': return kLexAmpersand;
    case '|': return kLexBar;
    case '\\': return kLexBackslash;
    case '@': return kLexAt;
    case ',': return kLexComma;
    case ';': return kLexSemicolon;
    case '-': return kLexMinus;
    default: return -1;
    }
}

// "/", "<", ">" alone or followed directly by "=".
int scanRelation(const char* text, LexerState& s, int alone, int withEqual) {
    advance(s);
    if (peek(text, s) != '=') return finish(s, alone);
    advance(s);
    return finish(s, withEqual);
}

} // namespace

int scanLexeme(const char* text, LexerState& s) {
    skipBlanks(text, s);
    s.lexemeLine = s.line;
    s.lexemeColumn = s.column;
    s.textLength = 0;
    s.text[0] = '\0';
    char c = peek(text, s);
    if (c == '\0') return finish(s, kLexEnd);
    if (c == '"') return scanString(text, s);
    if (c == '-' && peek(text, s, 1) == '-') return scanComment(text, s);
    if (isDigit(c) || c == '.') return scanNumber(text, s);
    if (c == '/') return scanRelation(text, s, kLexSlash, kLexNotEqual);
    if (c == '<') return scanRelation(text, s, kLexLess, kLexLessEqual);
    if (c == '>') return scanRelation(text, s, kLexGreater, kLexGreaterEqual);
    if (isLetter(c)) return scanName(text, s);
    int kind = singleCharKind(c);
    advance(s);
    if (kind < 0) return errorLexeme(s, kMsgUnknownLexem);
    return finish(s, kind);
}

int nextLexeme(const char* text, LexerState& s) {
    int kind;
    do {
        kind = scanLexeme(text, s);
    } while (kind == kLexComment);
    return kind;
}

} // namespace lv::lang
