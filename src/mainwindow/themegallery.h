#pragma once

#include "apppaths.h"
#include "funnelsettings.h"

#include <QHash>
#include <QIcon>
#include <QWidget>

#include <functional>
#include <memory>

class QListWidget;
class QTemporaryDir;
class QTimer;
class QWebEngineView;

// The themes side by side, each drawn from the funnel's own opt-in page built in it, as a
// desktop and a phone show it: one click chooses. The pictures are made one at a time while
// the gallery is on screen, so the window stays responsive, and kept until the funnel or the
// theme changes.
class ThemeGallery : public QWidget {
    Q_OBJECT
public:
    // The desktop's picture, a gap, the phone's.
    static constexpr QSize kDesktopPart{82, 60};
    static constexpr QSize kPhonePart{32, 60};
    static constexpr QSize kThumbnail{kDesktopPart.width() + 2 + kPhonePart.width(), 60};

    ThemeGallery(const tandrel::AppPaths& paths,
                 std::function<tandrel::FunnelSettings()> currentSettings,
                 QWidget* parent = nullptr);
    ~ThemeGallery() override;

    QString theme() const { return m_theme; }
    void setTheme(const QString& name);
    // The funnel changed: its pictures are drawn again once the typing pauses.
    void scheduleRefresh();
    // Pictures are still to be drawn.
    bool busy() const;

signals:
    void themeChosen();
    // Every theme's picture shows the funnel as it is now.
    void picturesDrawn();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void listThemes();
    void addItem(const QString& name, const QString& shown, const QString& error);
    void selectCurrent();
    void drawNext();
    QWebEngineView* makeView(const QString& name, QSize size);
    void pageLoaded(bool ok);
    void grabWhenPainted(int tries);
    void pictureDone(const QPixmap& desktop, const QPixmap& phone);
    QString cacheKey(const QString& theme) const;

    tandrel::AppPaths m_paths;
    std::function<tandrel::FunnelSettings()> m_currentSettings;
    QListWidget* lstThemes = nullptr;
    QTimer* m_debounce = nullptr;
    // Outside the gallery, never seen: the page as a desktop and as a phone show it.
    QWebEngineView* m_view = nullptr;
    QWebEngineView* m_phoneView = nullptr;
    QString m_theme = QStringLiteral("classic");
    QStringList m_pending;
    QString m_drawing; // the theme whose page is loading
    int m_loading = 0; // of its two views
    bool m_loaded = true;
    QString m_funnelKey;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QTemporaryDir> m_standIns;
    QHash<QString, QIcon> m_cache;
};
