#include "covercanvas.h"
#include "coverdesign.h"
#include "coverhelpers.h"
#include "funnelfile.h"
#include "testfiles.h"
#include "testregistry.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;
using namespace tandrel::test;

namespace {

const QColor Black(0, 0, 0);
const QColor White(255, 255, 255);
const QColor Red(255, 0, 0);
const QColor Blue(40, 90, 255);

QString& field(CoverLine& line, const QString& name) {
    if (name == QLatin1String("size"))
        return line.fontSize;
    if (name == QLatin1String("font"))
        return line.fontName;
    return name == QLatin1String("x") ? line.x : line.y;
}

// Pixels of a colour in the strips along the four edges, as wide as half the margin.
int inkAtTheEdges(const QImage& image, QColor color) {
    const int strip = CoverMargin / 2;
    const int w = image.width(), h = image.height();
    return countPixels(image.copy(0, 0, strip, h), color, 60) +
           countPixels(image.copy(w - strip, 0, strip, h), color, 60) +
           countPixels(image.copy(0, 0, w, strip), color, 60) +
           countPixels(image.copy(0, h - strip, w, strip), color, 60);
}

} // namespace

// The cover picture as drawn: background, lines, layout, effects, the saved file and design.
class CoverCanvasTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // Line 1 (and line 2) drawn on a plain picture of the canvas size.
    QImage draw(QColor picture, const CoverLine& line, CoverCanvas* canvas = nullptr,
                const CoverLine& line2 = {}) {
        CoverCanvas own;
        CoverCanvas& c = canvas ? *canvas : own;
        const QString path = m_dir.filePath(picture.name().mid(1) + ".png");
        if (!QFileInfo::exists(path))
            writePicture(path, QSize(400, 450), "PNG", picture);
        if (const Status set = c.setBackground(path); !set)
            qFatal("%s", qPrintable(set.error()));
        c.render(line, line2);
        return c.image();
    }
    QImage rendered(const CoverLine& line1, const CoverLine& line2) {
        return draw(Black, line1, nullptr, line2);
    }

