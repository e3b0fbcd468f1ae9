#include "imagelibrary.h"
#include "testregistry.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
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
        QTest::addColumn<bool>("exists");
        QTest::newRow("sorted ignoring case")
            << QStringList{"imgspro/b.jpg", "imgspro/a.jpg", "imgspro/C.jpg"}
            << QStringList{"a.jpg", "b.jpg", "C.jpg"} << true;
        QTest::newRow("only .jpg, .jpeg and .png files, in any case")
            << QStringList{"imgspro/p.PNG", "imgspro/q.jpeg",   "imgspro/r.jpg.txt",
                           "imgspro/s.gif", "imgspro/sub.jpg/", "imgspro/X.JPG"}
            << QStringList{"p.PNG", "q.jpeg", "X.JPG"} << true;
        QTest::newRow("empty folder") << QStringList{"imgspro/"} << QStringList{} << true;
        QTest::newRow("no folder") << QStringList{} << QStringList{} << false;
        QTest::newRow("a file where the folder should be")
            << QStringList{"imgspro"} << QStringList{} << false;
    }

    void listsJpgPicturesByName() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, pictures);
        QFETCH(bool, exists);
        QTemporaryDir dir;
        for (const QString& name : files) {
            QFile f(dir.filePath(name));
            QDir().mkpath(QFileInfo(f.fileName()).path());
            QVERIFY(name.endsWith('/') ? QDir().mkpath(f.fileName())
                                       : f.open(QIODevice::WriteOnly));
        }
        const ImageLibrary library(dir.filePath("imgspro"));
        QCOMPARE(library.exists(), exists);
        QCOMPARE(library.pictures(), pictures);
    }

    void shippedLibraryHoldsTenDistinctCoverSizedJpegs() {
        const ImageLibrary library(test::shippedDataDir() + QStringLiteral("/imgspro"));
        const QStringList pictures = library.pictures();
        QVERIFY2(pictures.size() >= 10, qPrintable(pictures.join(' ')));
        QSet<QByteArray> hashes;
        for (const QString& name : pictures) {
            QFile f(library.pathOf(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            hashes.insert(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256));
            QCOMPARE(QImage::fromData(bytes, "JPEG").size(), QSize(400, 450));
        }
        QCOMPARE(hashes.size(), pictures.size());
    }
};

TANDREL_TEST(ImageLibraryTest)
#include "imagelibrary_test.moc"
