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
        canvas.render(line1, line2, m_black);
        return canvas.image();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_black = writePicture(m_dir.filePath("black.png"), QSize(400, 450), "PNG", Black);
    }

    void backgroundIsStretchedOverTheWholeCanvas_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("small and wide") << QSize(40, 30);
        QTest::newRow("large and tall") << QSize(600, 1200);
    }

    void backgroundIsStretchedOverTheWholeCanvas() {
        QFETCH(QSize, size);
        CoverCanvas canvas;
        QVERIFY(canvas.paintBackground(writePicture(m_dir.filePath("q.png"), size, "PNG")));
        const QColor quarters[] = {Red, QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 255, 0)};
        // Each quarter reaches its corner of the canvas and the middle: no border, no cropping.
        for (int q = 0; q < 4; ++q) {
            const bool right = q % 2, bottom = q / 2;
            for (const QPoint at : {QPoint(right ? 397 : 2, bottom ? 447 : 2),
                                    QPoint(right ? 214 : 185, bottom ? 244 : 205)})
                QVERIFY2(near(canvas.image().pixelColor(at), quarters[q], 12),
                         qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
        }
    }

    void unloadableBackgroundPaintsNothing() {
        const QString path = m_dir.filePath("text.jpg");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("this is no picture") > 0);
        f.close();
        CoverCanvas canvas;
        QVERIFY(canvas.paintBackground(m_black));
        QVERIFY(!canvas.paintBackground(path));
        QCOMPARE(countPixels(canvas.image(), Black), 400 * 450);
        // Rendering skips the background and still draws the text on the cleared canvas.
        canvas.render(coverLine("MMM", "1500", "1500", Red), {}, path);
        QVERIFY(countPixels(canvas.image(), Red) > 50);
        QCOMPARE(canvas.image().pixelColor(399, 449), CoverCanvas::blankColor());
    }

    void linesAreDrawnAtTheirPositions_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("line 1") << 1 << 1500 << 3000;
        QTest::newRow("line 2") << 2 << 3000 << 4500;
        QTest::newRow("line 2 above line 1") << 2 << 750 << 150;
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

    void emptyLinesStopTheRender() {
        CoverCanvas canvas;
        canvas.render(coverLine("First", "1500", "1500", Red),
                      coverLine("Second", "1500", "3000", Blue), m_black);
        const QImage drawn = canvas.image();
        QVERIFY(countPixels(drawn, Blue) > 0);
        // Clearing line 1 (or changing line 2 while it is empty) leaves the last drawing.
        canvas.render({}, coverLine("Other", "3000", "3000", Green), QString());
        QCOMPARE(canvas.image(), drawn);
        // An empty line 2 does not even take over its font size.
        canvas.render(coverLine("First", "1500", "1500", Red), coverLine("", "0", "0", Blue, "12"),
                      m_black);
        QCOMPARE(canvas.font().pointSize(), 24);
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
            canvas.render(coverLine("Cover", "1500", "3000", color, "34"), {}, m_black);
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
