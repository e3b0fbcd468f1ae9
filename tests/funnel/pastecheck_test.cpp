#include "pastecheck.h"
#include "testregistry.h"

#include <QTest>

using namespace tandrel;

class PasteCheckTest : public QObject {
    Q_OBJECT

private slots:
    void textsReadAsHtml_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("noteHas"); // empty: no note
        const auto row = [](const char* name, const char* text, const QString& noteHas) {
            QTest::newRow(name) << QString(text) << noteHas;
        };
        row("plain text", "Tips & tricks for 3 < 5 people, AT&T", "");
        row("an unknown tag vanishes", "Save 50% <today> only",
            "\u201c<today>\u201d is read as HTML and will not appear");
        row("formatting is applied", "Get <b>free</b> access",
            "\u201c<b>\u201d is read as HTML: it formats");
        row("a reference becomes its character", "AT&T &copy 2024",
            "\u201c&copy\u201d becomes \u201c\u00a9\u201d");
        row("the first of both is named", "&amp; then <x>",
            "\u201c&amp;\u201d becomes \u201c&\u201d");
    }

    void textsReadAsHtml() {
        QFETCH(QString, text);
        QFETCH(QString, noteHas);
        const QString note = htmlReadingNote(text);
        QVERIFY2(noteHas.isEmpty() ? note.isEmpty() : note.contains(noteHas), qPrintable(note));
    }

    void pastedForms_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("notesStart");
        const auto row = [](const char* name, const char* code, const QStringList& notes) {
            QTest::newRow(name) << QString(code) << notes;
        };
        row("a sound form",
            "<form method=POST action='https://list.example/s'><label for=e>Email</label>\n<input "
            "id=e type=email name=email><input type=hidden name=list value=1><button>Join</button>"
            "</form>",
            {});
        row("wrapped labels, aria names and a honeypot count as labelled",
            "<form method=post action='//list.example/s'><label>Name <input name=n></label>\n"
            "<input type=email aria-label=Email name=EMAIL><input name=b_x tabindex=-1></form>",
            {});
        row("no form at all", "<input type=email>", {"No <form> found"});
        row("GET to plain http, unlabelled fields",
            "<form action='http://list.example/s'><input name=email placeholder=Email><select "
            "name=c></select></form>",
            {"The form is sent by GET",
             "The form sends to \u201chttp://list.example/s\u201d, not https",
             "2 fields have no label (email, c)"});
        row("relative action, no e-mail field; markup inside a script does not count",
            "<form method=post action=subscribe.php><label for=n>Name</label><input id=n "
            "name=name>\n<script>var s = '<input type=\"email\">';</script></form>",
            {"The form sends to \u201csubscribe.php\u201d, an address on your own site",
             "No e-mail field found"});
        row("no action", "<form method=post><label>E <input type=email></label></form>",
            {"The form has no action address"});
    }

    void pastedForms() {
        QFETCH(QString, code);
        QFETCH(QStringList, notesStart);
        const QStringList notes = optinFormNotes(code);
        QCOMPARE(notes.size(), notesStart.size());
        for (qsizetype i = 0; i < notes.size(); ++i)
            QVERIFY2(notes[i].startsWith(notesStart[i]), qPrintable(notes[i]));
    }

    void videoIds_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("id"); // empty: no video
        const auto row = [](const char* name, const char* pasted, const char* id) {
            QTest::newRow(name) << QString(pasted) << QString(id);
        };
        row("bare id", " dQw4w9WgXcQ ", "dQw4w9WgXcQ");
        row("watch page, parameters", "https://www.youtube.com/watch?x=1&v=dQw4w9WgXcQ&t=4",
            "dQw4w9WgXcQ?start=4");
        row("embed, no scheme", "www.youtube-nocookie.com/embed/dQw4w9WgXcQ", "dQw4w9WgXcQ");
        row("shorts", "https://m.youtube.com/shorts/abcDEF12345", "abcDEF12345");
        row("short link", "https://youtu.be/abcDEF12345?si=3", "abcDEF12345");
        row("another site", "https://vimeo.com/76979871", "");
        row("look-alike host", "https://notyoutube.com/watch?v=dQw4w9WgXcQ", "");
        row("watch page without id", "https://www.youtube.com/watch?list=x", "");
        row("words", "my video", "");
        row("embed code, start time",
            "<iframe width=\"560\" src=\"https://www.youtube.com/embed/dQw4w9WgXcQ?start=90\" "
            "allowfullscreen></iframe>",
            "dQw4w9WgXcQ?start=90");
        row("short link, t in minutes", "youtu.be/abcDEF12345?t=1m5s", "abcDEF12345?start=65");
    }

    void videoIds() {
        QFETCH(QString, pasted);
        QFETCH(QString, id);
        QCOMPARE(videoIdFromPaste(pasted).value_or(QString()), id);
    }
};

TANDREL_TEST(PasteCheckTest)
#include "pastecheck_test.moc"
