#include "livepreview.h"

#include "controls.h"
#include "desktop.h"
#include "funnelbuild.h"
#include "preview.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

#include <algorithm>

using namespace tandrel;

namespace {

const QString kSampleForm =
    QStringLiteral("<form action=\"https://example.com/subscribe\" method=\"post\">"
                   "<input type=\"text\" name=\"name\" placeholder=\"Your first name\">"
                   "<input type=\"email\" name=\"email\" placeholder=\"Your best email\">"
                   "<input type=\"submit\" value=\"Send Me the Guide\"></form>");

// A grey picture where the cover or background is not chosen yet.
QString standInPicture(const QTemporaryDir& folder) {
    QString path = folder.filePath(QStringLiteral("stand-in.png"));
    if (QFileInfo::exists(path))
        return path;
    QImage image(400, 450, QImage::Format_RGB32);
    image.fill(QColor(0xd9, 0xdd, 0xe3));
    QPainter painter(&image);
    painter.setPen(QColor(0x5a, 0x60, 0x6b));
    QFont font = painter.font();
    font.setPixelSize(34);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Your cover\nhere"));
    painter.end();
    return image.save(path) ? path : QString();
}

// Whatever the build still lacks gets a stand-in, so the page shows from the first
// keystroke; `named` says which, for the note under the switch.
FunnelSettings withStandIns(FunnelSettings s, const QString& picture, QStringList& named) {
    if (s.isFunnelUrlMissing()) {
        s.txtFunnelUrl = QStringLiteral("https://example.com/");
        named << QStringLiteral("the funnel address");
    }
    if (s.thankYouPageFile.isEmpty() || s.downloadPageFile.isEmpty())
        s.deriveFunnelLinks(1, 2);
    if (s.txtoptinForm.trimmed().isEmpty()) {
        s.txtoptinForm = kSampleForm;
        named << QStringLiteral("the opt-in form");
    }
    // Only the thank-you page shows it.
    if (s.txtFunnel_YouTubeID.trimmed().isEmpty())
        s.txtFunnel_YouTubeID = QStringLiteral("aaaaaaaaaaa");
    for (int i : {int(BackgroundImage), int(CoverImage)}) {
        if (s.isFileRequired(i) && s.lblSelectedFile[i].tag.isEmpty() && !picture.isEmpty()) {
            s.lblSelectedFile[i] = {picture, QStringLiteral("stand-in.png")};
            named << (i == CoverImage ? QStringLiteral("the cover")
                                      : QStringLiteral("the background picture"));
        }
    }
    return s;
}

// The preview's own pages open inside it; a link elsewhere goes to the browser.
class PreviewPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (!isMainFrame || url.isLocalFile() || type != NavigationTypeLinkClicked)
            return true;
        desktop().openUrl(url);
        return false;
    }
};

} // namespace

FunnelSettings previewSettings(const FunnelSettings& settings, const QTemporaryDir& standIns,
                               QStringList* named) {
    QStringList names;
    FunnelSettings s = withStandIns(settings, standInPicture(standIns), names);
    if (named)
        *named = names;
    return s;
}

void prepareWebEngine() {
    // Chromium refuses its sandbox to root; without a display it draws in software.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--disable-gpu"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + " --disable-gpu");
    }
}

LivePreview::LivePreview(const AppPaths& paths, std::function<FunnelSettings()> currentSettings,
                         QWidget* parent)
    : QWidget(parent), m_paths(paths), m_currentSettings(std::move(currentSettings)) {
    setObjectName(QStringLiteral("livePreview"));
    setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(6);
    // The header's button names the pane; the switch alone fits its narrowest.
    auto* bar = new QHBoxLayout;
    bar->setSpacing(0);
    bar->addStretch();
    optPhone = named(new QPushButton(QStringLiteral("Phone"), this), QStringLiteral("optPhone"));
    optPhone->setToolTip(QStringLiteral("The opt-in page on a phone, 360 pixels wide"));
    optDesktop =
        named(new QPushButton(QStringLiteral("Desktop"), this), QStringLiteral("optDesktop"));
    optDesktop->setToolTip(
        QStringLiteral("The opt-in page on a desktop, 1280 pixels wide, scaled to fit"));
    for (QPushButton* b : {optPhone, optDesktop}) {
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setAutoDefault(false);
        bar->addWidget(b);
        connect(b, &QPushButton::toggled, this, [this](bool on) {
            if (!on)
                return;
            fitView();
            emit modeChanged();
        });
    }
    // The page's script shows the version the address names, without keeping it.
    cboPreviewVersion = named(new QComboBox(this), QStringLiteral("cboPreviewVersion"));
    cboPreviewVersion->setToolTip(QStringLiteral("The version of the split test to show"));
    cboPreviewVersion->hide();
    bar->addSpacing(8);
    bar->addWidget(cboPreviewVersion);
    connect(cboPreviewVersion, &QComboBox::activated, this, [this] {
        if (!m_view || m_shownPage.isEmpty())
            return;
        // A new fragment alone would not run the page's script again.
        m_keptScroll = m_view->page()->scrollPosition() / m_view->zoomFactor();
        m_view->page()->runJavaScript(
            QStringLiteral("location.hash='%1';location.reload()").arg(pageAddress().fragment()));
    });
    bar->addStretch();
    optPhone->setChecked(true);
    layout->addLayout(bar);
    lblPreviewNote = named(new QLabel(this), QStringLiteral("lblPreviewNote"));
    lblPreviewNote->setWordWrap(true);
    lblPreviewNote->setTextFormat(Qt::PlainText);
    lblPreviewNote->setProperty("role", QStringLiteral("note"));
    layout->addWidget(lblPreviewNote);
    m_stage = named(new QWidget(this), QStringLiteral("previewStage"));
    m_stage->setAttribute(Qt::WA_StyledBackground);
    m_stage->installEventFilter(this);
    layout->addWidget(m_stage, 1);

    m_debounce = new QTimer(this);
    m_debounce->setSingleShot(true);
    m_debounce->setInterval(400);
    connect(m_debounce, &QTimer::timeout, this, &LivePreview::build);
}

