#include "lang/compiler.h"

#include <cctype>
#include <cmath>
#include <new>
#include <string>
#include <unordered_map>

#include "lang/builtins.h"
#include "lang/decoded.h"
#include "lang/lexer.h"
#include "lang/rounding.h"

namespace lv::lang {

namespace {

// Limits that keep the parser's and the interpreter's recursion within the thread's stack.
constexpr int kMaxNesting = 256;       // nested parentheses, unary signs and calls in the source
constexpr int kMaxEvalDepth = 2000;    // recursion depth of evaluating one object, callees included
constexpr int kMaxWorkspace = 1 << 22; // reals the calls of one object may need
const char* const kTooDeep = "Expression is nested too deeply";
const char* const kTooLarge = "Object calls need too much memory";

enum class SymbolKind { Scalar, Array };

struct Symbol {
    std::string name;
    int offset; // from the start of the local slots
    int size;
    SymbolKind kind;
};

// Marks a parse failure; the error is already recorded.
struct ParseFailure {};

int nearestInt(float value) {
    double v = nearestWhole(static_cast<double>(value));
    if (!(v > -1e9)) return -1000000000; // also NaN
    if (v > 1e9) return 1000000000;
    return static_cast<int>(v);
}

class Compiler {
public:
    Compiler(const char* text, ObjectList& objects, std::vector<CompileError>& errors,
             const ObjectList& library)
        : text_(text), objects_(objects), errors_(errors), library_(library) {
        for (const auto& o : library_) libraryIndex_.emplace(o->name, o);
    }

    // program: object { object } end-of-text
    void program() {
        next();
        while (lex_.kind != kLexEnd) {
            auto object = std::make_shared<CompiledObject>();
            obj_ = object.get();
            symbols_.clear();
            depth_.clear();
            std::size_t errorsBefore = errors_.size();
            object_();
            if (errors_.size() != errorsBefore) break;
            object->decoded = std::make_shared<const DecodedProgram>(decodeObject(*object));
            objectIndex_.emplace(object->name, object);
            objects_.push_back(std::move(object));
        }
        if (!errors_.empty()) objects_.clear();
    }

private:
    // ---- lexemes and errors ----
    int next() { return nextLexeme(text_, lex_); }
    bool at(int kind) const { return lex_.kind == kind; }

    struct Pos {
        int line, column;
    };
    Pos here() const { return {lex_.lexemeLine, lex_.lexemeColumn}; }
    [[noreturn]] void fail(int messageIndex) { failAt(messageText(messageIndex), here()); }
    [[noreturn]] void failAt(int messageIndex, Pos pos) { failAt(messageText(messageIndex), pos); }
    [[noreturn]] void failAt(const char* message, Pos pos) {
        errors_.push_back({message, pos.line, pos.column});
        throw ParseFailure{};
    }
    void expect(int kind, int messageIndex) {
        if (!at(kind)) fail(messageIndex);
        next();
    }
    // Skips lexemes up to and including the next ";".
    void skipStatement() {
        while (!at(kLexEnd) && !at(kLexSemicolon)) next();
        if (at(kLexSemicolon)) next();
    }

    // ---- emission: every word carries the position of a lexeme ----
    int emit(int word, Pos pos, int depth = 0) {
        obj_->code.push_back(word);
        obj_->positions.push_back(pos.line);
        obj_->positions.push_back(pos.column);
        depth_.push_back(depth);
        return static_cast<int>(obj_->code.size()) - 1;
    }
    int emitPlaceholder(Pos pos) { return emit(0, pos); }
    void patch(int index, int value) { obj_->code[index] = value; }
    int last() const { return static_cast<int>(obj_->code.size()) - 1; }
    int codeSize() const { return static_cast<int>(obj_->code.size()); }
    // Emits an operator over operands ending at the given words; tracks evaluation depth.
    int emitOperator(int word, Pos pos, int leftEnd, int rightEnd) {
        int d = std::max(depth_[leftEnd], rightEnd >= 0 ? depth_[rightEnd] : 0) + 1;
        checkDepth(d);
        return emit(word, pos, d);
    }
    void checkDepth(int d) {
        if (d > kMaxEvalDepth) failAt(kTooDeep, here());
        if (d > obj_->evalDepth) obj_->evalDepth = d;
    }
    int constant(float value, Pos pos) {
        obj_->constants.push_back(value);
        return emit(kConstantBase + static_cast<int>(obj_->constants.size()) - 1, pos, 1);
    }

