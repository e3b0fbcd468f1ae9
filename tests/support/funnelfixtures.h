#pragma once

#include "funnelsettings.h"
#include "modcopy.h"
#include "testfiles.h"
#include "testregistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace tandrel::test {

// A throwaway application folder holding a copy of the small fixture template set.
struct FixtureApp {
    QTemporaryDir dir;
    FixtureApp() {
        const auto copied =
            modCopy::CopyFolder(testDataDir() + QStringLiteral("/funnel/app"), dir.path());
        if (!copied)
            qFatal("fixture copy failed: %s", qPrintable(copied.error()));
    }
    QString path(const QString& relative = QString()) const {
        return relative.isEmpty() ? dir.path() : dir.filePath(relative);
    }
    QString output(const QString& name = QString()) const {
        return path(QStringLiteral("output/templates") +
                    (name.isEmpty() ? QString() : QLatin1Char('/') + name));
    }
    // A real picture, its colour drawn from its name, so copies can be told apart.
    QString makePicture(const QString& name, const QString& folder = QStringLiteral("pictures"),
                        QSize size = QSize(8, 6)) const {
        const QString file = path(folder + QLatin1Char('/') + name);
        writePicture(file, size);
        return file;
    }
    static void writePicture(const QString& file, QSize size = QSize(8, 6)) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor::fromRgb(qHash(QFileInfo(file).fileName()) & 0xFFFFFF));
        if (!image.save(file, "PNG"))
            qFatal("cannot write picture %s", qPrintable(file));
    }
};

// Defaults plus the four values a build needs, with known page numbers.
inline FunnelSettings
completeSettings(const QString& coverPath = QStringLiteral("/pictures/cover.jpg")) {
    FunnelSettings s;
    s.txtFunnelUrl = QStringLiteral("http://example.com/f");
    s.deriveFunnelLinks(57, 12);
    s.txtoptinForm = QStringLiteral("<form>F</form>");
    s.txtFunnel_YouTubeID = QStringLiteral("vid123");
    s.lblSelectedFile[CoverImage] = {coverPath, QStringLiteral("cover.jpg")};
    return s;
}

// Every value away from its default, so a value that is dropped or mixed up shows.
inline FunnelSettings everyValueChanged() {
    FunnelSettings s;
    s.txtFunnelUrl = QStringLiteral("https://example.com/funnel/");
    s.optBackground = 1;
    s.lblColorPicker = {"1,2,3", "4,5,6", "7,8,9", "10,11,12", "13,14,15", "255,0,128"};
    s.lblSelectedFile = {ChosenFile{"/pics/bg.png", "bg.png"},
                         ChosenFile{"/pics/my cover.jpg", "my cover.jpg"},
                         ChosenFile{"/files/guide.pdf", "guide.pdf"}};
    s.txtFooterNew = QStringLiteral("Föoter ´ €");
    s.language = QStringLiteral("ar");
    s.theme = QStringLiteral("dark");
    s.txtFunnel_LeadLine1 = QStringLiteral("Head line");
    s.txtFunnel_Instructions = QStringLiteral("Do it");
    s.txtFunnel_Privacy = QStringLiteral("  private  ");
    s.cboCols = 0;
    s.chkProgressBar = 0;
    s.txtoptinForm = QStringLiteral("<form action=\"x\"></form>");
    s.tidyOptinForm = false;
    s.campaignFields = QJsonObject{{"utm_campaign", "fields[campaign]"}};
    s.headCode = QStringLiteral("<meta>");
    s.retargetingCode = QStringLiteral("<script></script>");
    s.backControl = true;
    s.backUrl = QStringLiteral("http://back.example/");
    s.optAction = 1;
    s.txtRedirectUrl = QStringLiteral("http://offer.example/");
    s.txtBeforeRedirectMsg1 = QStringLiteral("one");
    s.txtBeforeRedirectMsg2 = QString();
    s.txtThanks = QStringLiteral("thanks");
    s.txtFunnel_YouTubeID = QStringLiteral("dQw4w9WgXcQ");
    s.chkAutoplay = 0;
    s.txtDownloadText = QStringLiteral("Get");
    s.txtFileDownloadUrl = QStringLiteral("http://files.example/a.zip");
    s.publishTo = QStringLiteral("sftp://ann@host/f");
    s.coverDesign = QJsonObject{{"picture", "bauhaus.jpg"}};
    s.splitTest = {
        QStringLiteral("Go"),
        {PageVersion{QStringLiteral("B line"), {}, QString()},
         PageVersion{QString(), ChosenFile{"/pics/c.png", "c.png"}, QStringLiteral("Now")}},
        QStringLiteral("variant"),
        QStringLiteral("tags")};
    s.deriveFunnelLinks(1, 100);
    return s;
}

} // namespace tandrel::test
