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
#include <QWebEngineView>

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

// The theme's name on its picture: the gallery has no room for a line of text below.
QIcon labelled(const QPixmap& picture, const QString& name, const QFont& font) {
    QPixmap shown(ThemeGallery::kThumbnail);
    shown.fill(QColor(0xd9, 0xdd, 0xe3));
    QPainter painter(&shown);
    if (!picture.isNull())
        painter.drawPixmap(0, 0, picture);
    QFont small = font;
    small.setPixelSize(11);
    small.setBold(true);
    painter.setFont(small);
    const QRect band(0, shown.height() - 16, shown.width(), 16);
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
                                               : labelled(QPixmap(), shown, lstThemes->font()));
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
            // Shown, or the engine draws nothing, but beside the gallery, where it is clipped away.
            m_view = new QWebEngineView(this);
            m_view->setObjectName(QStringLiteral("webThemePicture"));
            m_view->setFocusPolicy(Qt::NoFocus);
            const QSize page(LivePreview::kDesktopWidth, LivePreview::kDesktopWidth * 5 / 8);
            m_view->setGeometry(QRect(QPoint(-page.width() - 16, 0), page));
            m_view->lower();
            m_view->show();
            connect(m_view, &QWebEngineView::loadFinished, this, &ThemeGallery::pageLoaded);
        }
        m_drawing = theme;
        m_folder = std::move(folder);
        m_view->load(QUrl::fromLocalFile(
            AppPaths::join(outcome.outputFolder, QStringLiteral("index.html"))));
        return;
    }
    emit picturesDrawn();
}

void ThemeGallery::pageLoaded(bool ok) {
    // Painted a moment after it has loaded.
    QTimer::singleShot(ok ? 250 : 0, this, [this, ok] {
        const QString theme = m_drawing;
        m_drawing.clear();
        if (QListWidgetItem* item = itemOf(lstThemes, theme); item && ok) {
            const QPixmap shot = m_view->grab().scaled(kThumbnail, Qt::KeepAspectRatioByExpanding,
                                                       Qt::SmoothTransformation);
            const QIcon icon =
                labelled(shot, item->data(Qt::AccessibleTextRole).toString(), lstThemes->font());
            m_cache.insert(cacheKey(theme), icon);
            item->setIcon(icon);
        }
        drawNext();
    });
}