    struct Nesting {
        explicit Nesting(Compiler& c) : c_(c) {
            if (++c_.nesting_ > kMaxNesting) {
                --c_.nesting_;
                c_.failAt(kTooDeep, c_.here());
            }
        }
        ~Nesting() { --c_.nesting_; }
        Compiler& c_;
    };

    // ---- symbols ----
    const Symbol* lookup(const std::string& name) const {
        for (const Symbol& s : symbols_)
            if (s.name == name) return &s;
        return nullptr;
    }
    const Symbol& declare(const std::string& name, int size, SymbolKind kind) {
        int offset = symbols_.empty() ? 0 : symbols_.back().offset + symbols_.back().size;
        symbols_.push_back({name, offset, size, kind});
        obj_->slotCount += size;
        return symbols_.back();
    }
    int frameOffset(const Symbol& s) const { return obj_->xSize + obj_->aSize + s.offset; }
    std::string lexText() const { return std::string(lex_.text, lex_.textLength); }

    // ---- object ----
    // object: NAME "(" "x" "[" NUMBER "]" "," "a" "[" NUMBER "]" ")" "{" body "}"
    void object_() {
        try {
            if (!at(kLexIdentifier)) fail(kMsgObjectNameExpected);
            std::string name = lexText();
            if (objectIndex_.count(name) != 0) fail(kMsgObjectNameNotUnique);
            obj_->name = name;
            next();
            header();
        } catch (const ParseFailure&) {
            return;
        }
        body();
    }

    void header() {
        expect(kLexLeftParen, kMsgLeftParenExpected);
        expect(kLexX, kMsgXExpected);
        obj_->xSize = sizeInBrackets();
        expect(kLexComma, kMsgCommaExpected);
        expect(kLexA, kMsgAExpected);
        obj_->aSize = sizeInBrackets();
        expect(kLexRightParen, kMsgRightParenExpected);
        expect(kLexLeftBrace, kMsgLeftBraceExpected);
        obj_->slotCount = obj_->xSize + obj_->aSize;
    }

    // "[" NUMBER "]", the number's nearest integer (at least 0).
    int sizeInBrackets() {
        expect(kLexLeftBracket, kMsgLeftBracketExpected);
        if (!at(kLexNumber)) fail(kMsgRealNumberExpected);
        int size = std::max(0, nearestInt(lex_.numberValue));
        if (size > kMaxArraySize) fail(kMsgWrongElementCount);
        next();
        expect(kLexRightBracket, kMsgRightBracketExpected);
        return size;
    }

    // body: { declaration } { statement } NAME "=" expression ";" "}"
    void body() {
        while (at(kLexArray)) guarded(&Compiler::declaration);
        statementList();
        try {
            result();
        } catch (const ParseFailure&) {
        }
    }

    // Runs one statement; on failure skips to the next ";".
    void guarded(void (Compiler::*statement)()) {
        try {
            (this->*statement)();
        } catch (const ParseFailure&) {
            skipStatement();
        }
    }

    // declaration: "array" NAME "[" NUMBER "]" { "," NAME "[" NUMBER "]" } ";"
    void declaration() {
        do {
            next();
            if (!at(kLexIdentifier)) fail(kMsgIdentifierExpected);
            std::string name = lexText();
            next();
            expect(kLexLeftBracket, kMsgLeftBracketExpected);
            if (!at(kLexNumber)) fail(kMsgRealNumberExpected);
            int size = nearestInt(lex_.numberValue);
            if (size < 1) fail(kMsgArraySizeNotPositive);
            if (size > kMaxArraySize || obj_->slotCount > kMaxArraySize - size)
                fail(kMsgWrongElementCount);
            next();
            expect(kLexRightBracket, kMsgRightBracketExpected);
            declare(name, size, SymbolKind::Array);
        } while (at(kLexComma));
        expect(kLexSemicolon, kMsgSemicolonExpected);
    }