private slots:
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
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::black);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRectF((size.width() - d) / 2.0, (size.height() - d) / 2.0, d, d));
        painter.end();
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
        writeFile(path, "this is no picture");
        CoverCanvas canvas;
        draw(Black, {}, &canvas);
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

    void linesStandAtTheirPosition_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("align"); // the position names the left, middle or right end
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("line 1") << 1 << 0 << 1500 << 3000;
        QTest::newRow("line 2") << 2 << 0 << 3000 << 4500;
        QTest::newRow("line 2 above line 1") << 2 << 0 << 750 << 300;
        QTest::newRow("centred") << 1 << 1 << 1800 << 3000;
        QTest::newRow("right-aligned line 2") << 2 << 2 << 1800 << 3000;
    }

    // Twips from the top-left corner; 24 points are 32 pixels at 96 dpi, capitals about 23
    // high and starting just below the position.
    void linesStandAtTheirPosition() {
        QFETCH(int, line);
        QFETCH(int, align);
        QFETCH(int, x);
        QFETCH(int, y);
        CoverLine measured = coverLine("MMM", QString::number(x), QString::number(y), Blue);
        measured.align = CoverAlign(align);
        const CoverLine other = coverLine(".", "5400", "6300", Qt::white, "8");
        const QRect ink =
            inkBox(line == 1 ? rendered(measured, other) : rendered(other, measured), Blue);
        const int at = align == 0 ? ink.left() : align == 1 ? ink.center().x() : ink.right();
        const double top = y / 15.0, em = 24 * 96 / 72.0;
        QVERIFY2(
            !ink.isEmpty() && std::abs(at - x / 15.0) <= 6 && ink.top() >= top &&
                ink.top() <= top + em * 0.4 && ink.height() >= em * 0.6 && ink.height() <= em,
            qPrintable(
                QStringLiteral("ink at %1,%2 %3 high").arg(at).arg(ink.top()).arg(ink.height())));
    }

    // What the boxes hold and nothing else: an emptied line 1 goes, line 2 stays.
    void canvasShowsExactlyTheLinesWithText() {
        CoverCanvas canvas;
        draw(Black, coverLine("First", "1500", "1500", Red), &canvas,
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
        const QString path = writeFile(m_dir.filePath("temp_cover.jpg"), "an older cover");
        CoverCanvas canvas;
        draw(Black, coverLine("Cover", "1500", "3000", Red, "34"), &canvas);
        const Status saved = canvas.save(path);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QVERIFY(QFileInfo(path).size() < 60 * 1024); // a bitmap would be 540 KB
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage loaded = reader.read();
        QCOMPARE(loaded.size(), QSize(400, 450));
        QVERIFY(near(loaded.pixelColor(solidPixel(canvas.image(), Red)), Red, 60));
        QVERIFY(near(loaded.pixelColor(390, 20), Black, 8));
    }

    void wrappedLinesStayInsideThePicture_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("align");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<int>("effect");
        QTest::addColumn<bool>("shrink"); // one row, else at least two
        const QString plan = QStringLiteral("The 7-Day List Building Plan");
        const auto row = [](const char* name, const QString& text, int align, const char* x,
                            const char* y, int effect, bool shrink) {
            QTest::newRow(name) << text << align << QString(x) << QString(y) << effect << shrink;
        };
        row("left from the left edge", plan, 0, "0", "0", 0, false);
        row("left from the middle", plan, 0, "3000", "3000", 0, false);
        row("centre near the right edge, outlined", plan, 1, "5900", "6700", 2, false);
        row("right from the left edge, shadowed", plan, 2, "100", "100", 1, false);
        row("one word wider than the picture", "Supercalifragilisticexpialidocious", 1, "3000",
            "3000", 2, false);
        row("shrunk onto one row", plan, 1, "3000", "3000", 0, true);
    }

    void wrappedLinesStayInsideThePicture() {
        QFETCH(QString, text);
        QFETCH(int, align);
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(int, effect);
        QFETCH(bool, shrink);
        CoverLine line = coverLine(text, x, y, Red, "34");
        line.bold = true;
        line.align = CoverAlign(align);
        line.effect = CoverEffect(effect);
        line.shrinkToFit = shrink;
        const QImage image = draw(Black, line);
        const QRect ink = inkBox(image, Red, 60);
        QCOMPARE(inkAtTheEdges(image, Red), 0);
        // Wrapped, not cut: the text spans most of the width and takes the rows it needs.
        const double row = 34 * 96 / 72.0;
        QVERIFY2(ink.width() > 250 && (shrink ? ink.height() < row : ink.height() > row * 1.05),
                 qPrintable(QStringLiteral("ink %1 x %2").arg(ink.width()).arg(ink.height())));
    }

    void effectsSetTheTextOffItsPicture_data() {
        QTest::addColumn<QColor>("picture");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<int>("effect");
        QTest::addColumn<bool>("edged"); // pixels of the opposite colour appear
        QTest::newRow("white on white, plain") << White << White << 0 << false;
        QTest::newRow("white on white, shadow") << White << White << 1 << true;
        QTest::newRow("white on white, outline") << White << White << 2 << true;
        QTest::newRow("black on black, outline in white") << Black << Black << 2 << true;
    }

    void effectsSetTheTextOffItsPicture() {
        QFETCH(QColor, picture);
        QFETCH(QColor, text);
        QFETCH(int, effect);
        QFETCH(bool, edged);
        CoverLine line = coverLine("Title", "3000", "3000", text, "30");
        line.align = CoverAlign::Center;
        line.effect = CoverEffect(effect);
        CoverCanvas canvas;
        const QImage image = draw(picture, line, &canvas);
        const QColor opposite = picture == White ? Black : White;
        QCOMPARE(countPixels(image, opposite, 100) > 100, edged);
        // The contrast note measures the picture beneath, whatever the effect.
        QCOMPARE(canvas.placed(0).contrast, 1.0);
        if (line.effect == CoverEffect::Shadow) { // it falls to the lower right of the outline
            line.effect = CoverEffect::Outline;
            const QPoint shift = inkBox(image, opposite, 100).center() -
                                 inkBox(draw(picture, line), opposite, 100).center();
            QVERIFY2(shift.x() >= 2 && shift.y() >= 2,
                     qPrintable(QString("%1,%2").arg(shift.x()).arg(shift.y())));
        }
    }

    void contrastWithThePictureBeneath() {
        CoverCanvas canvas;
        draw(Black, coverLine("Title", "3000", "3000", White), &canvas);
        QVERIFY(qAbs(canvas.placed(0).contrast - 21.0) < 0.01);
        draw(QColor(119, 119, 119), coverLine("Title", "3000", "3000", White), &canvas);
        QVERIFY(qAbs(canvas.placed(0).contrast - 4.48) < 0.05);
    }

    void largePictureIsDecodedOnce() {
        const QString path = writePicture(m_dir.filePath("big.jpg"), QSize(3000, 4000), "JPEG");
        CoverCanvas canvas;
        for (int key = 0; key < 5; ++key) {
            QVERIFY(canvas.setBackground(path).ok());
            canvas.render(coverLine(QString(key + 1, 'M'), "1500", "1500", White), {});
        }
        QCOMPARE(canvas.decodeCount(), 1);
        // Replaced on disk: read again, so the canvas never shows an old picture.
        QTest::qWait(1100);
        writePicture(path, QSize(300, 400), "JPEG", Red);
        QVERIFY(canvas.setBackground(path).ok());
        QCOMPARE(canvas.decodeCount(), 2);
    }

    void designKeptInTheSavedFunnel() {
        CoverDesign design = defaultCoverDesign();
        design.picture = QStringLiteral("bauhaus.jpg");
        design.lines[0] = coverLine("Grüße €", "3000", "abc", QColor(1, 2, 3), "16.5");
        design.lines[0].align = CoverAlign::Right;
        design.lines[0].effect = CoverEffect::Outline;
        design.lines[1].shrinkToFit = true;
        FunnelSettings settings;
        settings.coverDesign = coverDesignToJson(design);
        const auto read = funnelFromJson(funnelToJson(settings), m_dir.path());
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read->coverDesign, settings.coverDesign);
        QVERIFY(coverDesignFromJson(read->coverDesign).value() == design);
        // A funnel without a design is written as before and reads back without one.
        QVERIFY(!funnelToJson(FunnelSettings()).contains("coverDesign"));
        QVERIFY(funnelFromJson("{}", m_dir.path())->coverDesign.isEmpty());
    }

    void badDesignNamesItsKey_data() {
        QTest::addColumn<QByteArray>("design");
        QTest::addColumn<QString>("named");
        QTest::newRow("not an object") << QByteArray("[]") << "\"coverDesign\" must be an object";
        QTest::newRow("unknown key")
            << QByteArray("{\"pictures\": \"a\"}") << "pictures is unknown";
        QTest::newRow("size as a number")
            << QByteArray("{\"lines\": [{\"size\": 16}]}") << "lines[0].size must be a string";
        QTest::newRow("alignment misspelt")
            << QByteArray("{\"lines\": [{}, {\"align\": \"centre\"}]}") << "lines[1].align";
        QTest::newRow("three lines") << QByteArray("{\"lines\": [{}, {}, {}]}") << "at most two";
    }

    void badDesignNamesItsKey() {
        QFETCH(QByteArray, design);
        QFETCH(QString, named);
        const auto read = funnelFromJson("{\"coverDesign\": " + design + "}", m_dir.path());
        QVERIFY(!read.ok());
        QVERIFY2(read.error().contains(named), qPrintable(read.error()));
    }
};

TANDREL_TEST(CoverCanvasTest)
#include "covercanvas_test.moc"
