#pragma once
// Syntax colouring of Lumovar source, cut into lexemes by the compiler's own lexer, so the
// editor colours exactly what the compiler will read: reserved words, built-in names, numbers,
// strings, comments, and the lexemes the compiler would refuse.
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <vector>

namespace lv::app {

enum class LexemeClass { Reserved, Builtin, Number, String, Comment, Error };

struct HighlightSpan {
    int start;  // index into the line's QString
    int length; // in QString units
    LexemeClass kind;
};

// The coloured spans of one line of source (lexemes that get no colour are left out).
std::vector<HighlightSpan> highlightSpans(const QString& line);

class SourceHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit SourceHighlighter(QTextDocument* document);
    // The format a class of lexeme is drawn with.
    QTextCharFormat format(LexemeClass kind) const;

protected:
    void highlightBlock(const QString& text) override;
};

} // namespace lv::app
