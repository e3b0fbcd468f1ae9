#include "privacyreport.h"
#include "testregistry.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;

using Files = QMap<QString, QByteArray>;

class PrivacyReportTest : public QObject {
    Q_OBJECT

private slots:
    // Each expected line lists pieces the finding's line holds, in order, split by " ~ ".
    void findings_data() {
        QTest::addColumn<Files>("files");
        QTest::addColumn<QStringList>("expected");
        const QByteArray jpegExif("\xff\xd8\xff\xe1\x00\x0a"
                                  "Exif\0\0\0\0\xff\xda",
                                  16);
        const QByteArray jpegPlain("\xff\xd8\xff\xe0\x00\x06JF\0\0\xff\xda", 12);
        const QByteArray pngText("\x89PNG\r\n\x1a\n\0\0\0\x03tEXta\0b\0\0\0\0\0\0\0\0IEND\0\0\0\0",
                                 35);

        QTest::newRow("nothing leaves the funnel's host")
            << Files{{"index.html",
                      "<link rel=stylesheet href=funnel.css><link rel=canonical "
                      "href=https://elsewhere.net/><img src=cover.webp srcset='c-1.webp 1x, "
                      "https://EXAMPLE.com/f/c-2.webp 2x'><img src='data:image/png;base64,AA'>"
                      "<a href=https://elsewhere.net/>a link is no contact</a><form "
                      "action=https://example.com/subscribe><input type=checkbox "
                      "name=news></form><script>var x = 1;</script>"},
                     {"funnel.css", "body{background:url(bg.webp)}"},
                     {"cover.jpg", jpegPlain}}
            << QStringList{};
        QTest::newRow("every way a page contacts a host, with the value that brought it")
            << Files{{"index.html",
                      "<head><link rel=preconnect href=https://fonts.gstatic.com>"
                      "<link rel=stylesheet href='https://fonts.googleapis.com/css2?family=X'>"
                      "<script src=//cdn.tracker.net/t.js async></script>"
                      "<style>@font-face{src:url(\"https://fonts.gstatic.com/a.woff2\")}</style>"
                      "</head><body><img srcset='a.webp 1x, https://img.cdn.org/b.webp 2x'>"
                      "<div style=\"background:url('https://bg.example.org/x.jpg')\"></div>"
                      "<form action=https://list.service.com/s><iframe "
                      "src=https://frames.example.net/></iframe></form><noscript><img "
                      "src=https://px.ads.com/p.gif></noscript>"},
                     {"thanks7.html", "<noscript><meta http-equiv=Refresh content='6; "
                                      "url=https://offer.example.net/x'></noscript>"},
                     {"download9.html", "<a href=https://www.youtube.com/watch?v=v "
                                        "data-embed=https://www.youtube-nocookie.com/embed/v><img "
                                        "src=https://i.ytimg.com/vi/v/hqdefault.jpg></a>"}}
            << QStringList{
                   "index.html: opens a connection to fonts.gstatic.com (<link rel=\"preconnect\">)"
                   " ~ from the <HEAD> code",
                   "loads a stylesheet from fonts.googleapis.com ~ <HEAD> code",
                   "runs a script from cdn.tracker.net (<script src>) ~ <HEAD> code ~ \"Need to "
                   "Add a Custom Code",
                   "loads a font from fonts.gstatic.com (<style>) ~ <HEAD> code",
                   "loads a picture from img.cdn.org (<img srcset>) ~ from the page's own "
                   "template",
                   "loads a picture from bg.example.org (<div style>)",
                   "sends the form to list.service.com (<form action>) ~ from the opt-in form "
                   "code; change it in Lead Magnet Page, Your Opt-In Form",
                   "shows a frame from frames.example.net (<iframe src>) ~ opt-in form code",
                   "loads a picture from px.ads.com (<img src>) ~ from the retargeting code ~ "
                   "Retargeting / Back Control (Pro)",
                   "thanks7.html: moves the visitor on to offer.example.net ~ from the redirect "
                   "address ~ After Subscription Action",
                   "download9.html: loads a video player, when the visitor presses play, from "
                   "www.youtube-nocookie.com ~ from the video ~ Thank You Page, YouTube Video",
                   "download9.html: loads a picture from i.ytimg.com (<img src>) ~ the video"};
        QTest::newRow("storage and cookies the scripts use, keys named when literal")
            << Files{{"index.html",
                      "<script>document.cookie = \"seen=1; path=/\";\n"
                      "sessionStorage[\"tf-utm\"] = location.search;</script><button "
                      "onclick=\"localStorage.setItem('tf-version', v); localStorage.last = "
                      "1\">x</button>"},
                     {"thanks1.html", "<script>var s = window.sessionStorage;</script>"}}
            << QStringList{"index.html: its script keeps data in localStorage named "
                           "\"tf-version\", \"last\" (kept after the visit) ~ from the page's own "
                           "template",
                           "sessionStorage named \"tf-utm\" (kept for the visit)",
                           "sets a cookie named \"seen\"",
                           "thanks1.html: its script keeps data in sessionStorage under a name "
                           "the script works out"};
        QTest::newRow("a consent box ticked in advance, a form over plain http")
            << Files{{"index.html",
                      "<form action='http://list.example.net/s'><input type=checkbox name=gdpr "
                      "checked><input type=checkbox name=news></form>"}}
            << QStringList{"sends the form to list.example.net ~ from the opt-in form code",
                           "the form sends what the visitor types unencrypted to "
                           "http://list.example.net/s ~ opt-in form code",
                           "the check box \"gdpr\" comes ticked ~ from the opt-in form code"};
        QTest::newRow("pictures with metadata, outside hosts in the stylesheet")
            << Files{{"a.jpg", jpegExif},
                     {"b.jpg", jpegPlain},
                     {"icon.png", pngText},
                     {"funnel.css", "@import 'https://css.cdn.net/x.css';"}}
            << QStringList{"funnel.css: loads a stylesheet from css.cdn.net (url() in the "
                           "stylesheet)",
                           "a.jpg: the picture still carries EXIF",
                           "icon.png: the picture still carries PNG tEXt"};
    }

    void findings() {
        QFETCH(Files, files);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            QFile file(dir.filePath(it.key()));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(it.value());
        }
        FunnelSettings s;
        s.txtFunnelUrl = QStringLiteral("https://example.com/f");
        s.headCode = QStringLiteral("<link href='https://fonts.googleapis.com/css2'><link "
                                    "href=https://fonts.gstatic.com><script "
                                    "src=//cdn.tracker.net/t.js></script>");
        s.txtoptinForm = QStringLiteral("<form action=http://list.example.net/s><input "
                                        "name=gdpr checked></form> https://list.service.com "
                                        "https://frames.example.net");
        s.retargetingCode = QStringLiteral("<img src=https://px.ads.com/p.gif>");
        s.optAction = 1;
        s.txtRedirectUrl = QStringLiteral("https://offer.example.net/x");
        const auto report = privacyReport(dir.path(), s);
        QVERIFY2(report.ok(), qPrintable(report.error()));
        const QStringList lines = report->lines();
        QCOMPARE(lines.size(), expected.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            qsizetype at = 0;
            for (const QString& piece : expected[i].split(QStringLiteral(" ~ "))) {
                at = lines[i].indexOf(piece, at);
                QVERIFY2(at >= 0, qPrintable(lines[i] + QStringLiteral("\nlacks: ") + piece));
            }
        }
    }
};

TANDREL_TEST(PrivacyReportTest)
#include "privacyreport_test.moc"