    // statement list: ends at any lexeme that starts no statement, or at the object's name.
    void statementList() {
        for (;;) {
            if (at(kLexIf)) {
                guarded(&Compiler::ifStatement);
            } else if (at(kLexWhile)) {
                guarded(&Compiler::whileStatement);
            } else if (at(kLexIdentifier) && lexText() != obj_->name) {
                guarded(&Compiler::assignment);
            } else {
                return;
            }
        }
    }

    // if-statement: "if" condition "then" { statement } [ "else" { statement } ] "endif" ";"
    void ifStatement() {
        Nesting guard(*this);
        Pos pos = here();
        next();
        int h = emitPlaceholder(pos);
        emitPlaceholder(pos);
        emitPlaceholder(pos);
        condition();
        patch(h + 2, last());
        expect(kLexThen, kMsgThenExpected);
        statementList();
        if (at(kLexElse)) {
            emit(kOpJump, here());
            int j = emitPlaceholder(here());
            next();
            patch(h, kOpIfElse);
            patch(h + 1, codeSize());
            statementList();
            expect(kLexEndif, kMsgEndifExpected);
            patch(j, codeSize());
        } else if (at(kLexEndif)) {
            next();
            patch(h, kOpIf);
            patch(h + 1, codeSize());
        } else {
            fail(kMsgElseOrEndifExpected);
        }
        expect(kLexSemicolon, kMsgSemicolonExpected);
    }

    // while-statement: "while" condition "loop" { statement } "endloop" ";"
    void whileStatement() {
        Nesting guard(*this);
        Pos pos = here();
        next();
        emit(kOpWhile, pos);
        int h = emitPlaceholder(pos);
        emitPlaceholder(pos);
        condition();
        expect(kLexLoop, kMsgLoopExpected);
        patch(h + 1, last());
        statementList();
        emit(kOpJump, here());
        emit(h - 1, here());
        patch(h, codeSize());
        expect(kLexEndloop, kMsgEndloopExpected);
        expect(kLexSemicolon, kMsgSemicolonExpected);
    }

    // assignment: NAME "=" expression ";" | NAME "[" expression "]" "=" expression ";"
    //           | NAME "=" "[" signed-number { "," signed-number } "]" ";"
    void assignment() {
        Pos pos = here();
        std::string name = lexText();
        next();
        const Symbol* s = lookup(name);
        if (s != nullptr && s->kind == SymbolKind::Array) {
            arrayAssignment(*s, pos);
            return;
        }
        if (s == nullptr) s = &declare(name, 1, SymbolKind::Scalar);
        int offset = s->offset;
        expect(kLexAssign, kMsgAssignExpected);
        emit(kOpAssign, pos);
        emit(offset, pos);
        int end = emitPlaceholder(pos);
        expression();
        patch(end, last());
        expect(kLexSemicolon, kMsgSemicolonExpected);
    }

    void arrayAssignment(const Symbol& s, Pos pos) {
        int offset = s.offset, size = s.size;
        if (at(kLexLeftBracket)) {
            next();
            Pos indexPos = here();
            emit(kOpAssignElement, indexPos);
            emit(offset, indexPos);
            emit(size, indexPos);
            int indexEnd = emitPlaceholder(indexPos);
            expression();
            patch(indexEnd, last());
            expect(kLexRightBracket, kMsgRightBracketExpected);
            expect(kLexAssign, kMsgAssignExpected);
            int valueEnd = emitPlaceholder(here());
            expression();
            patch(valueEnd, last());
            expect(kLexSemicolon, kMsgSemicolonExpected);
        } else if (at(kLexAssign)) {
            next();
            arrayLiteral(offset, size, pos);
        } else {
            fail(kMsgBracketOrAssignExpected);
        }
    }

