#include "themegallery.h"

#include "controls.h"
#include "funnelfile.h"
#include "livepreview.h"
#include "preview.h"
#include "themes.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>
#include <QListWidget>
#include <QPainter>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <utility>

using namespace tandrel;

namespace {

// The newest change under a folder: an edited theme or template draws its picture again.
QString folderStamp(const QString& folder) {
    qint64 newest = 0;
    qint64 count = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        newest = std::max(newest, it.fileInfo().lastModified().toMSecsSinceEpoch());
        ++count;
    }
    return QStringLiteral("%1.%2").arg(newest).arg(count);
}

// The window sizes the pages are drawn at: each fills its part of the picture whole.
QSize viewFor(QSize part, int width) {
    return {width, width * part.height() / part.width()};
}

const QSize kDesktopView = viewFor(ThemeGallery::kDesktopPart, LivePreview::kDesktopWidth);
const QSize kPhoneView = viewFor(ThemeGallery::kPhonePart, LivePreview::kPhoneWidth);

// The page on a desktop and on a phone side by side, the theme's name across both: the
// gallery has no room for a line of text below.
QIcon labelled(const QPixmap& desktop, const QPixmap& phone, const QString& name,
               const QFont& font) {
    QPixmap shown(ThemeGallery::kThumbnail);
    shown.fill(QColor(0xd9, 0xdd, 0xe3));
    QPainter painter(&shown);
    const auto draw = [&painter](const QPixmap& picture, QRect part) {
        if (!picture.isNull())
            painter.drawPixmap(part,
                               picture.scaled(part.size(), Qt::KeepAspectRatioByExpanding,
                                              Qt::SmoothTransformation),
                               QRect(QPoint(), part.size()));
    };
    draw(desktop, QRect(QPoint(), ThemeGallery::kDesktopPart));
    const QRect phonePart(
        QPoint(ThemeGallery::kThumbnail.width() - ThemeGallery::kPhonePart.width(), 0),
        ThemeGallery::kPhonePart);
    draw(phone, phonePart);
    QFont small = font;
    small.setPixelSize(11);
    small.setBold(true);
    painter.setFont(small);
    const QRect band(0, shown.height() - 15, shown.width(), 15);
    painter.fillRect(band, QColor(20, 20, 24, 210));
    painter.setPen(Qt::white);
    painter.drawText(band, Qt::AlignCenter, name);
    painter.end();
    // Chosen, it is framed, not tinted: the picture must stay true.
    QIcon icon(shown);
    icon.addPixmap(shown, QIcon::Selected);
    return icon;
}

QListWidgetItem* itemOf(QListWidget* list, const QString& theme) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(Qt::UserRole).toString() == theme)
            return list->item(i);
    }
    return nullptr;
}

} // namespace

