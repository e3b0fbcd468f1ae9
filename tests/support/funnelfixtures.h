#pragma once

#include "funnelsettings.h"
#include "modcopy.h"
#include "testfiles.h"
#include "testregistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
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
    QString makePicture(const QString& name,
                        const QString& folder = QStringLiteral("pictures")) const {
        const QString file = path(folder + QLatin1Char('/') + name);
        writePicture(file);
        return file;
    }
    static void writePicture(const QString& file) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QImage image(8, 6, QImage::Format_RGB32);
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

} // namespace tandrel::test
