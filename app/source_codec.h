#pragma once
// The bytes of a source file as editor text and back, losslessly. Valid UTF-8 becomes its
// characters; every other byte (and every carriage return that is not part of the file's line
// ending) becomes one private-use character U+F700 + byte, which is written back as that byte.
// A file whose lines all end in CR LF is shown with bare line breaks and written with CR LF
// again. So any file, saved unchanged, keeps its bytes exactly.
#include <QByteArray>
#include <QString>

namespace lv::app {

enum class LineEnding { Lf, CrLf };

struct DecodedSource {
    QString text;
    LineEnding lineEnding = LineEnding::Lf;
};

// The editor text of bytes, and the line ending it is to be saved with.
DecodedSource decodeSource(const QByteArray& bytes);
// The bytes of text saved with lineEnding: the inverse of decodeSource.
QByteArray encodeSource(const QString& text, LineEnding lineEnding);

} // namespace lv::app