    // "[" signed-number { "," signed-number } "]" ";" with exactly size numbers.
    void arrayLiteral(int offset, int size, Pos pos) {
        expect(kLexLeftBracket, kMsgLeftBracketExpected);
        int first = static_cast<int>(obj_->constants.size());
        for (int i = 0; i < size; ++i) {
            if (i > 0) expect(kLexComma, kMsgCommaExpected);
            float sign = 1.0f;
            if (at(kLexPlus) || at(kLexMinus)) {
                sign = at(kLexMinus) ? -1.0f : 1.0f;
                next();
            }
            if (!at(kLexNumber)) fail(kMsgRealNumberExpected);
            obj_->constants.push_back(sign * lex_.numberValue);
            next();
        }
        expect(kLexRightBracket, kMsgRightBracketExpected);
        expect(kLexSemicolon, kMsgSemicolonExpected);
        emit(kOpArrayLiteral, pos);
        emit(size, pos);
        emit(offset, pos);
        emit(first, pos);
    }

    // result: NAME "=" expression ";" "}" with NAME the object's own name
    void result() {
        if (!at(kLexIdentifier) || lexText() != obj_->name) fail(kMsgObjectNameExpected);
        Pos pos = here();
        next();
        expect(kLexAssign, kMsgAssignExpected);
        emit(kOpResult, pos);
        int end = emitPlaceholder(pos);
        expression();
        patch(end, last());
        expect(kLexSemicolon, kMsgSemicolonExpected);
        expect(kLexRightBrace, kMsgRightBraceExpected);
    }

    // ---- conditions ----
    // condition: relation { ( "and" | "or" ) relation }
    void condition() {
        relation();
        while (at(kLexAnd) || at(kLexOr)) {
            int word = at(kLexAnd) ? kWordAnd : kWordOr;
            Pos pos = here();
            next();
            int leftEnd = last();
            relation();
            emitOperator(word, pos, leftEnd, last());
        }
    }

    static int relationWord(int kind) {
        switch (kind) {
        case kLexAssign: return kWordEqual;
        case kLexNotEqual: return kWordNotEqual;
        case kLexLess: return kWordLess;
        case kLexLessEqual: return kWordLessEqual;
        case kLexGreater: return kWordGreater;
        case kLexGreaterEqual: return kWordGreaterEqual;
        default: return -1;
        }
    }

    // relation: logical-operand { relation-operator logical-operand }
    void relation() {
        logicalOperand();
        while (relationWord(lex_.kind) >= 0) {
            int word = relationWord(lex_.kind);
            Pos pos = here();
            next();
            int leftEnd = last();
            logicalOperand();
            emitOperator(word, pos, leftEnd, last());
        }
    }

    // logical-operand: "(" condition ")" | "not" logical-operand | expression
    void logicalOperand() {
        Nesting guard(*this);
        if (at(kLexLeftParen)) {
            next();
            condition();
            expect(kLexRightParen, kMsgRightParenExpected);
        } else if (at(kLexNot)) {
            Pos pos = here();
            next();
            logicalOperand();
            emitOperator(kWordNot, pos, last(), -1);
        } else {
            expression();
        }
    }

    // ---- expressions ----
    static int additiveWord(int kind) {
        switch (kind) {
        case kLexPlus: return kWordAdd;
        case kLexMinus: return kWordSub;
        case kLexAmpersand: return kWordIntersect;
        case kLexBar: return kWordUnion;
        case kLexBackslash: return kWordDifference;
        case kLexAt: return kWordAt;
        default: return -1;
        }
    }

    // expression: term { ( "+" | "-" | "&" | "|" | "\" | "@" ) term }
    void expression() {
        term();
        while (additiveWord(lex_.kind) >= 0) {
            int word = additiveWord(lex_.kind);
            Pos pos = here();
            next();
            int leftEnd = last();
            term();
            emitOperator(word, pos, leftEnd, last());
        }
    }

    // term: factor { ( "*" | "/" ) factor }
    void term() {
        factor();
        while (at(kLexStar) || at(kLexSlash)) {
            int word = at(kLexStar) ? kWordMul : kWordDiv;
            Pos pos = here();
            next();
            int leftEnd = last();
            factor();
            emitOperator(word, pos, leftEnd, last());
        }
    }

