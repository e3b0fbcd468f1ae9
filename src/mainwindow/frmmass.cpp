#include "frmmass.h"

#include "livepreview.h"
#include "publishpanel.h"
#include "sectionparts.h"
#include "twips.h"

#include "controls.h"
#include "desktop.h"
#include "funnelbuild.h"
#include "menuicons.h"
#include "pastecheck.h"
#include "theme.h"
#include "tools.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using namespace tandrel;
using namespace tandrel::parts;

namespace {

// The parts of the manual that explain the five sections.
constexpr const char* kSectionTopics[] = {"general-info", "lead-magnet", "after-subscription",
                                          "thank-you", "build"};

// Hands F1, wherever it is pressed, to the manual.
class HelpKey : public QObject {
public:
    HelpKey(std::function<void(const QWidget*)> open, QObject* parent)
        : QObject(parent), m_open(std::move(open)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType() ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
            return false;
        m_open(static_cast<QWidget*>(watched)->window());
        return true;
    }

private:
    std::function<void(const QWidget*)> m_open;
};

} // namespace

frmMass::frmMass(const AppPaths& paths, QWidget* parent)
    : QWidget(parent), m_paths(paths), m_recovery(paths) {
    setObjectName(QStringLiteral("frmMass"));
    setWindowFlags(Qt::Window);
    // At its smallest it still fits a 1280 x 720 screen; larger, the sections take the room.
    setMinimumSize(twipsToWholePixels(15285), twipsToWholePixels(8760) + kStatusLineHeight);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(windowStyleSheet(QStringLiteral("mainwindow")));

    // The sections keep the room they always had; the preview takes what is left,
    // and the user may drag it shut.
    m_split = named(new QSplitter(Qt::Horizontal, this), QStringLiteral("splitPreview"));
    m_editors = named(new QWidget(m_split), QStringLiteral("editors"));
    m_editors->setMinimumWidth(minimumWidth());
    m_editors->installEventFilter(this);
    m_livePreview = new LivePreview(
        m_paths, [this] { return settings(); }, m_split);
    m_livePreview->setMinimumWidth(240);
    m_split->setCollapsible(0, false);
    m_split->setStretchFactor(0, 1);
    m_split->setStretchFactor(1, 0);
    {
        const QSettings kept(userSettingsFile(), QSettings::IniFormat);
        m_previewWanted = kept.value(QStringLiteral("preview/shown"), true).toBool();
        m_previewWidth =
            std::max(240, kept.value(QStringLiteral("preview/width"), m_previewWidth).toInt());
        m_livePreview->setPhone(kept.value(QStringLiteral("preview/phone"), true).toBool());
    }
    // Dragged shut, it stays shut until asked for again.
    connect(m_split, &QSplitter::splitterMoved, this, [this] {
        const int width = m_split->sizes().value(1);
        m_previewWanted = width > 0;
        if (width > 0)
            m_previewWidth = width;
        cmdLivePreview->setChecked(m_previewWanted);
        keepPreviewState();
    });
    connect(m_livePreview, &LivePreview::modeChanged, this, &frmMass::keepPreviewState);
    QSize start = minimumSize();
    // Room for the preview from the start, where the screen has it.
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && m_previewWanted) {
        const int wide = start.width() + m_split->handleWidth() + m_previewWidth;
        if (wide + 16 <= screen->availableGeometry().width())
            start.setWidth(wide);
    }
    resize(start);

    buildHeader();
    buildMenu();
    buildStatusLine();
    frTab = {buildGeneralInfo(), buildLeadMagnet(), buildAfterSubscription(), buildThankYou(),
             buildBuildSection()};
    for (int i = 0; i < int(frTab.size()); ++i) {
        frTab[i]->setObjectName(indexed("frTab", i));
        frTab[i]->setProperty("role", QStringLiteral("section"));
        // On the frame's top edge, across from its title.
        auto* help = named(new ClickLabel(QStringLiteral("Help on this step"), frTab[i]),
                           indexed("lblHelp", i));
        help->setProperty("role", QStringLiteral("help"));
        help->setToolTip(QStringLiteral("This step in the user manual (F1)"));
        help->ensurePolished();
        help->adjustSize();
        const QString topic = QLatin1String(kSectionTopics[i]);
        connect(help, &ClickLabel::clicked, this, [this, topic] { showManual(topic); });
    }

    txtLastPath = named(new QLineEdit(this), QStringLiteral("txtLastPath"));
    txtLastPath->hide();
    for (int i = 0; i < int(lblSelected.size()); ++i) {
        lblSelected[i] = named(new TagLabel(QString(), this), indexed("lblSelected", i));
        lblSelected[i]->hide();
    }

    tmrReminder = named(new QTimer(this), QStringLiteral("tmrReminder"));
    tmrReminder->setInterval(800);
    connect(tmrReminder, &QTimer::timeout, this, &frmMass::tmrReminder_Timer);
    tmrRecovery = named(new QTimer(this), QStringLiteral("tmrRecovery"));
    tmrRecovery->setSingleShot(true);
    tmrRecovery->setInterval(2000);
    connect(tmrRecovery, &QTimer::timeout, this, &frmMass::writeRecovery);

    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, &frmMass::cmdSaveFunnel_Click);
    auto* saveAs = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), this);
    connect(saveAs, &QShortcut::activated, this, &frmMass::cmdSaveFunnelAs_Click);
    // F1 in any of the program's windows, modal ones too: the manual, at what that window
    // is for (a window-wide shortcut would be blocked by a modal dialog).
    qApp->installEventFilter(new HelpKey(
        [this](const QWidget* window) {
            const QString topic = window->property("helpTopic").toString();
            const int shown = shownSection();
            showManual(!topic.isEmpty() ? topic
                       : shown >= 0     ? QString::fromLatin1(kSectionTopics[shown])
                                        : QString());
        },
        this));
    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, &frmMass::cmdOpenFunnel_Click);
    // Alt+1 to Alt+5 reach the sections, as the menu shows them.
    for (int i = 0; i < int(frTab.size()); ++i) {
        auto* section = new QShortcut(QKeySequence(Qt::ALT | (Qt::Key_1 + i)), this);
        connect(section, &QShortcut::activated, this, [this, i] {
            ShowSection(i);
            if (QWidget* first = orderTabs())
                first->setFocus(Qt::ShortcutFocusReason);
        });
    }

    Form_Load();
    bindFields();
    setSettings(FunnelSettings{});
    markClean(true);
}

