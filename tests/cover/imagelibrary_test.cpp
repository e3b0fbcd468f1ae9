#include "imagelibrary.h"
#include "testregistry.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;

class ImageLibraryTest : public QObject {
    Q_OBJECT

private slots:
    void listsJpgPicturesByName_data() {
        QTest::addColumn<QStringList>("files"); // a trailing "/" makes a folder
        QTest::addColumn<QStringList>("pictures");
        QTest::newRow("sorted ignoring case")
            << QStringList{"b.jpg", "a.jpg", "C.jpg"} << QStringList{"a.jpg", "b.jpg", "C.jpg"};
        QTest::newRow("upper-case extension counts")
            << QStringList{"X.JPG", "y.Jpg"} << QStringList{"X.JPG", "y.Jpg"};
        QTest::newRow("other types are left out")
            << QStringList{"p.png", "q.jpeg", "r.jpg.txt", "s.jpg"} << QStringList{"s.jpg"};
        QTest::newRow("folders are left out")
            << QStringList{"sub.jpg/", "t.jpg"} << QStringList{"t.jpg"};
        QTest::newRow("empty folder") << QStringList{} << QStringList{};
    }

    void listsJpgPicturesByName() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, pictures);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("imgspro")));
        for (const QString& name : files) {
            if (name.endsWith(QLatin1Char('/'))) {
                QVERIFY(QDir().mkpath(dir.filePath("imgspro/" + name)));
                continue;
            }
            QFile f(dir.filePath("imgspro/" + name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const ImageLibrary library(dir.filePath("imgspro"));
        QVERIFY(library.exists());
        QCOMPARE(library.pictures(), pictures);
        QCOMPARE(library.pathOf(QStringLiteral("a.jpg")), dir.filePath("imgspro/a.jpg"));
    }

    void missingFolderIsAnEmptyLibrary() {
        QTemporaryDir dir;
        const ImageLibrary missing(dir.filePath("imgspro"));
        QVERIFY(!missing.exists());
        QVERIFY(missing.pictures().isEmpty());
        // A file where the folder should be is no library either.
        QFile f(dir.filePath("imgspro"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(!missing.exists());
        QVERIFY(missing.pictures().isEmpty());
    }

    void shippedLibraryHoldsTenDistinctCoverSizedJpegs() {
        const ImageLibrary library(test::shippedDataDir() + QStringLiteral("/imgspro"));
        const QStringList pictures = library.pictures();
        QVERIFY2(pictures.size() >= 10, qPrintable(pictures.join(QLatin1Char(' '))));
        QSet<QByteArray> hashes;
        for (const QString& name : pictures) {
            QImageReader reader(library.pathOf(name));
            QCOMPARE(reader.format(), QByteArray("jpeg"));
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(name + QLatin1Char(' ') + reader.errorString()));
            QCOMPARE(image.size(), QSize(400, 450));
            QFile f(library.pathOf(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            hashes.insert(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256));
        }
        QCOMPARE(hashes.size(), pictures.size());
    }
};

TANDREL_TEST(ImageLibraryTest)
#include "imagelibrary_test.moc"