    // factor: unary { "^" unary }
    void factor() {
        unary();
        while (at(kLexCaret)) {
            Pos pos = here();
            next();
            int leftEnd = last();
            unary();
            emitOperator(kWordPow, pos, leftEnd, last());
        }
    }

    // unary: ( "+" | "-" | "~" ) unary | primary
    void unary() {
        Nesting guard(*this);
        int word = at(kLexPlus) ? kWordPlus : at(kLexMinus) ? kWordMinus
                                            : at(kLexTilde) ? kWordTilde : -1;
        if (word < 0) {
            primary();
            return;
        }
        Pos pos = here();
        next();
        unary();
        emitOperator(word, pos, last(), -1);
    }

    // primary: NUMBER | "(" expression ")" | "x" "[" expression "]" | "a" "[" expression "]"
    //        | NAME "[" expression "]" | NAME | NAME "(" arg "," arg ")" | BUILTIN "(" args ")"
    void primary() {
        Pos pos = here();
        switch (lex_.kind) {
        case kLexNumber:
            constant(lex_.numberValue, pos);
            next();
            return;
        case kLexLeftParen:
            next();
            expression();
            expect(kLexRightParen, kMsgRightParenExpected);
            return;
        case kLexX:
            next();
            element(obj_->xSize, 0, pos);
            return;
        case kLexA:
            next();
            element(obj_->aSize, obj_->xSize, pos);
            return;
        case kLexBuiltin:
            builtinCall();
            return;
        case kLexIdentifier:
            name();
            return;
        default:
            fail(kMsgExpressionExpected);
        }
    }

    // "[" expression "]" after an array name: index, size, frame offset, 9.
    void element(int size, int offset, Pos namePos) {
        expect(kLexLeftBracket, kMsgLeftBracketExpected);
        Pos indexPos = here();
        expression();
        int indexEnd = last();
        expect(kLexRightBracket, kMsgRightBracketExpected);
        emit(size, namePos);
        emit(offset, namePos);
        emitOperator(kWordElement, indexPos, indexEnd, -1);
    }

    void name() {
        Pos pos = here();
        std::string text = lexText();
        const Symbol* s = lookup(text);
        next();
        if (s == nullptr) {
            objectCall(text, pos);
        } else if (s->kind == SymbolKind::Array) {
            element(s->size, frameOffset(*s), pos);
        } else {
            emit(-1 - s->offset, pos, 1);
        }
    }

    // An array argument: "x", "a" or a declared array name alone. Returns false (nothing
    // consumed) when the lexeme is not an array name of any kind.
    bool arrayArgument(int& size, int& offset) {
        if (at(kLexX)) {
            size = obj_->xSize;
            offset = 0;
        } else if (at(kLexA)) {
            size = obj_->aSize;
            offset = obj_->xSize;
        } else if (at(kLexIdentifier)) {
            const Symbol* s = lookup(lexText());
            if (s == nullptr || s->kind != SymbolKind::Array) fail(kMsgOnlyArrayName);
            size = s->size;
            offset = frameOffset(*s);
        } else {
            return false;
        }
        next();
        return true;
    }

    // BUILTIN "(" arguments ")": arguments of the row's kinds, then word 33 + row.
    void builtinCall() {
        Nesting guard(*this);
        Pos pos = here();
        int row = lex_.builtinIndex;
        const BuiltinRow& b = kBuiltins[row];
        next();
        expect(kLexLeftParen, kMsgLeftParenExpected);
        int depth = 0;
        for (int i = 0; i < b.argumentCount; ++i) {
            if (i > 0) expect(kLexComma, kMsgCommaExpected);
            Pos argPos = here();
            if (b.argumentKinds[i] == kArgReal) {
                expression();
                depth = std::max(depth, depth_[last()]);
            } else if (b.argumentKinds[i] == kArgArray) {
                int size = 0, offset = 0;
                if (!arrayArgument(size, offset)) fail(kMsgErrorInArgument);
                emit(size, argPos);
                emit(offset, argPos);
                emit(kWordArray, argPos, 1);
            } else {
                if (!at(kLexString)) fail(kMsgErrorInArgument);
                obj_->strings.push_back(lexText());
                emit(static_cast<int>(obj_->strings.size()) - 1, argPos);
                emit(kWordString, argPos, 1);
                next();
            }
        }
        expect(kLexRightParen, kMsgRightParenExpected);
        checkDepth(depth + 1);
        emit(kWordFirstBuiltin + row, pos, depth + 1);
    }