void frmMass::Form_Load() {
    if (!FileExists(m_paths.templatesDir(), true))
        QDir().mkpath(m_paths.templatesDir());

    placeParts();
    ShowSection(0);

    const int layout = std::max(0, cboCols->currentIndex());
    cboCols->clear();
    cboCols->addItems({QStringLiteral("1 Column"), QStringLiteral("2 Columns")});
    cboCols->setCurrentIndex(layout);

    cmdFileSelect[1]->setText(QStringLiteral("Select Cover From File"));

    lblAppName->setText(QStringLiteral("%1 PRO").arg(QLatin1String(kProductName)));
    updateTitle();
    tmrReminder->start();
}

void frmMass::buildHeader() {
    auto* header = named(new QFrame(this), QStringLiteral("header"));
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(30, 6, 12, 6);
    // Seven buttons beside the name, at the window's smallest width too.
    layout->setSpacing(4);
    auto* names = new QVBoxLayout;
    names->setSpacing(0);
    lblAppName = named(new QLabel(header), QStringLiteral("lblAppName"));
    names->addWidget(lblAppName);
    names->addWidget(named(new QLabel(QStringLiteral("Lead-generation funnels in minutes"), header),
                           QStringLiteral("lblTagline")));
    layout->addLayout(names);
    layout->addStretch();
    auto* openFunnel = named(new QPushButton(QStringLiteral("Open Funnel..."), header),
                             QStringLiteral("cmdOpenFunnel"));
    openFunnel->setToolTip(QStringLiteral("Open a saved funnel (Ctrl+O)"));
    auto* saveFunnel = named(new QPushButton(QStringLiteral("Save Funnel"), header),
                             QStringLiteral("cmdSaveFunnel"));
    saveFunnel->setToolTip(
        QStringLiteral("Save this funnel to its file, or to a new one the first time (Ctrl+S)"));
    auto* saveAs = named(new QPushButton(QStringLiteral("Save As..."), header),
                         QStringLiteral("cmdSaveFunnelAs"));
    saveAs->setToolTip(QStringLiteral("Save this funnel under another name (Ctrl+Shift+S)"));
    auto* myFunnels = named(new QPushButton(QStringLiteral("My Funnels..."), header),
                            QStringLiteral("cmdMyFunnels"));
    myFunnels->setToolTip(
        QStringLiteral("The funnels you saved or opened, with their live addresses"));
    cmdLivePreview = named(new QPushButton(QStringLiteral("Live Preview"), header),
                           QStringLiteral("cmdLivePreview"));
    cmdLivePreview->setCheckable(true);
    cmdLivePreview->setToolTip(QStringLiteral("The opt-in page beside the sections, as you type"));
    auto* spinner = named(new QPushButton(QStringLiteral("Article Spinner"), header),
                          QStringLiteral("cmdSpinner"));
    auto* help = named(new QPushButton(QStringLiteral("Help"), header), QStringLiteral("cmdHelp"));
    help->setToolTip(QStringLiteral("The user manual (F1)"));
    for (QPushButton* b :
         {openFunnel, saveFunnel, saveAs, myFunnels, cmdLivePreview, spinner, help})
        layout->addWidget(b);
    connect(myFunnels, &QPushButton::clicked, this, &frmMass::cmdMyFunnels_Click);
    connect(cmdLivePreview, &QPushButton::clicked, this, &frmMass::showLivePreview);
    connect(saveAs, &QPushButton::clicked, this, &frmMass::cmdSaveFunnelAs_Click);
    connect(help, &QPushButton::clicked, this, [this] { showManual(); });
    connect(openFunnel, &QPushButton::clicked, this, &frmMass::cmdOpenFunnel_Click);
    connect(saveFunnel, &QPushButton::clicked, this, &frmMass::cmdSaveFunnel_Click);
    connect(spinner, &QPushButton::clicked, this, &frmMass::cmdSpinner_Click);

    // A click area over the product name, without text of its own.
    lblBy = named(new ClickLabel(QString(), header), QStringLiteral("lblBy"));
    lblBy->setGeometry(0, 0, 330, 60);
    // The Help button leads there too; Tab goes to the buttons that do the work.
    lblBy->setFocusPolicy(Qt::NoFocus);
    lblBy->setToolTip(QStringLiteral("Visit the Tandrel web site"));
    lblBy->raise();
    connect(lblBy, &ClickLabel::clicked, this, &frmMass::lblBy_Click);
}

