#include "funnelbuild.h"
#include "funnelfixtures.h"
#include "pages.h"

#include <QImageWriter>
#include <QRegularExpression>
#include <QTest>

using namespace tandrel;
using namespace tandrel::test;

// The template set we ship: every page carries its placeholders, and a build
// leaves none of them behind.
class ShippedTemplatesTest : public QObject {
    Q_OBJECT

    // The pictures the built pages ask for, each of which must be in the folder, and the
    // pictures in the folder, which must all be asked for.
    static void checkPicturesNamed(const QString& folder) {
        static const QRegularExpression named(QStringLiteral("[\\w.-]+\\.(?:webp|jpg|png|gif)\\b"));
        QSet<QString> asked;
        for (const QString& page : QDir(folder).entryList({"*.html"}))
            for (const auto& m :
                 named.globalMatch(QString::fromUtf8(fileBytes(AppPaths::join(folder, page)))))
                asked.insert(m.captured());
        asked.remove(QStringLiteral("hqdefault.jpg")); // the video's own picture
        const QStringList present =
            QDir(folder).entryList({"*.webp", "*.jpg", "*.png", "*.gif"}, QDir::Files);
        QCOMPARE(QSet<QString>(present.begin(), present.end()), asked);
    }

private slots:
    // Each template, with the snippets its page may insert, carries every placeholder the
    // page's generator fills.
    void templatesCarryTheirPlaceholders_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("snippet");
        QTest::addColumn<int>("kind");
        for (const char* file : kOptinTemplates)
            QTest::newRow(file) << file << kBackSnippet << int(PageKind::Optin);
        for (const char* file : kThanksTemplates)
            QTest::newRow(file) << file << QString() << int(PageKind::ThankYou);
        QTest::newRow(kDownloadTemplate)
            << kDownloadTemplate << kLinkSnippet << int(PageKind::Download);
    }

    void templatesCarryTheirPlaceholders() {
        QFETCH(QString, file);
        QFETCH(QString, snippet);
        QFETCH(int, kind);
        QString text = QString::fromUtf8(fileBytes(shippedDataDir() + "/templates/" + file));
        if (!snippet.isEmpty())
            text += QString::fromUtf8(fileBytes(shippedDataDir() + "/snippets/" + snippet));
        for (const QString& placeholder : pagePlaceholders(PageKind(kind)))
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
        QTest::addColumn<bool>("everyValue");
        QTest::newRow("defaults: two columns, own download page") << false;
        QTest::newRow("every value set: one column, redirect, every optional block") << true;
    }

    // The cover is a phone photo stored sideways with a rotation mark: the pages must give
    // the browser the size it shows.
    void buildLeavesNoPlaceholder() {
        QFETCH(bool, everyValue);
        QTemporaryDir app;
        for (const char* folder : {"templates", "snippets", "themes"})
            QVERIFY(modCopy::CopyFolder(shippedDataDir() + '/' + folder, app.filePath(folder)));
        QImage stored(100, 40, QImage::Format_RGB32);
        stored.fill(Qt::darkCyan);
        QImageWriter writer(app.filePath("обложка.jpg"), "jpeg");
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
        QVERIFY2(writer.write(stored), qPrintable(writer.errorString()));
        FunnelSettings s = completeSettings(app.filePath("обложка.jpg"));
        if (everyValue) {
            s = everyValueChanged();
            s.chkProgressBar = 1;
            s.txtBeforeRedirectMsg2 = QStringLiteral("two"); // its block is left out when empty
            FixtureApp::writePicture(app.filePath("фон.png"), QSize(1600, 1000));
            s.lblSelectedFile[BackgroundImage] = {app.filePath("фон.png"), QStringLiteral("ф")};
            s.lblSelectedFile[CoverImage] = {app.filePath("обложка.jpg"),
                                             QStringLiteral("обложка.jpg")};
            s.splitTest.others[1].cover = s.lblSelectedFile[BackgroundImage];
        }
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
        QVERIFY(QFileInfo::exists(app.filePath("output/templates/cover-card.jpg")));
        checkPicturesNamed(app.filePath("output/templates"));
    }
};

TANDREL_TEST(ShippedTemplatesTest)
#include "shippedtemplates_test.moc"