ThemeGallery::ThemeGallery(const AppPaths& paths, std::function<FunnelSettings()> currentSettings,
                           QWidget* parent)
    : QWidget(parent), m_paths(paths), m_currentSettings(std::move(currentSettings)),
      m_standIns(std::make_unique<QTemporaryDir>()) {
    setObjectName(QStringLiteral("themeGallery"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    lstThemes = named(new QListWidget(this), QStringLiteral("lstThemes"));
    lstThemes->setViewMode(QListView::IconMode);
    lstThemes->setFlow(QListView::LeftToRight);
    lstThemes->setWrapping(false);
    lstThemes->setMovement(QListView::Static);
    lstThemes->setIconSize(kThumbnail);
    lstThemes->setSpacing(2);
    lstThemes->setUniformItemSizes(true);
    lstThemes->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lstThemes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstThemes->setAccessibleName(QStringLiteral("Theme of the pages"));
    lstThemes->setToolTip(QStringLiteral("The design of the three pages, each shown with your "
                                         "funnel; the live preview follows your choice."));
    lstThemes->setFixedHeight(kThumbnail.height() + 6 + 2 * lstThemes->spacing() +
                              2 * lstThemes->frameWidth() +
                              style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    layout->addWidget(lstThemes);
    connect(lstThemes, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const QString name = item->data(Qt::UserRole).toString();
        if (name == m_theme || !(item->flags() & Qt::ItemIsEnabled))
            return;
        m_theme = name;
        emit themeChosen();
    });

    m_debounce = new QTimer(this);
    m_debounce->setSingleShot(true);
    // After the live preview's own rebuild, which matters more.
    m_debounce->setInterval(1200);
    connect(m_debounce, &QTimer::timeout, this, [this] {
        if (!isVisible())
            return;
        FunnelSettings s = m_currentSettings();
        s.theme = QString::fromLatin1(kClassicTheme);
        m_funnelKey = QString::fromLatin1(
            QCryptographicHash::hash(funnelToJson(s), QCryptographicHash::Sha1).toHex());
        // Only the pictures of the funnel as it is now are worth keeping.
        m_cache.removeIf([this](const auto& entry) { return !entry.key().contains(m_funnelKey); });
        m_pending.clear();
        listThemes();
        // A gallery of one has nothing to compare.
        if (lstThemes->count() < 2) {
            emit picturesDrawn();
            return;
        }
        // The chosen theme first: the user looks at it.
        m_pending = {m_theme};
        for (int i = 0; i < lstThemes->count(); ++i)
            m_pending << lstThemes->item(i)->data(Qt::UserRole).toString();
        drawNext();
    });
    listThemes();
}

ThemeGallery::~ThemeGallery() {
    delete m_view;
    delete m_phoneView;
}

void ThemeGallery::setTheme(const QString& name) {
    m_theme = name;
    if (!itemOf(lstThemes, name))
        listThemes();
    selectCurrent();
}

void ThemeGallery::scheduleRefresh() {
    m_debounce->start();
}

bool ThemeGallery::busy() const {
    return m_debounce->isActive() || !m_pending.isEmpty() || !m_drawing.isEmpty();
}

void ThemeGallery::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_debounce->start();
}

void ThemeGallery::listThemes() {
    const QList<ThemeEntry> themes = tandrel::listThemes(m_paths);
    lstThemes->clear();
    for (const ThemeEntry& theme : themes) {
        addItem(theme.name, theme.displayName, theme.error);
        if (!theme.error.isEmpty())
            lstThemes->item(lstThemes->count() - 1)->setFlags(Qt::NoItemFlags);
    }
    if (!itemOf(lstThemes, m_theme)) {
        // Saved with a theme this machine lacks: kept, and built in classic meanwhile.
        const auto theme = loadTheme(m_paths, m_theme);
        addItem(m_theme, m_theme, theme ? QString() : theme.error());
    }
    selectCurrent();
}

void ThemeGallery::addItem(const QString& name, const QString& shown, const QString& error) {
    auto* item = new QListWidgetItem(lstThemes);
    item->setData(Qt::UserRole, name);
    item->setData(Qt::AccessibleTextRole, shown);
    item->setToolTip(error.isEmpty() ? shown : shown + QStringLiteral(": ") + error);
    item->setSizeHint(kThumbnail + QSize(6, 6));
    const auto cached = m_cache.constFind(cacheKey(name));
    item->setIcon(cached != m_cache.constEnd() ? *cached
                                               : labelled({}, {}, shown, lstThemes->font()));
}

void ThemeGallery::selectCurrent() {
    QListWidgetItem* item = itemOf(lstThemes, m_theme);
    const QSignalBlocker quiet(lstThemes);
    lstThemes->setCurrentItem(item);
    if (item)
        lstThemes->scrollToItem(item);
}

QString ThemeGallery::cacheKey(const QString& theme) const {
    return theme + u'|' + m_funnelKey + u'|' +
           folderStamp(AppPaths::join(m_paths.themesDir(), theme)) + u'|' +
           folderStamp(m_paths.templatesDir());
}

void ThemeGallery::drawNext() {
    if (!m_drawing.isEmpty())
        return; // the page on its way draws the next when it is done
    while (!m_pending.isEmpty()) {
        const QString theme = m_pending.takeFirst();
        QListWidgetItem* item = itemOf(lstThemes, theme);
        if (!item || !(item->flags() & Qt::ItemIsEnabled))
            continue;
        if (const auto cached = m_cache.constFind(cacheKey(theme)); cached != m_cache.constEnd()) {
            item->setIcon(*cached);
            continue;
        }
        auto folder = std::make_unique<QTemporaryDir>();
        if (!folder->isValid())
            continue;
        FunnelSettings s = previewSettings(m_currentSettings(), *m_standIns, nullptr);
        s.theme = theme;
        const BuildOutcome outcome = buildPreview(s, m_paths, *folder);
        if (!outcome.built()) {
            item->setToolTip(outcome.message);
            continue;
        }
        if (!m_view) {
            prepareWebEngine();
            // Each view keeps its size: one resized between pages showed the previous page.
            m_view = makeView(QStringLiteral("webThemePicture"), kDesktopView);
            m_phoneView = makeView(QStringLiteral("webThemePhonePicture"), kPhoneView);
        }
        m_drawing = theme;
        m_folder = std::move(folder);
        m_loading = 2;
        m_loaded = true;
        const QUrl page =
            QUrl::fromLocalFile(AppPaths::join(outcome.outputFolder, QStringLiteral("index.html")));
        m_view->load(page);
        m_phoneView->load(page);
        return;
    }
    emit picturesDrawn();
}

QWebEngineView* ThemeGallery::makeView(const QString& name, QSize size) {
    // Shown, or the engine draws nothing, but beside the gallery, where it is clipped away.
    auto* view = new QWebEngineView(this);
    view->setObjectName(name);
    view->setFocusPolicy(Qt::NoFocus);
    view->setGeometry(QRect(QPoint(-size.width() - 16, 0), size));
    view->lower();
    view->show();
    connect(view, &QWebEngineView::loadFinished, this, &ThemeGallery::pageLoaded);
    return view;
}

void ThemeGallery::pageLoaded(bool ok) {
    if (m_loading <= 0)
        return; // not a page the gallery asked for
    m_loaded = m_loaded && ok;
    if (--m_loading > 0)
        return;
    if (!m_loaded) {
        pictureDone({}, {});
        return;
    }
    grabWhenPainted(0);
}

void ThemeGallery::grabWhenPainted(int tries) {
    // The view goes on showing the previous page for a while after the next has loaded, so
    // the page says when its pictures are in and it has drawn itself since; a page that
    // never says is taken after about three seconds as it is.
    static const QString painted = QStringLiteral(
        "(function () {"
        "  if (window.tfDrawn === undefined) {"
        "    window.tfDrawn = false;"
        "    var shown = Array.prototype.filter.call(document.images, function (i) {"
        "      return i.loading !== 'lazy'; });"
        "    Promise.all(shown.map(function (i) { return i.decode().catch(function () {}); }))"
        "      .then(function () { requestAnimationFrame(function () {"
        "        requestAnimationFrame(function () { window.tfDrawn = true; }); }); });"
        "  }"
        "  return window.tfDrawn;"
        "})()");
    QTimer::singleShot(tries == 0 ? 0 : 150, this, [this, tries] {
        m_view->page()->runJavaScript(painted, [this, tries](const QVariant& desktop) {
            m_phoneView->page()->runJavaScript(painted, [this, tries,
                                                         desktop](const QVariant& phone) {
                if (!(desktop.toBool() && phone.toBool()) && tries < 20) {
                    grabWhenPainted(tries + 1);
                    return;
                }
                // The drawn frame reaches the view a moment later.
                QTimer::singleShot(150, this,
                                   [this] { pictureDone(m_view->grab(), m_phoneView->grab()); });
            });
        });
    });
}

void ThemeGallery::pictureDone(const QPixmap& desktop, const QPixmap& phone) {
    const QString theme = std::exchange(m_drawing, {});
    if (QListWidgetItem* item = itemOf(lstThemes, theme); item && !desktop.isNull()) {
        const QIcon icon = labelled(desktop, phone, item->data(Qt::AccessibleTextRole).toString(),
                                    lstThemes->font());
        m_cache.insert(cacheKey(theme), icon);
        item->setIcon(icon);
    }
    drawNext();
}