void frmMass::buildStatusLine() {
    auto* line = named(new QFrame(m_editors), QStringLiteral("statusLine"));
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(10, 2, 4, 2);
    lblStatus = named(text(QString(), line), QStringLiteral("lblStatus"));
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lblStatus, 1);
    cmdDismissStatus =
        named(new QPushButton(QStringLiteral("Dismiss"), line), QStringLiteral("cmdDismissStatus"));
    cmdDismissStatus->setAutoDefault(false);
    layout->addWidget(cmdDismissStatus, 0, Qt::AlignVCenter);
    connect(cmdDismissStatus, &QPushButton::clicked, this, [this] { showStatus(QString()); });
    showStatus(QString());
}

void frmMass::buildMenu() {
    static const char* const captions[] = {"General Info", " Lead Magnet Page",
                                           " After Subscription Action", "Thank You Page",
                                           "Build Funnel"};
    for (int i = 0; i < int(qMenu.size()); ++i) {
        auto* entry = named(new QFrame(m_editors), indexed("qMenu", i));
        entry->setProperty("role", QStringLiteral("menu"));
        entry->setCursor(Qt::PointingHandCursor);
        entry->setToolTip(QStringLiteral("Alt+%1").arg(i + 1));
        auto* layout = new QHBoxLayout(entry);
        layout->setContentsMargins(8, 2, 4, 2);
        layout->setSpacing(6);
        auto* icon = named(new ClickLabel(QString(), entry), indexed("imgMenu", i));
        icon->setFixedSize(22, 22);
        icon->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(icon);
        lblMenu[i] =
            named(new ClickLabel(QLatin1String(captions[i]), entry), indexed("lblMenu", i));
        lblMenu[i]->setWordWrap(true);
        layout->addWidget(lblMenu[i], 1);
        connect(lblMenu[i], &ClickLabel::clicked, this, [this, i] { lblMenu_Click(i); });
        connect(icon, &ClickLabel::clicked, this, [this, i] { qMenu_ExpandCollapse(i); });
        qMenu[i] = entry;
    }
}

