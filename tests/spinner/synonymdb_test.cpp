#include "synonymdb.h"
#include "testregistry.h"
#include "textfiles.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;

class SynonymDbTest : public QObject {
    Q_OBJECT

private slots:
    // The loader splits lines itself; they must be those LoadListFile gives,
    // whatever mix of line ends the file has.
    void linesEqualLoadListFile() {
        QTemporaryDir dir;
        QRandomGenerator random(11);
        const char pieces[] = {'\r', '\n', 'a', '{', '|', '}'};
        for (int i = 0; i < 300; ++i) {
            QByteArray bytes;
            for (int k = random.bounded(8); k > 0; --k)
                bytes += pieces[random.bounded(6)];
            const QString path = dir.filePath(QStringLiteral("rwdb%1.txt").arg(i));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            file.close();
            const auto expected = LoadListFile(path);
            const auto db = loadSynonymDb(path);
            QVERIFY(expected.ok() && db.ok());
            QVERIFY2(db->lines() == expected.value(), bytes.toPercentEncoding().constData());
        }
    }
};

TANDREL_TEST(SynonymDbTest)
#include "synonymdb_test.moc"
