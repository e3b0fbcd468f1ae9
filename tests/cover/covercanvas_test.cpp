#include "covercanvas.h"
#include "coverhelpers.h"
#include "testregistry.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;
using namespace tandrel::test;

namespace {

const QColor Black(0, 0, 0);
const QColor Red(255, 0, 0);
const QColor Green(0, 200, 0);
const QColor Blue(40, 90, 255);

QString& field(CoverLine& line, const QString& name) {
    if (name == QLatin1String("size"))
        return line.fontSize;
    if (name == QLatin1String("font"))
        return line.fontName;
    return name == QLatin1String("x") ? line.x : line.y;
}

} // namespace

class CoverCanvasTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_black;

    QImage rendered(const CoverLine& line1, const CoverLine& line2) {
        CoverCanvas canvas;
        canvas.setBackground(m_black);
        canvas.render(line1, line2);
        return canvas.image();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_black = writePicture(m_dir.filePath("black.png"), QSize(400, 450), "PNG", Black);
    }

    void backgroundIsCroppedToTheCentre_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("wide") << QSize(900, 300);
        QTest::newRow("tall and large") << QSize(600, 1800);
        QTest::newRow("small, made larger") << QSize(80, 60);
    }

    // A circle stays a circle, in the middle of the canvas.
    void backgroundIsCroppedToTheCentre() {
        QFETCH(QSize, size);
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::white);
        const int d = std::min(size.width(), size.height()) * 2 / 3;
        {
            QPainter painter(&picture);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setBrush(Qt::black);
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(QRectF((size.width() - d) / 2.0, (size.height() - d) / 2.0, d, d));
        }
        const QString path = m_dir.filePath("circle.png");
        QVERIFY(picture.save(path));
        CoverCanvas canvas;
        QVERIFY(canvas.setBackground(path).ok());
        canvas.render({}, {});
        const QRect disc = inkBox(canvas.image(), Black, 100);
        QVERIFY2(std::abs(disc.width() - disc.height()) <= 2,
                 qPrintable(QStringLiteral("%1 x %2").arg(disc.width()).arg(disc.height())));
        QVERIFY(std::abs(disc.center().x() - 200) <= 2 && std::abs(disc.center().y() - 225) <= 2);
    }

    void pictureOfTheCanvasSizeIsUnchanged() {
        const QString path = writePicture(m_dir.filePath("same.png"), QSize(400, 450), "PNG");
        CoverCanvas canvas;
        QVERIFY(canvas.setBackground(path).ok());
        canvas.render({}, {});
        QCOMPARE(canvas.image().convertToFormat(QImage::Format_RGB32),
                 QImage(path).convertToFormat(QImage::Format_RGB32));
    }

    void unloadableBackgroundIsReported() {
        const QString path = m_dir.filePath("text.jpg");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("this is no picture") > 0);
        f.close();
        CoverCanvas canvas;
        QVERIFY(canvas.setBackground(m_black).ok());
        const Status failed = canvas.setBackground(path);
        QVERIFY(!failed.ok());
        QVERIFY2(failed.error().startsWith(
                     QStringLiteral("The picture \"%1\"").arg(QDir::toNativeSeparators(path))) &&
                     failed.error().endsWith('.') && failed.error().count('.') <= 3,
                 qPrintable(failed.error()));
        // The text is still drawn, on the blank canvas.
        canvas.render(coverLine("MMM", "1500", "1500", Red), {});
        QVERIFY(countPixels(canvas.image(), Red) > 50);
        QCOMPARE(canvas.image().pixelColor(399, 449), CoverCanvas::blankColor());
    }

    void linesAreDrawnAtTheirPositions_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("line 1") << 1 << 1500 << 3000;
        QTest::newRow("line 2") << 2 << 3000 << 4500;
        QTest::newRow("line 2 above line 1") << 2 << 750 << 300;
    }

    void linesAreDrawnAtTheirPositions() {
        QFETCH(int, line);
        QFETCH(int, x);
        QFETCH(int, y);
        const CoverLine measured = coverLine("MMM", QString::number(x), QString::number(y), Blue);
        const CoverLine other = coverLine(".", "5400", "6300", Qt::white, "8");
        const QRect ink =
            inkBox(line == 1 ? rendered(measured, other) : rendered(other, measured), Blue);
        QVERIFY2(!ink.isEmpty(), "the text colour appears nowhere");
        const double left = x / 15.0, top = y / 15.0, em = 24 * 96 / 72.0;
        // The position is the text's top-left corner, and 24 points are 32 pixels at 96 dpi:
        // capitals start just right of and below it and are about 23 pixels high.
        QVERIFY2(ink.left() >= left - 1 && ink.left() <= left + em * 0.2 && ink.top() >= top &&
                     ink.top() <= top + em * 0.4 && ink.height() >= em * 0.6 && ink.height() <= em,
                 qPrintable(QStringLiteral("ink %1,%2 %3 high")
                                .arg(ink.left())
                                .arg(ink.top())
                                .arg(ink.height())));
    }

    // What the boxes hold and nothing else: an emptied line 1 goes, line 2 stays.
    void canvasShowsExactlyTheLinesWithText() {
        CoverCanvas canvas;
        canvas.setBackground(m_black);
        canvas.render(coverLine("First", "1500", "1500", Red),
                      coverLine("Second", "1500", "3000", Blue));
        QVERIFY(countPixels(canvas.image(), Red) > 0 && countPixels(canvas.image(), Blue) > 0);
        canvas.render({}, coverLine("Second", "1500", "3000", Blue));
        QCOMPARE(countPixels(canvas.image(), Red), 0);
        QVERIFY(countPixels(canvas.image(), Blue) > 0);
        canvas.render({}, {});
        QCOMPARE(countPixels(canvas.image(), Black), 400 * 450);
    }

    void badValueSkipsOnlyItsStep_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<QStringList>("fieldBadSame"); // same: what the skipped step leaves
        QTest::newRow("line 1 x after the clear is 0") << 1 << QStringList{"x", "abc", "0"};
        QTest::newRow("line 1 y after the clear is 0") << 1 << QStringList{"y", "", "0"};
        QTest::newRow("line 2 x is the start of the next line") << 2 << QStringList{"x", "a", "0"};
        QTest::newRow("line 2 size is line 1's") << 2 << QStringList{"size", "abc", "30"};
        QTest::newRow("line 2 size below one point") << 2 << QStringList{"size", "0.5", "30"};
        QTest::newRow("line 2 size absurdly large") << 2 << QStringList{"size", "99999", "30"};
        QTest::newRow("line 2 without font keeps line 1's")
            << 2 << QStringList{"font", "", "DejaVu Serif"};
    }

    void badValueSkipsOnlyItsStep() {
        QFETCH(int, line);
        QFETCH(QStringList, fieldBadSame);
        CoverLine first = coverLine("First", "750", "1500", Red, "30");
        first.fontName = QStringLiteral("DejaVu Serif");
        CoverLine second = coverLine("Second", "1500", "4500", Blue, "12");
        QString& changed = field(line == 1 ? first : second, fieldBadSame[0]);
        changed = fieldBadSame[1];
        const QImage skipped = rendered(first, second);
        changed = fieldBadSame[2];
        QCOMPARE(skipped, rendered(first, second));
        // The other steps of that line still ran: its text is there, in its colour.
        QVERIFY(countPixels(skipped, line == 1 ? Red : Blue) > 20);
    }

    void badPositionOfLine2FollowsLine1() {
        const QImage image = rendered(coverLine("First", "1500", "1500", Red, "30"),
                                      coverLine("Second", "3000", "x", Blue, "12"));
        const QRect first = inkBox(image, Red);
        const QRect second = inkBox(image, Blue);
        QVERIFY(!first.isEmpty() && second.left() >= 199);
        // On the next text line: below line 1, within one line of it.
        QVERIFY2(second.top() > first.bottom() && second.top() < first.bottom() + 40,
                 qPrintable(QStringLiteral("%1 then %2").arg(first.bottom()).arg(second.top())));
    }

    void saveWritesAJpegThatLoadsBack() {
        const QString path = m_dir.filePath("temp_cover.jpg");
        for (const QColor color : {Red, Blue}) {
            CoverCanvas canvas;
            canvas.setBackground(m_black);
            canvas.render(coverLine("Cover", "1500", "3000", color, "34"), {});
            const Status saved = canvas.save(path); // the second time over the first
            QVERIFY2(saved.ok(), qPrintable(saved.error()));
            QVERIFY(QFileInfo(path).size() < 60 * 1024); // a bitmap would be 540 KB
            QImageReader reader(path);
            QCOMPARE(reader.format(), QByteArray("jpeg"));
            const QImage loaded = reader.read();
            QCOMPARE(loaded.size(), QSize(400, 450));
            const QPoint inside = solidPixel(canvas.image(), color);
            QVERIFY2(near(loaded.pixelColor(inside), color, 60),
                     qPrintable(loaded.pixelColor(inside).name()));
            QVERIFY(near(loaded.pixelColor(390, 20), Black, 8));
        }
    }
};

TANDREL_TEST(CoverCanvasTest)
#include "covercanvas_test.moc"