void frmMass::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeParts();
}

bool frmMass::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editors && event->type() == QEvent::Resize)
        placeEditors();
    return QWidget::eventFilter(watched, event);
}

void frmMass::placeParts() {
    if (!lblStatus || !frTab[4])
        return;
    constexpr int headerHeight = 60;
    findChild<QWidget*>(QStringLiteral("header"))->setGeometry(0, 0, width(), headerHeight);
    m_split->setGeometry(0, headerHeight, width(), height() - headerHeight);
    placePreview(!m_previewPlaced);
    m_previewPlaced = true;
    placeEditors();
}

void frmMass::placePreview(bool force) {
    const int total = m_split->width() - m_split->handleWidth();
    const int room = std::min(m_previewWidth, total - m_editors->minimumWidth());
    // Where the window is too narrow it goes, and comes back once the window is wider.
    const bool show = m_previewWanted && room >= m_livePreview->minimumWidth();
    const bool showing = m_livePreview->isVisibleTo(this) && m_split->sizes().value(1) > 0;
    if (show == showing && !force)
        return;
    m_livePreview->setVisible(show);
    if (show)
        m_split->setSizes({total - room, room});
    cmdLivePreview->setChecked(show);
}

void frmMass::placeEditors() {
    if (!lblStatus || !frTab[4])
        return;
    const int left = twipsToWholePixels(450);
    const int inner = m_editors->width() - 2 * left;
    const int gap = 10;
    const int entries = int(qMenu.size());
    const int entryWidth = (inner - (entries - 1) * gap) / entries;
    for (int i = 0; i < entries; ++i)
        qMenu[i]->setGeometry(left + i * (entryWidth + gap), 6, entryWidth, 40);
    const int top = twipsToWholePixels(1710) - 60;
    const int statusTop = m_editors->height() - kStatusLineHeight - 6;
    for (int i = 0; i < int(frTab.size()); ++i) {
        frTab[i]->setGeometry(left, top, inner, statusTop - 8 - top);
        // On the frame's top edge, across from its title.
        auto* help = frTab[i]->findChild<QWidget*>(indexed("lblHelp", i));
        help->move(frTab[i]->width() - help->width() - 18, 3);
    }
    lblStatus->parentWidget()->setGeometry(left, statusTop, inner, kStatusLineHeight);
    lblWarningOptinForm->setGeometry(16, 32, inner - 34, 28);
    for (auto* panel : qLeadMagnet)
        panel->setFixedWidth(inner - 34);
    placeLeadPanels();
}

// ---- Sections and warnings ----

bool frmMass::isFunnelUrlMissing() const {
    FunnelSettings address;
    address.txtFunnelUrl = txtFunnelUrl->text();
    return address.isFunnelUrlMissing();
}

int frmMass::shownSection() const {
    for (int i = 0; i < int(frTab.size()); ++i) {
        if (frTab[i]->isVisibleTo(this))
            return i;
    }
    return -1;
}

void frmMass::ShowSection(int index) {
    if (index < 0 || index >= int(frTab.size()))
        return;
    for (int i = 0; i < int(qMenu.size()); ++i) {
        qMenu[i]->setProperty("selected", i == index);
        qMenu[i]->setProperty("inactive", i != index);
        qMenu[i]->style()->unpolish(qMenu[i]);
        qMenu[i]->style()->polish(qMenu[i]);
        for (auto* child : qMenu[i]->findChildren<QWidget*>()) {
            child->style()->unpolish(child);
            child->style()->polish(child);
        }
        auto* icon = qMenu[i]->findChild<ClickLabel*>(indexed("imgMenu", i));
        icon->setPixmap(
            menuIcon(i, theme::color(i == index ? "onAccent" : "heading")).pixmap(22, 22));
    }
    for (int i = 0; i < int(frTab.size()); ++i)
        frTab[i]->setVisible(i == index);
    // After the layouts have placed the section's controls.
    QTimer::singleShot(0, this, [this] { orderTabs(); });
    const bool missing = isFunnelUrlMissing();
    switch (index) {
    case 1:
        lblWarningOptinForm->setVisible(missing);
        txtoptinForm->setEnabled(!missing);
        Label50_Click(0);
        break;
    case 2:
        lblWarningAfterSubscription->setVisible(missing);
        break;
    case 4:
        lblWarningFinal->setVisible(missing);
        refreshChecklist();
        break;
    default:
        break;
    }
}