    // The callee named name: among the callees, then earlier objects, then the library.
    int findCallee(const std::string& name) {
        for (std::size_t i = 0; i < obj_->callees.size(); ++i)
            if (obj_->callees[i]->name == name) return static_cast<int>(i);
        CompiledObjectPtr found;
        if (auto it = objectIndex_.find(name); it != objectIndex_.end())
            found = it->second;
        else if (auto lib = libraryIndex_.find(name); lib != libraryIndex_.end())
            found = lib->second;
        if (found == nullptr) return -1;
        obj_->callees.push_back(found);
        return static_cast<int>(obj_->callees.size()) - 1;
    }

    // One object-call argument of expected size: its frame offset, or -1 for an empty one.
    int objectArgument(int expectedSize) {
        Pos pos = here();
        int size = 0, offset = 0;
        if (arrayArgument(size, offset)) {
            if (size != expectedSize) failAt(kMsgWrongElementCount, pos);
            return offset;
        }
        // Any other single lexeme passes no elements: sound only for a callee that takes none.
        if (expectedSize != 0) fail(kMsgWrongElementCount);
        next();
        return -1;
    }

    // NAME "(" arg "," arg ")": a-offset, x-offset, callee index, 11.
    void objectCall(const std::string& name, Pos pos) {
        Nesting guard(*this);
        int k = findCallee(name);
        if (k < 0) failAt(kMsgUnassignedIdentifier, pos);
        const CompiledObject& callee = *obj_->callees[k];
        expect(kLexLeftParen, kMsgLeftParenExpected);
        Pos xPos = here();
        int xOffset = objectArgument(callee.xSize);
        expect(kLexComma, kMsgCommaExpected);
        Pos aPos = here();
        int aOffset = objectArgument(callee.aSize);
        expect(kLexRightParen, kMsgRightParenExpected);
        obj_->nestedSlots = std::max(obj_->nestedSlots, callee.slotCount + callee.nestedSlots);
        if (obj_->nestedSlots > kMaxWorkspace) failAt(kTooLarge, pos);
        int depth = callee.evalDepth + 1;
        checkDepth(depth);
        emit(aOffset, aPos);
        emit(xOffset, xPos);
        emit(k, pos);
        emit(kWordCall, pos, depth);
    }

    static constexpr int kMaxArraySize = 1 << 20; // slots of one frame

    const char* text_;
    ObjectList& objects_;
    std::vector<CompileError>& errors_;
    const ObjectList& library_;
    // Names of the objects compiled so far and of the library's, so that looking one up costs
    // the same however many objects there are.
    std::unordered_map<std::string, CompiledObjectPtr> objectIndex_;
    std::unordered_map<std::string, CompiledObjectPtr> libraryIndex_;
    LexerState lex_;
    CompiledObject* obj_ = nullptr;
    std::vector<Symbol> symbols_;
    std::vector<int> depth_; // evaluation depth of the expression ending at each code word
    int nesting_ = 0;
};

} // namespace

std::string lowerObjectName(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

CompiledObjectPtr findObject(const ObjectList& list, const std::string& name) {
    for (const auto& o : list)
        if (o->name == name) return o;
    return nullptr;
}

int compileProgram(const char* text, ObjectList& objects, std::vector<CompileError>& errors,
                   const ObjectList& library) {
    objects.clear();
    errors.clear();
    try {
        Compiler(text, objects, errors, library).program();
        return 1;
    } catch (const std::bad_alloc&) {
        objects.clear();
        errors.clear();
        return 0;
    }
}

} // namespace lv::lang
