#pragma once

#include "apppaths.h"
#include "funnelsettings.h"

#include <QElapsedTimer>
#include <QPointF>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QWebEngineView;

// The settings as the preview builds them: stand-ins (pictures made in standIns) for
// whatever the funnel still lacks, which named lists.
tandrel::FunnelSettings previewSettings(const tandrel::FunnelSettings& settings,
                                        const QTemporaryDir& standIns, QStringList* named);
// Before the first web view: the engine's settings for this machine.
void prepareWebEngine();

// The opt-in page as it will look, beside the editors: rebuilt a moment after the
// last edit, as on a phone (360 CSS pixels wide) or a desktop (1280, scaled to fit).
// The web engine starts only when the pane is first on screen.
class LivePreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPhoneWidth = 360;
    static constexpr int kDesktopWidth = 1280;

    LivePreview(const tandrel::AppPaths& paths,
                std::function<tandrel::FunnelSettings()> currentSettings,
                QWidget* parent = nullptr);
    ~LivePreview() override;

    // The values changed: a rebuild follows once the typing pauses.
    void scheduleBuild();
    bool isPhone() const;
    void setPhone(bool phone);

signals:
    // A new build is on screen.
    void pageShown();
    // The user switched between phone and desktop.
    void modeChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool onScreen() const;
    void createView();
    void build();
    void fitView();
    void pageLoaded(bool ok);
    void showNote(const QString& text, bool warning);
    QUrl pageAddress() const;

    tandrel::AppPaths m_paths;
    std::function<tandrel::FunnelSettings()> m_currentSettings;
    QPushButton* optPhone = nullptr;
    QPushButton* optDesktop = nullptr;
    QComboBox* cboPreviewVersion = nullptr; // a split test's version to show
    QLabel* lblPreviewNote = nullptr;
    QWidget* m_stage = nullptr;
    QWebEngineView* m_view = nullptr;
    QTimer* m_debounce = nullptr;
    bool m_stale = true;
    // The folder of the page on screen: a failed build leaves it there.
    std::unique_ptr<QTemporaryDir> m_shown;
    QString m_shownPage;
    // Pictures standing in for those not chosen yet.
    QTemporaryDir m_standIns;
    QPointF m_keptScroll;
    QString m_standInNote;
    QElapsedTimer m_sinceCreated;
};