QWidget* frmMass::orderTabs() {
    const int shown = shownSection();
    if (shown < 0)
        return nullptr;
    QWidget* section = frTab[shown];
    section->ensurePolished();
    if (section->layout())
        section->layout()->activate();
    struct Place {
        QWidget* widget;
        QRect rect;
    };
    QList<Place> places;
    QWidget* help = nullptr; // on the frame's edge, but last: the fields come first
    for (QWidget* w : section->findChildren<QWidget*>()) {
        if (w->objectName().startsWith(QLatin1String("lblHelp")))
            help = w;
        else if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && w->isVisibleTo(section))
            places.append({w, QRect(w->mapTo(section, QPoint(0, 0)), w->size())});
    }
    std::stable_sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
        return a.rect.center().y() < b.rect.center().y();
    });
    // One row: controls whose middles lie within the first one's height.
    for (qsizetype start = 0; start < places.size();) {
        qsizetype end = start + 1;
        const QRect& first = places[start].rect;
        while (end < places.size() && places[end].rect.center().y() <= first.bottom() + 1)
            ++end;
        std::stable_sort(places.begin() + start, places.begin() + end,
                         [](const Place& a, const Place& b) { return a.rect.x() < b.rect.x(); });
        start = end;
    }
    QWidget* previous = lblMenu[4];
    for (const Place& place : places) {
        QWidget::setTabOrder(previous, place.widget);
        previous = place.widget;
    }
    if (help)
        QWidget::setTabOrder(previous, help);
    return places.isEmpty() ? nullptr : places.first().widget;
}

void frmMass::lblMenu_Click(int index) {
    ShowSection(index);
}
void frmMass::qMenu_ExpandCollapse(int index) {
    ShowSection(index);
}

void frmMass::Label50_Click(int index) {
    if (index != 0 && index != 1)
        return;
    qLeadMagnet[1 - index]->setExpanded(false);
    qLeadMagnet[index]->setExpanded(true);
    placeLeadPanels();
    // Tab goes through the opened panel's controls now.
    orderTabs();
}

void frmMass::placeLeadPanels() {
    if (!qLeadMagnet[1])
        return;
    // Now, not on the next event: the placing below reads the new heights.
    const auto fit = [](CollapsiblePanel* panel) {
        if (QLayout* inner = panel->body()->layout())
            inner->activate();
        panel->layout()->activate();
        panel->adjustSize();
    };
    for (auto* panel : qLeadMagnet)
        fit(panel);
    // The panels start under the warning's place, whether it shows or not, so they never jump.
    qLeadMagnet[0]->move(qLeadMagnet[0]->x(),
                         lblWarningOptinForm->geometry().bottom() + 1 + twipsToWholePixels(90));
    qLeadMagnet[1]->move(qLeadMagnet[1]->x(),
                         qLeadMagnet[0]->y() + qLeadMagnet[0]->height() + twipsToWholePixels(20));
    // The form box takes the room the section has left, so a long form shows whole.
    if (qLeadMagnet[1]->isExpanded()) {
        const int spare = frTab[1]->height() - 16 - qLeadMagnet[1]->geometry().bottom();
        txtoptinForm->setFixedHeight(std::max(96, txtoptinForm->maximumHeight() + spare));
        fit(qLeadMagnet[1]);
    }
}

