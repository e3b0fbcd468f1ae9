#include "preview.h"

#include "modcopy.h"
#include "textfiles.h"
#include "themes.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

namespace tandrel {

namespace {

// Every form of the page sends to the local page instead of where it was set to send.
QString sendFormsTo(const QString& html, const QString& page) {
    // A tag left open runs to the end: a pattern that failed there would be tried again
    // from every later "<form", in square time.
    static const QRegularExpression formTag(QStringLiteral("<form\\b[^>]*(?:>|$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression sendingAttributes(
        QStringLiteral("\\s(action|method|target|onsubmit)\\s*=\\s*(\"[^\"]*\"|'[^']*'|[^\\s>]*)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString local = QStringLiteral("<form action=\"%1\" method=\"get\"").arg(page);
    QString out;
    qsizetype last = 0;
    for (auto it = formTag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (!m.captured().endsWith(u'>'))
            break;
        QString tag = m.captured();
        tag.remove(sendingAttributes);
        out += html.mid(last, m.capturedStart() - last) + local + tag.mid(5);
        last = m.capturedEnd();
    }
    return out + html.mid(last);
}

// In the preview copy only: signing up leads to the local thank-you page instead of
// the autoresponder, and that page on to the local download page.
Status linkPreviewPages(const QString& folder, const FunnelSettings& s) {
    const auto rewrite = [&folder](const QString& name, const std::function<QString(QString)>& f) {
        const QString path = AppPaths::join(folder, name);
        const auto page =
            readFileBytes(path, qint64(64) * 1024 * 1024, QStringLiteral("The preview page"));
        if (!page)
            return Status::failure(page.error());
        return writeFileAtomically(path, f(QString::fromUtf8(page.value())).toUtf8());
    };
    Status optIn = rewrite(QStringLiteral("index.html"), [&s](const QString& html) {
        return sendFormsTo(html, s.thankYouPageFile);
    });
    if (!optIn || s.optAction != 0)
        return optIn;
    return rewrite(s.thankYouPageFile, [&s](QString html) {
        return html.replace(s.txtDownloadUrl, s.downloadPageFile);
    });
}

} // namespace

BuildOutcome buildPreview(const FunnelSettings& settings, const AppPaths& paths,
                          const QTemporaryDir& folder) {
    const AppPaths preview(folder.path());
    // Installed, the snippets are the install's, not the user's folder.
    const std::pair<QString, QString> parts[] = {{paths.templatesDir(), preview.templatesDir()},
                                                 {paths.snippetsDir(), preview.snippetsDir()}};
    for (const auto& [from, to] : parts) {
        if (const Status copied = modCopy::CopyFolder(from, to); !copied)
            return BuildOutcome::failure(copied.error());
    }
    // Only the funnel's own theme; a theme that cannot be copied is the build's to report.
    const QString theme = AppPaths::join(paths.themesDir(), settings.theme);
    if (isThemeName(settings.theme) && QFileInfo(theme).isDir())
        static_cast<void>(
            modCopy::CopyFolder(theme, AppPaths::join(preview.themesDir(), settings.theme)));
    // The app's pictures made before serve the preview too: its entries are written whole.
    BuildOutcome outcome = buildFunnel(settings, preview, paths.pictureCacheDir());
    if (!outcome.built())
        return outcome;
    if (const Status linked = linkPreviewPages(outcome.outputFolder, settings); !linked)
        return BuildOutcome::failure(linked.error());
    return outcome;
}

} // namespace tandrel
