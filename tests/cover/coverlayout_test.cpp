#include "covercanvas.h"
#include "coverdesign.h"
#include "coverhelpers.h"
#include "funnelfile.h"
#include "testregistry.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;
using namespace tandrel::test;

namespace {

const QColor Black(0, 0, 0);
const QColor White(255, 255, 255);
const QColor Red(255, 0, 0);

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

class CoverLayoutTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QImage draw(QColor picture, const CoverLine& line, CoverCanvas* canvas = nullptr) {
        CoverCanvas own;
        CoverCanvas& c = canvas ? *canvas : own;
        const QString path = m_dir.filePath(picture.name().mid(1) + ".png");
        if (!QFileInfo::exists(path))
            writePicture(path, QSize(400, 450), "PNG", picture);
        c.setBackground(path);
        c.render(line, {});
        return c.image();
    }

private slots:
    void wrappedLinesStayInsideThePicture_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("align");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<int>("effect");
        QTest::addColumn<bool>("shrink");
        QTest::addColumn<int>("rows"); // at least
        const QString plan = QStringLiteral("The 7-Day List Building Plan");
        const QString word = QStringLiteral("Supercalifragilisticexpialidocious");
        QTest::newRow("left from the left edge") << plan << 0 << "0"
                                                 << "0" << 0 << false << 2;
        QTest::newRow("left from the middle") << plan << 0 << "3000"
                                              << "3000" << 0 << false << 2;
        QTest::newRow("centre near the right edge, outlined") << plan << 1 << "5900"
                                                              << "6700" << 2 << false << 2;
        QTest::newRow("right from the left edge, shadowed") << plan << 2 << "100"
                                                            << "100" << 1 << false << 2;
        QTest::newRow("one word wider than the picture") << word << 1 << "3000"
                                                         << "3000" << 2 << false << 2;
        QTest::newRow("shrunk onto one row") << plan << 1 << "3000"
                                             << "3000" << 0 << true << 1;
    }

    void wrappedLinesStayInsideThePicture() {
        QFETCH(QString, text);
        QFETCH(int, align);
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(int, effect);
        QFETCH(bool, shrink);
        QFETCH(int, rows);
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
        QVERIFY2(ink.width() > 250 && ink.height() > (rows - 0.5) * row * 0.7 &&
                     (rows > 1 || ink.height() < row),
                 qPrintable(QStringLiteral("ink %1 x %2").arg(ink.width()).arg(ink.height())));
    }

    void alignmentNamesThePointOfThePosition_data() {
        QTest::addColumn<int>("align");
        QTest::addColumn<int>("edge"); // where the ink should begin, centre or end
        QTest::newRow("left: its left edge") << 0 << 120;
        QTest::newRow("centre: its middle") << 1 << 120;
        QTest::newRow("right: its right edge") << 2 << 120;
    }

    void alignmentNamesThePointOfThePosition() {
        QFETCH(int, align);
        QFETCH(int, edge);
        CoverLine line = coverLine("MMM", QString::number(edge * 15), "3000", Red);
        line.align = CoverAlign(align);
        const QRect ink = inkBox(draw(Black, line), Red, 60);
        const int at = align == 0 ? ink.left() : align == 1 ? ink.center().x() : ink.right();
        // Glyphs stand a few pixels inside their advance.
        QVERIFY2(std::abs(at - edge) <= 6, qPrintable(QString::number(at)));
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

TANDREL_TEST(CoverLayoutTest)
#include "coverlayout_test.moc"