QWidget* frmMass::withNote(QLineEdit* field, QString (*reading)(const QString&), bool whenLeft) {
    auto* holder = new QWidget(field->parentWidget());
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    field->setParent(holder);
    layout->addWidget(field);
    auto* note =
        named(text(QString(), holder, "note"), QStringLiteral("lblNote_") + field->objectName());
    note->hide();
    layout->addWidget(note);
    if (!reading)
        reading = htmlReadingNote;
    connect(field, &QLineEdit::textChanged, this, [this, field, note, reading, whenLeft] {
        if (!whenLeft || !note->text().isEmpty())
            showNote(note, reading(field->text()));
    });
    if (whenLeft)
        connect(field, &QLineEdit::editingFinished, this,
                [this, field, note, reading] { showNote(note, reading(field->text())); });
    return holder;
}

QWidget* frmMass::addressField(QLineEdit* field) {
    // Before the note looks at it.
    connect(field, &QLineEdit::editingFinished, field, [field] {
        if (const QString mended = mendedAddress(field->text()); mended != field->text())
            field->setText(mended);
    });
    field->setPlaceholderText(QStringLiteral("https://"));
    return withNote(field, webAddressNote, true);
}

void frmMass::showNote(QLabel* note, const QString& text) {
    if (note->text() == text)
        return;
    note->setText(text);
    note->setVisible(!text.isEmpty());
    placeLeadPanels();
}

void frmMass::tmrReminder_Timer() {
    const bool optinShown = qMenu[1]->property("selected").toBool();
    bool missing[4] = {isFunnelUrlMissing(), optinShown && txtoptinForm->toPlainText().isEmpty(),
                       false, false};
    // The cover and the video as the build judges them.
    for (const MissingInfo& item : funnelRequirements(settings())) {
        if (item.need == MissingInfo::Need::CoverImage)
            missing[2] = item.missing;
        else if (item.need == MissingInfo::Need::Video)
            missing[3] = item.missing;
    }
    for (int i = 0; i < int(shreminder.size()); ++i) {
        if (!missing[i]) {
            shreminder[i]->hide();
            m_blinks[i] = 0;
            continue;
        }
        // A while of blinking catches the eye; after that it stays, so it does not nag.
        const bool blinking = ++m_blinks[i] <= kReminderBlinks;
        shreminder[i]->setVisible(!blinking ||
                                  !shreminder[i]->isVisibleTo(shreminder[i]->parentWidget()));
    }
}

void frmMass::showStatus(const QString& message, bool warning) {
    auto* line = lblStatus->parentWidget();
    // A warning is not pushed away by news of less weight; only Dismiss ends it.
    if (!message.isEmpty() && !warning && line->property("warning").toBool() &&
        !lblStatus->text().isEmpty())
        return;
    lblStatus->setText(message);
    lblStatus->setToolTip(message);
    line->setProperty("warning", warning);
    line->setProperty("empty", message.isEmpty());
    for (QWidget* w : {line, static_cast<QWidget*>(lblStatus)}) {
        w->style()->unpolish(w);
        w->style()->polish(w);
    }
    // Selectable text takes its colour from the palette, not the style sheet.
    QPalette colours = lblStatus->palette();
    colours.setColor(QPalette::Text, theme::color(warning ? "warningText" : "noticeText"));
    lblStatus->setPalette(colours);
    cmdDismissStatus->setVisible(!message.isEmpty());
    if (!warning && !message.isEmpty())
        QTimer::singleShot(12000, lblStatus, [this, message] {
            if (lblStatus->text() == message &&
                !lblStatus->parentWidget()->property("warning").toBool())
                showStatus(QString());
        });
}

// ---- Live preview ----

void frmMass::showLivePreview(bool shown) {
    if (!shown && m_livePreview->isVisibleTo(this) && m_split->sizes().value(1) > 0)
        m_previewWidth = m_split->sizes().value(1);
    m_previewWanted = shown;
    placePreview(false);
    if (shown && !cmdLivePreview->isChecked())
        showStatus(QStringLiteral("The live preview needs a wider window: it shows beside the "
                                  "sections, which keep their room."));
    keepPreviewState();
}

void frmMass::keepPreviewState() {
    QSettings kept(userSettingsFile(), QSettings::IniFormat);
    kept.setValue(QStringLiteral("preview/shown"), m_previewWanted);
    kept.setValue(QStringLiteral("preview/width"), m_previewWidth);
    kept.setValue(QStringLiteral("preview/phone"), m_livePreview->isPhone());
}

QString frmMass::userSettingsFile() const {
    return m_paths.join(QStringLiteral("tandrel.ini"));
}
