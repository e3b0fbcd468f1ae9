#include "pictures.h"
#include "testregistry.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCryptographicHash>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace tandrel;

namespace {

QByteArray written(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

QImage readBack(const QByteArray& bytes) {
    return QImage::fromData(bytes).convertToFormat(QImage::Format_ARGB32);
}

// Four quadrants, so that a turned or mirrored picture shows in a 4 x 4 thumbnail.
QImage quadrants(QSize size, const QList<QColor>& colours) {
    QImage image(size, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const int w = size.width() / 2, h = size.height() / 2;
    for (int i = 0; i < 4; ++i)
        painter.fillRect(i % 2 * w, i / 2 * h, w, h, colours[i]);
    return image;
}

QByteArray segment(quint8 marker, const QByteArray& payload) {
    QByteArray s("\xFF\0\0\0", 4);
    s[1] = char(marker);
    qToBigEndian<quint16>(quint16(payload.size() + 2), s.data() + 2);
    return s + payload;
}

// EXIF as a phone writes it (big-endian): IFD0 with maker "Sec", model "ret", orientation 6 and
// the GPS IFD right after it (at 62), which holds latitude north.
QByteArray phoneExif() {
    return QByteArray("Exif\0\0", 6) +
           QByteArray::fromHex("4d4d002a00000008 0004 010f000200000004 53656300"
                               "0110000200000004 72657400 0112000300000001 00060000"
                               "8825000400000001 0000003e 00000000"
                               "0001 0001000200000002 4e000000 00000000");
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    QByteArray c(4, 0);
    qToBigEndian<quint32>(quint32(data.size()), c.data());
    QByteArray body = QByteArray(type) + data;
    quint32 crc = 0xFFFFFFFF;
    for (const char b : body) {
        crc ^= uchar(b);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    QByteArray tail(4, 0);
    qToBigEndian<quint32>(~crc, tail.data());
    return c + body + tail;
}

// What no published picture may carry: the names of metadata blocks and the texts put in them.
QStringList metadataIn(const QByteArray& bytes) {
    QStringList found;
    for (const char* mark : {"Exif", "xap/1.0", "ICC_PROFILE", "ICCP", "iCCP", "tEXt", "iTXt",
                             "zTXt", "eXIf", "tIME", "XMP Data", "Secret"})
        if (bytes.contains(mark))
            found << QLatin1String(mark);
    // JPEG: no APPn but JFIF's APP0, no comment, up to the picture data.
    for (qsizetype at = 2; bytes.startsWith("\xFF\xD8") && at + 4 <= bytes.size();) {
        const uchar marker = uchar(bytes[at + 1]);
        if (marker == 0xDA)
            break;
        if ((marker >= 0xE1 && marker <= 0xEF) || marker == 0xFE)
            found << QStringLiteral("JPEG marker %1").arg(marker, 0, 16);
        at += 2 + qFromBigEndian<quint16>(bytes.constData() + at + 2);
    }
    return found;
}

// A 4 x 4 thumbnail of both, channel by channel within tolerance.
bool looksAlike(const QImage& a, const QImage& b, int tolerance = 24) {
    const auto thumb = [](const QImage& i) {
        return i.convertToFormat(QImage::Format_ARGB32_Premultiplied)
            .scaled(4, 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const QImage x = thumb(a), y = thumb(b);
    for (int i = 0; i < 16; ++i) {
        const QRgb p = x.pixel(i % 4, i / 4), q = y.pixel(i % 4, i / 4);
        for (const int d :
             {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q), qAlpha(p) - qAlpha(q)})
            if (std::abs(d) > tolerance)
                return qWarning("cell %d: %08x vs %08x", i, p, q), false;
    }
    return true;
}

const QList<QColor> kColours{QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 60, 210),
                             QColor(240, 240, 240)};

PictureRequest request(const QByteArray& source) {
    const QString path = QStringLiteral("/home/u/Pictures/holiday.jpg");
    return {source, path, QStringLiteral("holiday"), {{40, 0}, {1000, 0}, {40, 0}, {40, 40}},
            60,     {}};
}

// A GIF of 1 x 1 frames, palette red and blue, with a comment and an XMP block; frames cuts it.
QByteArray animatedGif(int frames = 2) {
    QByteArray gif("GIF89a\1\0\1\0\x80\0\0\xFF\0\0\0\0\xFF", 19);
    gif += QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0", 19);
    gif += QByteArray("\x21\xFE\x06Secret\0", 10);
    gif += QByteArray("\x21\xFF\x0BXMP DataXMP\x04<ret\0", 20);
    for (int i = 0; i < frames; ++i)
        gif += QByteArray("\x21\xF9\x04\0\x0A\0\0\0", 8) +
               QByteArray("\x2C\0\0\0\0\1\0\1\0\0\x02\x02", 12) + (i ? "\x4C\x01" : "\x44\x01") +
               QByteArray(1, '\0');
    return gif + ";";
}

} // namespace

class PicturesTest : public QObject {
    Q_OBJECT

private slots:
    void writtenAnewUprightInSrgb_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QImage>("expected"); // upright, in sRGB
        const QImage upright = quadrants({120, 160}, kColours);
        QImage stored =
            upright.transformed(QTransform().rotate(-90)); // orientation 6 turns it back
        const QByteArray jpeg = written(stored, "jpeg");
        QTest::newRow("phone photo: orientation 6, GPS, XMP, a comment")
            << jpeg.left(2) + segment(0xE1, phoneExif()) +
                   segment(0xE1, "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta>Secret</x:xmpmeta>") +
                   segment(0xFE, "Secret comment") + jpeg.mid(2)
            << upright;

        QImage clear =
            quadrants({120, 160}, {kColours[0], kColours[1], Qt::transparent, kColours[3]});
        const QByteArray png = written(clear, "png");
        QTest::newRow("PNG with text chunks, eXIf, tIME and alpha")
            << png.left(33) + pngChunk("tEXt", "Author\0Secret") +
                   pngChunk("iTXt", QByteArray("Location\0\0\0\0\0Secret", 19)) +
                   pngChunk("eXIf", phoneExif().mid(6)) +
                   pngChunk("tIME", QByteArray("\x07\xE8\1\2\3\4\5", 7)) + png.mid(33)
            << clear;

        QImage p3 = quadrants({120, 160}, kColours).convertToFormat(QImage::Format_RGB32);
        p3.setColorSpace(QColorSpace::DisplayP3);
        QTest::newRow("Display-P3 JPEG")
            << written(p3, "jpeg") << p3.convertedToColorSpace(QColorSpace::SRgb);
        QTest::newRow("BMP") << written(upright, "bmp") << upright;
    }

    void writtenAnewUprightInSrgb() {
        QFETCH(QByteArray, source);
        QFETCH(QImage, expected);
        const auto ready = preparePicture(request(source), {});
        QVERIFY2(ready, qPrintable(ready.error()));
        QCOMPARE(ready->shown, QSize(120, 160));
        const bool transparent = expected.pixelColor(0, 159).alpha() == 0;
        QCOMPARE(ready->transparent, transparent);
        // Widths capped at the original, the repeated one once, the square cut from the centre.
        QStringList names;
        for (const PictureFile& file : ready->variants) {
            names << file.name;
            QCOMPARE(readBack(file.bytes).size(), file.size);
            QCOMPARE(metadataIn(file.bytes), QStringList());
        }
        QCOMPARE(names, QStringList({"holiday-40.webp", "holiday-120.webp", "holiday-40x40.webp"}));
        QVERIFY(looksAlike(readBack(ready->variants[1].bytes), expected));
        QVERIFY(looksAlike(readBack(ready->variants[2].bytes), expected.copy(0, 20, 120, 120)));
        QVERIFY(ready->fallback);
        QCOMPARE(ready->fallback->name, transparent ? "holiday-60.png" : "holiday-60.jpg");
        QCOMPARE(metadataIn(ready->fallback->bytes), QStringList());
        QVERIFY(looksAlike(readBack(ready->fallback->bytes), expected));
        const auto again = preparePicture(request(source), {});
        QVERIFY(again && again->variants[1].bytes == ready->variants[1].bytes &&
                again->fallback->bytes == ready->fallback->bytes);
    }

    void animationsKeepFramesLoseMetadata() {
        const auto ready = preparePicture(request(animatedGif()), {});
        QVERIFY2(ready, qPrintable(ready.error()));
        QVERIFY(ready->variants.isEmpty() && !ready->fallback && ready->asIs);
        QCOMPARE(ready->asIs->name, QStringLiteral("holiday.gif"));
        QCOMPARE(metadataIn(ready->asIs->bytes), QStringList());
        QVERIFY(ready->asIs->bytes.contains("NETSCAPE2.0"));
        QByteArray gif = ready->asIs->bytes;
        QBuffer buffer(&gif);
        QImageReader reader(&buffer);
        QCOMPARE(reader.imageCount(), 2);
        QCOMPARE(reader.read().pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(reader.read().pixel(0, 0), qRgb(0, 0, 255));
    }

    void refusedWithTheFileNamed_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("reason");
        const QByteArray png = written(QImage(8, 8, QImage::Format_RGB32), "png");
        const QByteArray huge =
            png.left(8) +
            pngChunk("IHDR", QByteArray("\0\0\x4E\x20\0\0\x4E\x20\x08\x06\0\0\0", 13)) +
            png.mid(33);
        QTest::newRow("not a picture") << QByteArray("%PDF-1.4") << "is not a picture a browser";
        QTest::newRow("20000 x 20000") << huge << "is 20000 x 20000 pixels, more than the 100";
        QTest::newRow("animation cut off") << animatedGif(3).chopped(14) << "damaged GIF";
    }

    void refusedWithTheFileNamed() {
        QFETCH(QByteArray, source);
        QFETCH(QString, reason);
        const auto ready = preparePicture(request(source), {});
        QVERIFY(!ready);
        QVERIFY2(ready.error().contains(reason) &&
                     ready.error().contains(QDir::toNativeSeparators(request({}).sourcePath)),
                 qPrintable(ready.error()));
    }

    void cacheEntriesUsedWholeOrRebuilt_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("fromCache"); // the replaced bytes come back: nothing was decoded
        QTest::newRow("untouched") << "" << false;
        QTest::newRow("a file damaged") << "damage" << false;
        QTest::newRow("its list missing, as after a crash") << "list" << false;
        QTest::newRow("a file replaced with its list") << "replace" << true;
    }

    void cacheEntriesUsedWholeOrRebuilt() {
        QFETCH(QString, change);
        QFETCH(bool, fromCache);
        QTemporaryDir cache;
        const QByteArray source = written(quadrants({120, 160}, kColours), "png");
        const auto first = preparePicture(request(source), cache.path());
        QVERIFY(first);
        const QStringList keys = QDir(cache.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(keys.size(), 1);
        const QString entry = cache.path() + '/' + keys[0] + '/';
        const QString file = entry + first->variants[0].name;
        const QByteArray other = first->variants[1].bytes;
        if (change == "damage")
            QVERIFY(QFile::resize(file, 10));
        if (change == "list")
            QVERIFY(QFile::remove(entry + "picture.json"));
        if (change == "replace") {
            QFile f(file), list(entry + "picture.json");
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(other) == other.size());
            QVERIFY(list.open(QIODevice::ReadWrite));
            const QByteArray hash =
                QCryptographicHash::hash(first->variants[0].bytes, QCryptographicHash::Sha256);
            const QByteArray updated = list.readAll().replace(
                hash.toHex(), QCryptographicHash::hash(other, QCryptographicHash::Sha256).toHex());
            QVERIFY(list.resize(0) && list.seek(0) && list.write(updated) == updated.size());
        }
        const auto second = preparePicture(request(source), cache.path());
        QVERIFY(second);
        QCOMPARE(second->variants[0].bytes, fromCache ? other : first->variants[0].bytes);
        QCOMPARE(second->fallback->bytes, first->fallback->bytes);
        // A rebuilt entry is whole again.
        QFile again(file);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), second->variants[0].bytes);
    }

    void socialCardShowsTheWholeCover_data() {
        QTest::addColumn<QByteArray>("background");
        QTest::addColumn<QColor>("corner");
        QTest::newRow("on the backdrop colour") << QByteArray() << QColor(250, 250, 0);
        QImage blue(4000, 3000, QImage::Format_RGB32);
        blue.fill(QColor(0, 0, 200));
        QTest::newRow("on the background, darker") << written(blue, "jpeg") << QColor(0, 0, 156);
    }

    void socialCardShowsTheWholeCover() {
        QFETCH(QByteArray, background);
        QFETCH(QColor, corner);
        QImage cover(300, 600, QImage::Format_RGB32);
        cover.fill(Qt::red);
        const auto card =
            makeSocialCard(written(cover, "jpeg"), background, QColor(250, 250, 0), "card.jpg", {});
        QVERIFY2(card, qPrintable(card.error()));
        QCOMPARE(card->name, QStringLiteral("card.jpg"));
        QCOMPARE(metadataIn(card->bytes), QStringList());
        const QImage seen = readBack(card->bytes);
        QCOMPARE(seen.size(), kSocialCardSize);
        // 86% of the height, centred: its top and bottom rows show, the card's edges do not.
        const auto near = [](QColor a, QColor b) {
            return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                       std::abs(a.blue() - b.blue()) <
                   60;
        };
        QVERIFY(near(seen.pixelColor(600, 50), Qt::red) &&
                near(seen.pixelColor(600, 578), Qt::red));
        QVERIFY(near(seen.pixelColor(600, 30), corner) && near(seen.pixelColor(600, 600), corner));
        QVERIFY(near(seen.pixelColor(5, 5), corner));
    }
};

TANDREL_TEST(PicturesTest)
#include "pictures_test.moc"
