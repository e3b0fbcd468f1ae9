#include "apppaths.h"
#include "testfiles.h"
#include "testregistry.h"
#include "textfiles.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;

class AppPathsTest : public QObject {
    Q_OBJECT

    static void write(const QString& path, const QByteArray& bytes) {
        test::writeFile(path, bytes);
    }
    static QString sum(const QByteArray& bytes) {
        return QString::fromLatin1(
            QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    }
    static QByteArray read(const QString& path) {
        auto bytes = readFileBytes(path, 1024);
        return bytes ? bytes.value() : QByteArray("<none>");
    }

private slots:
    // The shipped file is now "v2"; "v1" was shipped and recorded before.
    void refreshUserCopy_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("recorded");
        QTest::addColumn<bool>("restoreDeleted");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("first start copies")
            << QByteArray("<none>") << false << false << QByteArray("v2");
        QTest::newRow("unchanged copy follows the upgrade")
            << QByteArray("v1") << true << false << QByteArray("v2");
        QTest::newRow("edited copy stays")
            << QByteArray("mine") << true << true << QByteArray("mine");
        QTest::newRow("the user's own file of that name stays")
            << QByteArray("mine") << false << true << QByteArray("mine");
        QTest::newRow("deleted template comes back")
            << QByteArray("<none>") << true << true << QByteArray("v2");
        QTest::newRow("deleted picture stays deleted")
            << QByteArray("<none>") << true << false << QByteArray("<none>");
    }

    void refreshUserCopy() {
        QFETCH(QByteArray, before);
        QFETCH(bool, recorded);
        QFETCH(bool, restoreDeleted);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        write(dir.filePath("shipped/sub/page.html"), "v2");
        if (before != "<none>")
            write(dir.filePath("copy/sub/page.html"), before);
        QJsonObject record;
        if (recorded)
            record[QStringLiteral("t/sub/page.html")] = sum("v1");
        const QJsonObject old = record;
        QVERIFY(tandrel::refreshUserCopy(dir.filePath("shipped"), dir.filePath("copy"),
                                         QStringLiteral("t/"), restoreDeleted, record));
        QCOMPARE(read(dir.filePath("copy/sub/page.html")), after);
        // A copied file is recorded so the next upgrade may replace it; a kept one is not.
        const QJsonObject copied{{QStringLiteral("t/sub/page.html"), sum("v2")}};
        QCOMPARE(record, after == "v2" ? copied : old);
    }

    // The record survives between starts, so an upgrade tells an untouched copy from an edit.
    void installedStartsAndUpgrade() {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("bin"));
        write(dir.filePath("share/templates/index.html"), "index v1");
        write(dir.filePath("share/templates/thanks.html"), "thanks v1");
        write(dir.filePath("share/imgspro/a.jpg"), "picture");
        const AppPaths paths =
            AppPaths::choose(dir.filePath("bin"), dir.filePath("share"), dir.filePath("home/T"));
        QVERIFY(!paths.portable());
        QCOMPARE(paths.snippetsDir(), dir.filePath("share/snippets"));
        QCOMPARE(paths.outputTemplatesDir(), dir.filePath("home/T/output/templates"));
        QVERIFY(paths.prepare());
        QCOMPARE(read(dir.filePath("home/T/imgspro/a.jpg")), QByteArray("picture"));
        write(dir.filePath("home/T/templates/index.html"), "my index");
        write(dir.filePath("share/templates/index.html"), "index v2");
        write(dir.filePath("share/templates/thanks.html"), "thanks v2");
        QVERIFY(paths.prepare());
        QCOMPARE(read(dir.filePath("home/T/templates/index.html")), QByteArray("my index"));
        QCOMPARE(read(dir.filePath("home/T/templates/thanks.html")), QByteArray("thanks v2"));

        QDir().mkpath(dir.filePath("bin/templates"));
        QVERIFY(AppPaths::choose(dir.filePath("bin"), dir.filePath("share"), dir.filePath("home/T"))
                    .portable());
    }
};

TANDREL_TEST(AppPathsTest)
#include "apppaths_test.moc"
