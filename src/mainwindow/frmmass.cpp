#include "frmmass.h"

#include "publishpanel.h"
#include "sectionparts.h"
#include "twips.h"

#include "controls.h"
#include "desktop.h"
#include "menuicons.h"
#include "pastecheck.h"
#include "tools.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using namespace tandrel;
using namespace tandrel::parts;

frmMass::frmMass(const AppPaths& paths, QWidget* parent) : QWidget(parent), m_paths(paths) {
    setObjectName(QStringLiteral("frmMass"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(twipsToWholePixels(15285), twipsToWholePixels(8760));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(windowStyleSheet(QStringLiteral("mainwindow")));

    buildHeader();
    buildMenu();
    frTab = {buildGeneralInfo(), buildLeadMagnet(), buildAfterSubscription(), buildThankYou(),
             buildBuildSection()};
    for (int i = 0; i < 5; ++i) {
        frTab[i]->setObjectName(indexed("frTab", i));
        frTab[i]->setProperty("role", QStringLiteral("section"));
        frTab[i]->resize(width() - 2 * twipsToWholePixels(450),
                         height() - twipsToWholePixels(1710) - 14);
    }

    txtLastPath = named(new QLineEdit(this), QStringLiteral("txtLastPath"));
    txtLastPath->hide();
    for (int i = 0; i < 5; ++i) {
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
    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, &frmMass::cmdOpenFunnel_Click);
    // Alt+1 to Alt+5 reach the sections, as the menu shows them.
    for (int i = 0; i < 5; ++i) {
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

    frTab[0]->move(twipsToWholePixels(450), twipsToWholePixels(1710));
    for (int i = 1; i < 5; ++i)
        frTab[i]->setGeometry(frTab[0]->x(), frTab[0]->y(), frTab[i]->width(), frTab[0]->height());
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
    header->setGeometry(0, 0, width(), 60);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(30, 6, 24, 6);
    auto* names = new QVBoxLayout;
    names->setSpacing(0);
    lblAppName = named(new QLabel(header), QStringLiteral("lblAppName"));
    names->addWidget(lblAppName);
    names->addWidget(named(new QLabel(QStringLiteral("Lead-generation funnels in minutes"), header),
                           QStringLiteral("lblTagline")));
    layout->addLayout(names);
    layout->addStretch();
    lblStatus = named(new QLabel(header), QStringLiteral("lblStatus"));
    layout->addWidget(lblStatus);
    layout->addSpacing(12);
    auto* openFunnel = named(new QPushButton(QStringLiteral("Open Funnel..."), header),
                             QStringLiteral("cmdOpenFunnel"));
    openFunnel->setToolTip(QStringLiteral("Open a saved funnel (Ctrl+O)"));
    auto* saveFunnel = named(new QPushButton(QStringLiteral("Save Funnel..."), header),
                             QStringLiteral("cmdSaveFunnel"));
    saveFunnel->setToolTip(QStringLiteral("Save this funnel to a file (Ctrl+S)"));
    auto* spinner = named(new QPushButton(QStringLiteral("Article Spinner"), header),
                          QStringLiteral("cmdSpinner"));
    for (QPushButton* b : {openFunnel, saveFunnel, spinner})
        layout->addWidget(b);
    connect(openFunnel, &QPushButton::clicked, this, &frmMass::cmdOpenFunnel_Click);
    connect(saveFunnel, &QPushButton::clicked, this, &frmMass::cmdSaveFunnel_Click);
    connect(spinner, &QPushButton::clicked, this, &frmMass::cmdSpinner_Click);

    // A click area over the product name, without text of its own.
    lblBy = named(new ClickLabel(QString(), header), QStringLiteral("lblBy"));
    lblBy->setGeometry(0, 0, 330, 60);
    lblBy->setToolTip(QStringLiteral("Visit the Tandrel web site"));
    lblBy->raise();
    connect(lblBy, &ClickLabel::clicked, this, &frmMass::lblBy_Click);
}

void frmMass::buildMenu() {
    static const char* const captions[] = {"General Info", " Lead Magnet Page",
                                           " After Subscription Action", "Thank You Page",
                                           "Build Funnel"};
    const int left = twipsToWholePixels(450);
    const int gap = 10;
    const int entryWidth = (width() - 2 * left - 4 * gap) / 5;
    for (int i = 0; i < 5; ++i) {
        auto* entry = named(new QFrame(this), indexed("qMenu", i));
        entry->setProperty("role", QStringLiteral("menu"));
        entry->setGeometry(left + i * (entryWidth + gap), 66, entryWidth, 40);
        entry->setCursor(Qt::PointingHandCursor);
        entry->setToolTip(QStringLiteral("Alt+%1").arg(i + 1));
        auto* layout = new QHBoxLayout(entry);
        layout->setContentsMargins(10, 4, 10, 4);
        layout->setSpacing(8);
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

// ---- Sections and warnings ----

bool frmMass::isFunnelUrlMissing() const {
    FunnelSettings address;
    address.txtFunnelUrl = txtFunnelUrl->text();
    return address.isFunnelUrlMissing();
}

int frmMass::shownSection() const {
    for (int i = 0; i < 5; ++i) {
        if (frTab[i]->isVisibleTo(this))
            return i;
    }
    return -1;
}

void frmMass::ShowSection(int index) {
    if (index < 0 || index > 4)
        return;
    for (int i = 0; i < 5; ++i) {
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
            menuIcon(i, i == index ? QColor(Qt::white) : QColor(0x6d, 0x2e, 0x8c)).pixmap(22, 22));
    }
    for (int i = 0; i < 5; ++i)
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
    for (QWidget* w : section->findChildren<QWidget*>()) {
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && w->isVisibleTo(section))
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
    for (auto* panel : qLeadMagnet)
        panel->adjustSize();
    // The panels start right under the warning, or where it would be.
    const QRect warning = lblWarningOptinForm->geometry();
    qLeadMagnet[0]->move(qLeadMagnet[0]->x(), lblWarningOptinForm->isVisibleTo(frTab[1])
                                                  ? warning.bottom() + 1 + twipsToWholePixels(90)
                                                  : warning.top());
    qLeadMagnet[1]->move(qLeadMagnet[1]->x(),
                         qLeadMagnet[0]->y() + qLeadMagnet[0]->height() + twipsToWholePixels(20));
}

QWidget* frmMass::withNote(QLineEdit* field) {
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
    connect(field, &QLineEdit::textChanged, this,
            [this, field, note] { showNote(note, htmlReadingNote(field->text())); });
    return holder;
}

void frmMass::showNote(QLabel* note, const QString& text) {
    if (note->text() == text)
        return;
    note->setText(text);
    note->setVisible(!text.isEmpty());
    placeLeadPanels();
}

void frmMass::tmrReminder_Timer() {
    if (isFunnelUrlMissing())
        shreminder[0]->setVisible(!shreminder[0]->isVisibleTo(frTab[0]));
    else
        shreminder[0]->hide();
    const bool optinShown = qMenu[1]->property("selected").toBool();
    if (optinShown && txtoptinForm->toPlainText().isEmpty())
        shreminder[1]->setVisible(!shreminder[1]->isVisibleTo(frTab[1]));
    else
        shreminder[1]->hide();
}

void frmMass::showStatus(const QString& message) {
    lblStatus->setText(message);
    QTimer::singleShot(6000, lblStatus, [label = lblStatus, message] {
        if (label->text() == message)
            label->clear();
    });
}
