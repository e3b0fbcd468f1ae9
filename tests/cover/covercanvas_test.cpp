#include "covercanvas.h"
#include "coverhelpers.h"
#include "testregistry.h"

#include <QFile>
#include <QFontMetricsF>
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

void setField(CoverLine& line, const QString& field, const QString& value) {
    if (field == QLatin1String("size"))
        line.fontSize = value;
    else if (field == QLatin1String("x"))
        line.x = value;
    else if (field == QLatin1String("y"))
        line.y = value;
    else if (field == QLatin1String("font"))
        line.fontName = value;
    else
        qFatal("unknown field %s", qPrintable(field));
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
        m_black = writePlain(m_dir.filePath("black.png"), Black);
    }

    void fontSizes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("points"); // 0: not a usable size
        QTest::newRow("listed size") << "16" << 16;
        QTest::newRow("fraction is cut off, not rounded") << "16.9" << 16;
        QTest::newRow("blanks around") << " 20 " << 20;
        QTest::newRow("largest listed") << "34.99" << 34;
        QTest::newRow("exponent") << "1e1" << 10;
        QTest::newRow("word") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("unit after the number") << "16pt" << 0;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("below one point") << "0.5" << 0;
        QTest::newRow("negative") << "-4" << 0;
        QTest::newRow("absurdly large") << "99999" << 0;
    }

    void fontSizes() {
        QFETCH(QString, text);
        QFETCH(int, points);
        QCOMPARE(coverFontSize(text).value_or(0), points);
    }

    void twips_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::addColumn<double>("pixels");
        QTest::newRow("default x") << "50" << true << 50.0 / 15;
        QTest::newRow("whole pixels") << "1500" << true << 100.0;
        QTest::newRow("blanks around") << " 750 " << true << 50.0;
        QTest::newRow("negative, off the canvas") << "-150" << true << -10.0;
        QTest::newRow("fraction") << "22.5" << true << 1.5;
        QTest::newRow("word") << "abc" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("decimal comma") << "12,5" << false << 0.0;
        QTest::newRow("not finite") << "inf" << false << 0.0;
    }

    void twips() {
        QFETCH(QString, text);
        QFETCH(bool, number);
        QFETCH(double, pixels);
        const auto converted = twipsToPixels(text);
        QCOMPARE(converted.has_value(), number);
        if (number)
            QCOMPARE(*converted, pixels);
    }

    void twipsTextIsShortest() {
        QCOMPARE(twipsText(pixelsToTwips(83)), QStringLiteral("1245"));
        QCOMPARE(twipsText(pixelsToTwips(83.5)), QStringLiteral("1252.5"));
        QCOMPARE(twipsText(pixelsToTwips(0)), QStringLiteral("0"));
    }

    void canvasIsA96DpiPicture() {
        CoverCanvas canvas;
        QCOMPARE(canvas.image().size(), QSize(400, 450));
        QCOMPARE(canvas.image().logicalDpiX(), 96);
        QCOMPARE(canvas.image().logicalDpiY(), 96);
        QCOMPARE(countPixels(canvas.image(), CoverCanvas::blankColor()), 400 * 450);
    }

    void backgroundIsStretchedIgnoringAspectRatio_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("small and wide") << QSize(40, 30) << QByteArray("PNG");
        QTest::newRow("large and tall") << QSize(600, 1200) << QByteArray("PNG");
        QTest::newRow("library size, jpeg") << QSize(400, 450) << QByteArray("JPEG");
    }

    void backgroundIsStretchedIgnoringAspectRatio() {
        QFETCH(QSize, size);
        QFETCH(QByteArray, format);
        const QString path =
            writeQuarters(m_dir.filePath("quarters." + format), size, format.constData());
        CoverCanvas canvas;
        QVERIFY(canvas.paintBackground(path));
        const QImage& image = canvas.image();
        // Every corner of the canvas shows its own quarter: no borders, no cropping.
        const struct {
            QPoint at;
            QColor color;
        } expected[] = {{{2, 2}, Red},
                        {{100, 112}, Red},
                        {{397, 2}, QColor(0, 255, 0)},
                        {{300, 112}, QColor(0, 255, 0)},
                        {{2, 447}, QColor(0, 0, 255)},
                        {{100, 337}, QColor(0, 0, 255)},
                        {{397, 447}, QColor(255, 255, 0)},
                        {{300, 337}, QColor(255, 255, 0)}};
        for (const auto& e : expected) {
            if (!near(image.pixelColor(e.at), e.color, 12))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3, expected %4")
                                     .arg(e.at.x())
                                     .arg(e.at.y())
                                     .arg(image.pixelColor(e.at).name(), e.color.name())));
        }
        // The quarters meet in the middle of the canvas, whatever the picture's proportions.
        QVERIFY(near(image.pixelColor(185, 205), Red, 12));
        QVERIFY(near(image.pixelColor(214, 244), QColor(255, 255, 0), 12));
    }

    void backgroundPaintsOverWithoutClearing() {
        CoverCanvas canvas;
        canvas.render(coverLine("MMM", "1500", "4500", Red), {}, m_black);
        const QImage before = canvas.image();
        // Transparent below the middle: what was drawn there stays.
        QImage half(100, 100, QImage::Format_ARGB32);
        half.fill(Qt::transparent);
        QPainter(&half).fillRect(0, 0, 100, 50, Blue);
        const QString path = m_dir.filePath("half.png");
        QVERIFY(half.save(path));
        QVERIFY(canvas.paintBackground(path));
        QCOMPARE(canvas.image().copy(0, 230, 400, 220), before.copy(0, 230, 400, 220));
        QCOMPARE(countPixels(canvas.image().copy(0, 0, 400, 220), Blue), 400 * 220);
    }

    void unloadableBackgroundPaintsNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::newRow("missing file") << "none.jpg" << QByteArray();
        QTest::newRow("not a picture") << "text.jpg" << QByteArray("this is no picture");
        QTest::newRow("no path") << "" << QByteArray();
    }

    void unloadableBackgroundPaintsNothing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = name.isEmpty() ? QString() : m_dir.filePath(name);
        if (!bytes.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        CoverCanvas canvas;
        QVERIFY(canvas.paintBackground(m_black));
        QVERIFY(!canvas.paintBackground(path));
        QCOMPARE(countPixels(canvas.image(), Black), 400 * 450);

        // Rendering skips the background and still draws the text on the cleared canvas.
        canvas.render(coverLine("MMM", "1500", "1500", Red), {}, path);
        QVERIFY(countPixels(canvas.image(), Red) > 50);
        QCOMPARE(countPixels(canvas.image(), Black), 0);
        QCOMPARE(canvas.image().pixelColor(399, 449), CoverCanvas::blankColor());
    }

    void linesAreDrawnAtTheirPositionsInTheirColours_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<QColor>("color");
        QTest::newRow("line 1") << 1 << "1500"
                                << "3000" << Red;
        QTest::newRow("line 1 at the default position") << 1 << "50"
                                                        << "500" << Blue;
        QTest::newRow("line 2") << 2 << "3000"
                                << "4500" << Green;
        QTest::newRow("line 2 above line 1") << 2 << "750"
                                             << "150" << Blue;
    }

    void linesAreDrawnAtTheirPositionsInTheirColours() {
        QFETCH(int, line);
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(QColor, color);
        // The other line is a small white mark far from the one measured.
        const CoverLine measured =
            coverLine(QStringLiteral("MMM"), x, y, color, QStringLiteral("24"));
        const CoverLine other = coverLine(QStringLiteral("."), QStringLiteral("5400"),
                                          QStringLiteral("6300"), Qt::white, QStringLiteral("8"));
        const QImage image = line == 1 ? rendered(measured, other) : rendered(other, measured);

        const QRect ink = inkBox(image, color);
        QVERIFY2(!ink.isEmpty(), "the text colour appears nowhere");
        const double left = x.toDouble() / 15;
        const double top = y.toDouble() / 15;
        const double em = 24 * 96 / 72.0; // 32 pixels
        // The position is the top-left corner of the text: the glyphs start just right of
        // and below it (a side bearing, the space above capitals), never before it.
        QVERIFY2(ink.left() >= left - 1 && ink.left() <= left + em * 0.2,
                 qPrintable(QStringLiteral("ink starts at x %1 for a position of %2")
                                .arg(ink.left())
                                .arg(left)));
        QVERIFY2(
            ink.top() >= top && ink.top() <= top + em * 0.4,
            qPrintable(
                QStringLiteral("ink starts at y %1 for a position of %2").arg(ink.top()).arg(top)));
        // Capitals of a 24 point font at 96 dpi are about 23 pixels high.
        QVERIFY2(ink.height() >= em * 0.6 && ink.height() <= em,
                 qPrintable(QStringLiteral("capitals are %1 pixels high").arg(ink.height())));
        // Anti-aliased: the edges blend the text colour into the black background.
        int blended = 0;
        for (int py = ink.top(); py <= ink.bottom(); ++py)
            for (int px = ink.left(); px <= ink.right(); ++px) {
                const QColor c = image.pixelColor(px, py);
                blended += (c != color && c != Black) ? 1 : 0;
            }
        QVERIFY2(blended > 20, "no blended edge pixels");
    }

    void secondLineIsDrawnOverTheFirst() {
        const QImage image = rendered(coverLine("MMMM", "1500", "1500", Red, "30"),
                                      coverLine("MMMM", "1500", "1500", Blue, "30"));
        QCOMPARE(countPixels(image, Red), 0);
        QVERIFY(countPixels(image, Blue) > 100);
    }

    void nothingIsDrawnWhileLine1IsEmpty() {
        CoverCanvas canvas;
        canvas.render({}, coverLine("Second", "1500", "1500", Red), m_black);
        QCOMPARE(countPixels(canvas.image(), CoverCanvas::blankColor()), 400 * 450);

        canvas.render(coverLine("First", "1500", "1500", Red),
                      coverLine("Second", "1500", "3000", Blue), m_black);
        const QImage drawn = canvas.image();
        QVERIFY(countPixels(drawn, Blue) > 0);
        // Clearing line 1 (or changing line 2 while it is empty) leaves the last drawing.
        canvas.render({}, coverLine("Other", "3000", "3000", Green), QString());
        QCOMPARE(canvas.image(), drawn);
    }

    void emptyLine2StopsAfterLine1() {
        CoverCanvas canvas;
        CoverLine second = coverLine(QString(), "1500", "3000", Blue);
        canvas.render(coverLine("First", "1500", "1500", Red), second, m_black);
        QCOMPARE(countPixels(canvas.image(), Blue), 0);
        // Line 2's settings were not applied: the colour is still line 1's.
        QCOMPARE(canvas.font().pointSize(), 24);
        QCOMPARE(canvas.position().x(), 0.0);
    }

    void badValueSkipsOnlyItsStep_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("bad");
        QTest::addColumn<QString>("same");
        // same: the value the skipped step leaves in force.
        QTest::newRow("line 1 x after the clear is 0") << 1 << "x"
                                                       << "abc"
                                                       << "0";
        QTest::newRow("line 1 y after the clear is 0") << 1 << "y"
                                                       << ""
                                                       << "0";
        QTest::newRow("line 2 x is the start of the next line") << 2 << "x"
                                                                << "abc"
                                                                << "0";
        QTest::newRow("line 2 size is line 1's") << 2 << "size"
                                                 << "abc"
                                                 << "30";
        QTest::newRow("line 2 size zero is line 1's") << 2 << "size"
                                                      << "0"
                                                      << "30";
        QTest::newRow("line 2 without font name keeps line 1's") << 2 << "font"
                                                                 << ""
                                                                 << "DejaVu Serif";
    }

    void badValueSkipsOnlyItsStep() {
        QFETCH(int, line);
        QFETCH(QString, field);
        QFETCH(QString, bad);
        QFETCH(QString, same);
        CoverLine first = coverLine("First", "750", "1500", Red, "30");
        first.fontName = QStringLiteral("DejaVu Serif");
        CoverLine second = coverLine("Second", "1500", "4500", Blue, "12");
        CoverLine& changed = line == 1 ? first : second;

        setField(changed, field, bad);
        const QImage skipped = rendered(first, second);
        setField(changed, field, same);
        const QImage expected = rendered(first, second);
        QCOMPARE(skipped, expected);
        // The other steps of that line still ran: its text is there, in its colour.
        QVERIFY(countPixels(skipped, line == 1 ? Red : Blue) > 20);
    }

    void badPositionOfLine2FollowsLine1() {
        CoverCanvas canvas;
        canvas.render(coverLine("First", "1500", "1500", Red, "30"),
                      coverLine("Second", "3000", "x", Blue, "12"), m_black);
        const QRect first = inkBox(canvas.image(), Red);
        const QRect second = inkBox(canvas.image(), Blue);
        QVERIFY(!first.isEmpty() && !second.isEmpty());
        QVERIFY(second.left() >= 199);
        // On the next text line: below line 1, within one line of it.
        QVERIFY2(second.top() > first.bottom() && second.top() < first.bottom() + 40,
                 qPrintable(QStringLiteral("line 1 ends at %1, line 2 starts at %2")
                                .arg(first.bottom())
                                .arg(second.top())));
    }

    void fontSizeIsTheWholeNumberOfPoints() {
        CoverCanvas canvas;
        canvas.render(coverLine("Size", "750", "750", Red, "16.9"), {}, m_black);
        QCOMPARE(canvas.font().pointSize(), 16);
        const QImage fraction = canvas.image();
        QCOMPARE(fraction, rendered(coverLine("Size", "750", "750", Red, "16"), {}));
        QVERIFY(fraction != rendered(coverLine("Size", "750", "750", Red, "17"), {}));
        // Points, not pixels: 16 points is about 21 pixels at 96 dpi.
        const QFontMetricsF metrics(canvas.font(), &canvas.image());
        QVERIFY(metrics.height() > 20 && metrics.height() < 28);
    }

    void saveWritesAJpegThatLoadsBack() {
        CoverCanvas canvas;
        canvas.render(coverLine("Cover", "1500", "3000", Red, "34"),
                      coverLine("Title", "1500", "4500", Green, "34"), m_black);
        const QString path = m_dir.filePath("app/temp_cover.jpg");
        QVERIFY(QDir().mkpath(m_dir.filePath("app")));
        const Status saved = canvas.save(path);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(3) == QByteArray("\xFF\xD8\xFF"));
        QVERIFY(file.size() < 60 * 1024); // a bitmap would be 540 KB
        file.close();
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage loaded = reader.read();
        QCOMPARE(loaded.size(), QSize(400, 450));
        for (const QColor color : {Red, Green}) {
            const QPoint inside = solidPixel(canvas.image(), color);
            QVERIFY(inside.x() >= 0);
            QVERIFY2(near(loaded.pixelColor(inside), color, 60),
                     qPrintable(loaded.pixelColor(inside).name()));
        }
        QVERIFY(near(loaded.pixelColor(390, 20), Black, 8));

        // Saving again replaces the file.
        canvas.render(coverLine("Cover", "1500", "3000", Blue, "34"), {}, m_black);
        QVERIFY(canvas.save(path).ok());
        const QImage again(path);
        QVERIFY(near(again.pixelColor(solidPixel(canvas.image(), Blue)), Blue, 60));
    }

    void saveFailsCleanly_data() {
        QTest::addColumn<QString>("blocker"); // what stands where the file or its folder should be
        QTest::newRow("a folder named like the file") << "temp_cover.jpg";
        QTest::newRow("the application folder is a file") << "app";
    }

    void saveFailsCleanly() {
        QFETCH(QString, blocker);
        QTemporaryDir dir;
        if (blocker == QLatin1String("app")) {
            QFile f(dir.filePath("app"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QDir().mkpath(dir.filePath("app/" + blocker)));
        }
        const QString path = dir.filePath("app/temp_cover.jpg");
        CoverCanvas canvas;
        const Status saved = canvas.save(path);
        QVERIFY(!saved.ok());
        QVERIFY2(saved.error().contains(QDir::toNativeSeparators(path)), qPrintable(saved.error()));
        QVERIFY(!saved.error().trimmed().isEmpty() && saved.error().endsWith(QLatin1Char('.')));
    }
};

TANDREL_TEST(CoverCanvasTest)
#include "covercanvas_test.moc"
