// Source documents: lossless bytes, "Untitled1" giving way, recent files, the compile command
// with its messages and saves, the tab width dialog, the font, highlighting and dropped files.
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QRandomGenerator>
#include <QSettings>
#include <QTimer>
#include <QtTest>
#include <filesystem>

#include "app/editor_dialogs.h"
#include "app/recent_files.h"
#include "app/source_codec.h"
#include "app/source_document.h"
#include "app/source_highlighter.h"
#include "tests/gui/gui_test_util.h"

using namespace lv::app;
using lv::test::GuiFixture;
using lv::ui::MsgIcon;

namespace {

const QByteArray kGood = "ball(x[3], a[0]) {\r\n  ball = 1 - x[1]*x[1];\r\n}\r\n";
const QByteArray kBad = "ball(x[3], a[0]) {\n  ball = 1 - ;\n}\n";

} // namespace

class DocumentsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { lv::test::useTestSettings("documents_tests"); }
    void init() { QSettings().clear(); }

    void codecRoundTripsEveryByteSequence() {
        const QByteArray samples[] = {
            "", "a\r\nb\r\n", "a\nb\r\nc\n", "bare\rcr\n", "caf\xc3\xa9 \xe2\x82\xac\n",
            "latin \xe9\xe8 \xff\xfe\n", "\xef\x9c\x80 escape-looking char\n",
            QByteArray("nul\0byte\n", 9), "\xf0\x9f\x99\x82 wide\r\n", "\xc3", "\r\n\r\n",
            "\xe2\x80\xa9 paragraph separator\n",
        };
        for (const QByteArray& bytes : samples) {
            DecodedSource d = decodeSource(bytes);
            QCOMPARE(encodeSource(d.text, d.lineEnding), bytes);
        }
        QCOMPARE(decodeSource("a\r\nb\r\n").lineEnding, LineEnding::CrLf);
        QCOMPARE(decodeSource("a\r\nb\r\n").text, QString("a\nb\n"));
        QCOMPARE(decodeSource("caf\xc3\xa9").text, QString::fromUtf8("caf\xc3\xa9"));
        QRandomGenerator rng(7);
        for (int n = 0; n < 300; ++n) {
            QByteArray bytes(int(rng.bounded(40)), '\0');
            for (char& c : bytes) c = char(rng.bounded(256));
            DecodedSource d = decodeSource(bytes);
            QCOMPARE(encodeSource(d.text, d.lineEnding), bytes);
        }
    }

    void unmodifiedSaveKeepsBytesCrLfAndNonUtf8() {
        GuiFixture f;
        for (const QByteArray& bytes :
             {kGood, QByteArray("x = \"\xe9t\xe9\";\r\n-- \xff\xfe\r\n"),
              QByteArray("mixed\r\nends\nbare\rcr")}) {
            QString path = f.write("keep.lv", bytes);
            SourceDocument* doc = f.window->openFile(path);
            QVERIFY(doc);
            QVERIFY(!doc->isModified());
            QVERIFY(f.window->saveDocument(doc));
            QCOMPARE(f.read(path), bytes);
            f.window->closeDocument(doc);
        }
        // An edit keeps the file's line ending and its other bytes.
        QString path = f.write("edit.lv", "a\r\n\xe9\r\n");
        SourceDocument* doc = f.window->openFile(path);
        doc->moveCursor(QTextCursor::End);
        doc->insertPlainText("b\n");
        QVERIFY(f.window->saveDocument(doc));
        QCOMPARE(f.read(path), QByteArray("a\r\n\xe9\r\nb\r\n"));
    }

    void untitledOneGivesWayToTheFirstFile() {
        GuiFixture f;
        SourceDocument* untitled = f.window->newDocument();
        QCOMPARE(untitled->title(), QString("Untitled1"));
        SourceDocument* first = f.window->openFile(f.write("one.lv", kGood));
        QCOMPARE(f.window->documents().size(), 1);
        QCOMPARE(f.window->documents().first(), first);
        f.window->openFile(f.write("two.lv", kGood));
        QCOMPARE(f.window->documents().size(), 2);
        // Later untitled documents count on; a modified "Untitled2" stays.
        SourceDocument* second = f.window->newDocument();
        QCOMPARE(second->title(), QString("Untitled2"));
        second->insertPlainText("x");
        f.window->openFile(f.write("three.lv", kGood));
        QCOMPARE(f.window->documents().size(), 4);
        QVERIFY(f.window->windowTitle().startsWith("Lumovar for Windows"));
        QVERIFY(f.window->windowTitle().endsWith("three.lv"));
    }

    void modifiedUntitledOneStays() {
        GuiFixture f;
        f.window->newDocument()->insertPlainText("keep me");
        f.window->openFile(f.write("one.lv", kGood));
        QCOMPARE(f.window->documents().size(), 2);
    }

    void unreadableFileGetsAMessage() {
        GuiFixture f;
        QVERIFY(!f.window->openFile(f.dir.filePath("missing.lv")));
        QCOMPARE(f.ui.shown.size(), std::size_t(1));
        QCOMPARE(f.ui.shown.back().icon, MsgIcon::Error);
        QVERIFY(f.ui.lastText().contains("missing.lv"));
        QVERIFY(f.window->documents().isEmpty());
    }

    void foldersAndFailedSavesAreReported() {
        GuiFixture f;
        QVERIFY(!f.window->openFile(f.dir.path()));
        QCOMPARE(f.ui.shown.size(), std::size_t(1));
        QVERIFY(f.window->documents().isEmpty());
        SourceDocument* doc = f.window->newDocument();
        doc->insertPlainText("x");
        f.ui.fileNames.push_back(f.dir.filePath("no/such/folder/a.lv"));
        QVERIFY(!f.window->saveDocument(doc));
        QCOMPARE(f.ui.shown.size(), std::size_t(2));
        QCOMPARE(f.ui.shown.back().icon, MsgIcon::Error);
        QVERIFY(doc->isModified());
        QVERIFY(doc->path().isEmpty());
    }

    void recentListHoldsFourMostRecentFirst() {
        QCOMPARE(withRecentFile({"a", "b", "c", "d"}, "e"), QStringList({"e", "a", "b", "c"}));
        QCOMPARE(withRecentFile({"a", "b", "c"}, "c"), QStringList({"c", "a", "b"}));
        GuiFixture f;
        QStringList paths;
        for (int i = 0; i < 5; ++i) paths << f.write(QString("r%1.lv").arg(i), kGood);
        for (const QString& p : paths) f.window->openFile(p);
        QStringList want = {paths[4], paths[3], paths[2], paths[1]};
        QCOMPARE(f.window->recentFiles(), want);
        QCOMPARE(loadRecentFiles(), want);
        f.window->refreshCommands();
        QCOMPARE(f.window->action(kCmdFileRecent1)->text(), "&1 " + paths[4]);
        QVERIFY(f.window->action(kCmdFileRecent1 + 3)->isEnabled());
        // Reopening an older one from the list brings it to the front.
        f.window->execute(kCmdFileRecent1 + 3);
        QCOMPARE(f.window->recentFiles().first(), paths[1]);
        // A new window reads the stored list.
        GuiFixture g;
        QCOMPARE(g.window->recentFiles().size(), 4);
        QCOMPARE(g.window->recentFiles().first(), paths[1]);
    }

    void compileReportsSuccessAndErrorsExactly() {
        GuiFixture f;
        SourceDocument* doc = f.window->openFile(f.write("good.lv", kGood));
        f.window->execute(kCmdRunCompile);
        QCOMPARE(f.ui.lastText(), QString("Compilation successfull"));
        QCOMPARE(f.ui.shown.back().icon, MsgIcon::None);
        QCOMPARE(f.ui.shown.back().buttons, lv::ui::MsgButtons::Ok);
        f.window->closeDocument(doc);

        doc = f.window->openFile(f.write("bad.lv", kBad));
        f.window->execute(kCmdRunCompile);
        QCOMPARE(f.ui.lastText(),
                 QString("Program contains errors:\nError text: Expression expected\nLine: 2"));
        QCOMPARE(f.ui.shown.back().icon, MsgIcon::Error);
        // The cursor waits at the error.
        QCOMPARE(doc->cursorLine(), 2);
        QCOMPARE(doc->cursorColumn(), 14);
    }

    void compileSavesFirstAndEverySaveDropsTheCachedResult() {
        GuiFixture f;
        QString path = f.write("edit.lv", kGood);
        SourceDocument* doc = f.window->openFile(path);
        f.window->execute(kCmdRunCompile);
        QCOMPARE(f.ui.lastText(), QString("Compilation successfull"));
        // Edited and compiled at once: saved first, and the new text is what compiles, even
        // when the file's time has not moved on.
        namespace fs = std::filesystem;
        doc->selectAll();
        doc->insertPlainText(QString::fromLatin1(kBad));
        QVERIFY(doc->isModified());
        f.window->execute(kCmdRunCompile);
        QVERIFY(!doc->isModified());
        QCOMPARE(f.read(path), QByteArray(kBad).replace("\n", "\r\n")); // the file's ends
        QVERIFY(f.ui.lastText().startsWith("Program contains errors:"));
        // The next save lands within the file system's time resolution of this one.
        fs::file_time_type mtime = fs::last_write_time(path.toStdString());
        doc->selectAll();
        doc->insertPlainText(QString::fromLatin1(kGood).remove('\r'));
        QVERIFY(f.window->saveDocument(doc));
        fs::last_write_time(path.toStdString(), mtime);
        f.window->execute(kCmdRunCompile);
        QCOMPARE(f.ui.lastText(), QString("Compilation successfull"));
    }

    void compilingAnUntitledDocumentAsksForAName() {
        GuiFixture f;
        SourceDocument* doc = f.window->newDocument();
        doc->insertPlainText(QString::fromLatin1(kGood));
        // Cancelled: no message, nothing written.
        f.window->execute(kCmdRunCompile);
        QCOMPARE(f.ui.fileDialogTitles.size(), std::size_t(1));
        QVERIFY(f.ui.shown.empty());
        QVERIFY(doc->path().isEmpty());
        // Named (without extension): saved as .lv and compiled.
        f.ui.fileNames.push_back(f.dir.filePath("named"));
        f.window->execute(kCmdRunCompile);
        QCOMPARE(doc->path(), f.dir.filePath("named.lv"));
        QCOMPARE(f.ui.lastText(), QString("Compilation successfull"));
        QCOMPARE(f.window->recentFiles().first(), doc->path());
    }

    void tabWidthAcceptsOneToTwenty() {
        QCOMPARE(parseTabWidth("1"), std::optional<int>(1));
        QCOMPARE(parseTabWidth(" 20 "), std::optional<int>(20));
        for (const char* bad : {"0", "21", "-3", "abc", "", "4x", "99999999999"})
            QVERIFY2(!parseTabWidth(bad), bad);

        GuiFixture f;
        SourceDocument* doc = f.window->newDocument();
        QStringList typed = {"0", "21", "7"};
        std::function<void()> drive = [&] {
            auto* dialog = qobject_cast<TabWidthDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                QTimer::singleShot(10, drive);
                return;
            }
            QCOMPARE(dialog->windowTitle(), QString("Tab stops"));
            while (!typed.isEmpty()) {
                dialog->field()->setText(typed.takeFirst());
                dialog->accept();
                if (!typed.isEmpty()) {
                    QVERIFY(dialog->isVisible());
                    QCOMPARE(f.ui.lastText(), QString("Please enter an integer between 1 and 20."));
                    QCOMPARE(dialog->field()->selectedText(), dialog->field()->text());
                }
            }
        };
        QTimer::singleShot(0, drive);
        f.window->execute(kCmdEditorTabWidth);
        QCOMPARE(f.ui.shown.size(), std::size_t(2));
        QCOMPARE(f.window->tabWidth(), 7);
        QCOMPARE(doc->tabWidth(), 7);
        // Kept for the next run, with the chosen font.
        QFont font("Monospace", 13);
        f.ui.fonts.push_back(font);
        f.window->execute(kCmdEditorFont);
        QCOMPARE(doc->font().pointSize(), 13);
        GuiFixture g;
        QCOMPARE(g.window->tabWidth(), 7);
        QVERIFY(g.window->editorFont());
        QCOMPARE(g.window->editorFont()->pointSize(), 13);
        QCOMPARE(g.window->newDocument()->tabWidth(), 7);
    }

    void highlightingFollowsTheLexer() {
        auto kinds = [](const QString& line) {
            QList<QPair<QString, LexemeClass>> out;
            for (const HighlightSpan& s : highlightSpans(line))
                out.append({line.mid(s.start, s.length), s.kind});
            return out;
        };
        auto got = kinds("if x[1] > 2.5e1 then y = LVSphere(x, c, 1); -- caf\xc3\xa9");
        QCOMPARE(got.value(0), qMakePair(QString("if"), LexemeClass::Reserved));
        QCOMPARE(got.value(1), qMakePair(QString("x"), LexemeClass::Reserved));
        QCOMPARE(got.value(2), qMakePair(QString("1"), LexemeClass::Number));
        QCOMPARE(got.value(3), qMakePair(QString("2.5e1"), LexemeClass::Number));
        QCOMPARE(got.value(4), qMakePair(QString("then"), LexemeClass::Reserved));
        QCOMPARE(got.value(5), qMakePair(QString("LVSphere"), LexemeClass::Builtin));
        QCOMPARE(got.value(6), qMakePair(QString("x"), LexemeClass::Reserved));
        QCOMPARE(got.value(7), qMakePair(QString("1"), LexemeClass::Number));
        QCOMPARE(got.value(8).second, LexemeClass::Comment);
        QCOMPARE(got.value(8).first, QString::fromUtf8("-- caf\xc3\xa9"));
        // Refused lexemes are marked, and colouring goes on after them.
        got = kinds(QString::fromUtf8("\xc3\xa9 # 012 \"open"));
        QCOMPARE(got.size(), 5);
        QCOMPARE(got[0], qMakePair(QString::fromUtf8("\xc3\xa9"), LexemeClass::Error));
        QCOMPARE(got[1], qMakePair(QString("#"), LexemeClass::Error));
        QCOMPARE(got[2], qMakePair(QString("0"), LexemeClass::Error));
        QCOMPARE(got[3], qMakePair(QString("12"), LexemeClass::Number));
        QCOMPARE(got[4], qMakePair(QString("\"open"), LexemeClass::Error));
        QCOMPARE(kinds("s = \"text\";").value(0), qMakePair(QString("\"text\""),
                                                           LexemeClass::String));
    }

    // A document opens at three quarters of a large documents area, at 560 x 400 in a small
    // one.
    void newDocumentsFollowTheAreaSize() {
        GuiFixture f;
        f.window->resize(1200, 900);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const QSize area = f.window->mdiArea()->viewport()->size();
        f.window->newDocument();
        auto* child = f.window->mdiArea()->currentSubWindow();
        QVERIFY(child);
        QCOMPARE(child->size(), QSize(area.width() * 3 / 4, area.height() * 3 / 4));
        f.window->resize(500, 400);
        QTest::qWait(50);
        f.window->newDocument();
        QCOMPARE(f.window->mdiArea()->currentSubWindow()->size(), QSize(560, 400));
    }

    void droppedFilesOpen() {
        GuiFixture f;
        QString a = f.write("a.lv", kGood), b = f.write("b.lv", kGood);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
        f.window->show();
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(f.window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.window.get(), &drop);
        QCOMPARE(f.window->documents().size(), 2);
    }

    void editCommandsWorkOnTheCurrentDocument() {
        GuiFixture f;
        SourceDocument* doc = f.window->newDocument();
        doc->insertPlainText("alpha beta alpha");
        f.window->execute(kCmdEditSelectAll);
        QCOMPARE(doc->textCursor().selectedText(), QString("alpha beta alpha"));
        f.window->execute(kCmdEditCopy);
        f.window->execute(kCmdEditClear);
        QVERIFY(doc->toPlainText().isEmpty());
        f.window->execute(kCmdEditUndo);
        QCOMPARE(doc->toPlainText(), QString("alpha beta alpha"));
        doc->moveCursor(QTextCursor::End);
        f.window->execute(kCmdEditPaste);
        QCOMPARE(doc->toPlainText(), QString("alpha beta alphaalpha beta alpha"));
        f.window->execute(kCmdEditUndo);
        // Find and replace through the dialog's signals.
        doc->moveCursor(QTextCursor::Start);
        f.window->execute(kCmdEditReplace);
        auto* dialog = f.window->findChild<FindDialog*>();
        QVERIFY(dialog);
        dialog->findField()->setText("ALPHA");
        dialog->replaceField()->setText("gamma");
        emit dialog->replaceAll();
        QCOMPARE(doc->toPlainText(), QString("gamma beta gamma"));
        QCOMPARE(f.window->findText(), QString("ALPHA"));
        doc->moveCursor(QTextCursor::Start);
        f.window->execute(kCmdEditRepeat);
        QCOMPARE(f.ui.lastText(), QString("Cannot find the string 'ALPHA'."));
    }
};

QTEST_MAIN(DocumentsTest)
#include "documents_test.moc"