LivePreview::~LivePreview() {
    // The page goes before its view; both before the folder it shows.
    delete m_view;
}

bool LivePreview::isPhone() const {
    return optPhone->isChecked();
}

void LivePreview::setPhone(bool phone) {
    (phone ? optPhone : optDesktop)->setChecked(true);
}

bool LivePreview::onScreen() const {
    return isVisible() && width() > 0 && m_stage->width() > 0;
}

void LivePreview::scheduleBuild() {
    m_stale = true;
    if (onScreen())
        m_debounce->start();
}

void LivePreview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A moment after the window is up: the engine takes a while to start.
    if (m_stale)
        m_debounce->start();
}

void LivePreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Opened again by the splitter.
    if (m_stale && onScreen() && !m_debounce->isActive())
        m_debounce->start();
    fitView();
}

bool LivePreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_stage && event->type() == QEvent::Resize)
        fitView();
    return QWidget::eventFilter(watched, event);
}

void LivePreview::createView() {
    prepareWebEngine();
    m_view = named(new QWebEngineView(m_stage), QStringLiteral("webPreview"));
    m_view->setPage(new PreviewPage(m_view));
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    connect(m_view, &QWebEngineView::loadFinished, this, &LivePreview::pageLoaded);
    m_view->show();
    fitView();
}

void LivePreview::fitView() {
    if (!m_view)
        return;
    const QSize room = m_stage->size();
    // Chromium zooms between a quarter and five times.
    double zoom = 1.0;
    int width = room.width();
    if (isPhone()) {
        zoom = std::clamp(double(room.width()) / kPhoneWidth, 0.25, 1.0);
        width = std::min(room.width(), int(kPhoneWidth * zoom));
    } else {
        zoom = std::clamp(double(room.width()) / kDesktopWidth, 0.25, 5.0);
    }
    m_view->setGeometry((room.width() - width) / 2, 0, width, room.height());
    m_view->setZoomFactor(zoom);
}

void LivePreview::build() {
    if (!onScreen()) {
        m_stale = true;
        return;
    }
    m_stale = false;
    if (!m_view)
        createView();
    auto folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid()) {
        showNote(QStringLiteral("Not updated: no temporary folder could be made (%1).")
                     .arg(folder->errorString()),
                 true);
        return;
    }
    QStringList standIns;
    const FunnelSettings s = previewSettings(m_currentSettings(), m_standIns, &standIns);
    const BuildOutcome outcome = buildPreview(s, m_paths, *folder);
    if (!outcome.built()) {
        // The last good page stays.
        showNote(QStringLiteral("Not updated: %1").arg(outcome.message.section(u'\n', 0, 0)), true);
        return;
    }
    m_standInNote =
        standIns.isEmpty()
            ? QString()
            : QStringLiteral("With stand-ins for %1.").arg(standIns.join(QStringLiteral(", ")));
    const int versions = s.splitTest.count();
    const int chosen = std::min(cboPreviewVersion->currentIndex(), versions - 1);
    cboPreviewVersion->clear();
    for (int v = 0; v < versions; ++v)
        cboPreviewVersion->addItem(QStringLiteral("Version ") + SplitTest::name(v));
    cboPreviewVersion->setCurrentIndex(std::max(chosen, 0));
    cboPreviewVersion->setVisible(versions > 1);
    m_keptScroll = m_view->page()->scrollPosition() / m_view->zoomFactor();
    m_shownPage = AppPaths::join(outcome.outputFolder, QStringLiteral("index.html"));
    m_view->load(pageAddress());
    m_shown = std::move(folder);
}

QUrl LivePreview::pageAddress() const {
    QUrl url = QUrl::fromLocalFile(m_shownPage);
    if (cboPreviewVersion->isVisibleTo(this))
        url.setFragment(QStringLiteral("version-") + cboPreviewVersion->currentText().right(1));
    return url;
}

void LivePreview::pageLoaded(bool ok) {
    if (!ok) {
        showNote(QStringLiteral("Not updated: the page did not load."), true);
        return;
    }
    // A new page starts at its top and at the engine's own zoom.
    fitView();
    m_view->page()->runJavaScript(
        QStringLiteral("window.scrollTo(%1, %2)").arg(m_keptScroll.x()).arg(m_keptScroll.y()));
    showNote(m_standInNote, false);
    emit pageShown();
}

void LivePreview::showNote(const QString& text, bool warning) {
    lblPreviewNote->setText(text);
    lblPreviewNote->setToolTip(text);
    lblPreviewNote->setVisible(!text.isEmpty());
    lblPreviewNote->setProperty("warning", warning);
    lblPreviewNote->style()->unpolish(lblPreviewNote);
    lblPreviewNote->style()->polish(lblPreviewNote);
}
