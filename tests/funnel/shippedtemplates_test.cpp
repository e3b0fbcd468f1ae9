#include "funnelbuild.h"
#include "funnelfixtures.h"

#include <QImageWriter>
#include <QRegularExpression>
#include <QTest>

using namespace tandrel;
using namespace tandrel::test;

// The template set we ship: every page carries its placeholders, and a build
// leaves none of them behind.
class ShippedTemplatesTest : public QObject {
    Q_OBJECT

private slots:
    void templatesCarryTheirPlaceholders_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("placeholders");
        const QStringList lead{"[BODY]",         "[HEAD]",         "[LINE1]",
                               "[LINE1_COLOR]",  "[INSTRUCTIONS]", "[INSTRUCTIONS_COLOR]",
                               "[OPTINFORM]",    "[PRIVACY]",      "[PRIVACY_COLOR]",
                               "[PROGRESSBAR]",  "[FOOTER]",       "[FOOTER_COLOR]",
                               "[BORDER_COLOR]", "[BACK]",         "[RETARGETING]",
                               "[COVER]"};
        const QStringList thanks{"[BODY]", "[SOFT1]", "[SOFT2]", "[REDIRECTURL]", "[FOOTER]"};
        QTest::newRow("two columns") << "templates/index.html" << lead;
        QTest::newRow("one column") << "templates/index-1colimage.html" << lead;
        QTest::newRow("thank-you, own page") << "templates/thanks_flat.html" << thanks;
        QTest::newRow("thank-you, redirect") << "templates/thanks.html" << thanks;
        QTest::newRow("download") << "templates/download.html"
                                  << QStringList{"[BODY]",          "[THANKS]", "[TUBE_ID]",
                                                 "[DOWNLOAD_LINK]", "[FOOTER]", "[COVER]"};
        QTest::newRow("back snippet") << "snippets/back.txt" << QStringList{"[BACKURL]"};
        QTest::newRow("link snippet")
            << "snippets/dld_link.txt" << QStringList{"[DOWNLOAD_TITLE]", "[DOWNLOAD_LOCATION]"};
    }

    void templatesCarryTheirPlaceholders() {
        QFETCH(QString, file);
        QFETCH(QStringList, placeholders);
        const QString text =
            QString::fromUtf8(fileBytes(shippedDataDir() + QLatin1Char('/') + file));
        for (const QString& placeholder : placeholders)
            QVERIFY2(text.contains(placeholder),
                     qPrintable(file + QStringLiteral(" lacks ") + placeholder));
        QVERIFY(!text.contains(QChar(0x00B4)));
    }

    // Users edit their own copy of each template, so two for one page stay two files;
    // they may differ only in the layout (opt-in) or in the redirect's words (thank-you).
    void templatePairsStayInStep_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("allowed");
        QTest::newRow("opt-in") << "index.html"
                                << "index-1colimage.html"
                                << "<main\\b.*</main>";
        QTest::newRow("thank-you") << "thanks.html"
                                   << "thanks_flat.html"
                                   << "_OFFER(?=\\])";
    }

    void templatePairsStayInStep() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, allowed);
        const QRegularExpression difference(allowed,
                                            QRegularExpression::DotMatchesEverythingOption);
        const auto shared = [&](const QString& file) {
            return QString::fromUtf8(fileBytes(shippedDataDir() + "/templates/" + file))
                .remove(difference)
                .split(u'\n');
        };
        QCOMPARE(shared(second), shared(first));
    }

    void buildLeavesNoPlaceholder_data() {
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("extras");
        QTest::newRow("defaults") << 1 << 0 << false;
        QTest::newRow("one column, redirect, back control, link") << 0 << 1 << true;
    }

    // The cover is a phone photo stored sideways with a rotation mark: the pages must give
    // the browser the size it shows.
    void buildLeavesNoPlaceholder() {
        QFETCH(int, cols);
        QFETCH(int, action);
        QFETCH(bool, extras);
        QTemporaryDir app;
        for (const char* folder : {"templates", "snippets"})
            QVERIFY(modCopy::CopyFolder(shippedDataDir() + '/' + folder, app.filePath(folder)));
        QImage stored(100, 40, QImage::Format_RGB32);
        stored.fill(Qt::darkCyan);
        QImageWriter writer(app.filePath("cover.jpg"), "jpeg");
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
        QVERIFY2(writer.write(stored), qPrintable(writer.errorString()));
        FunnelSettings s = completeSettings(app.filePath("cover.jpg"));
        s.cboCols = cols;
        s.optAction = action;
        s.backControl = extras;
        s.backUrl = QStringLiteral("https://back.example/");
        if (extras)
            s.txtFileDownloadUrl = QStringLiteral("https://files.example/guide.pdf");
        const BuildOutcome outcome = buildFunnel(s, AppPaths(app.path()));
        QVERIFY2(outcome.built(), qPrintable(outcome.message));
        static const QRegularExpression placeholder(QStringLiteral("\\[[A-Z0-9_]+\\]"));
        for (const QString& page : outcome.pages) {
            const QString text =
                QString::fromUtf8(fileBytes(app.filePath("output/templates/" + page)));
            const auto match = placeholder.match(text);
            QVERIFY2(!match.hasMatch(),
                     qPrintable(page + QStringLiteral(" still holds ") + match.captured()));
            QVERIFY(text.startsWith(QStringLiteral("<!DOCTYPE html>")));
            if (page != outcome.pages[1])
                QVERIFY2(text.contains(QStringLiteral("width=\"40\" height=\"100\"")),
                         qPrintable(page));
        }
        QVERIFY(QFileInfo::exists(app.filePath("output/templates/funnel.css")));
    }
};

TANDREL_TEST(ShippedTemplatesTest)
#include "shippedtemplates_test.moc"
