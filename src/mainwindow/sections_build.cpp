#include "frmmass.h"

#include "publishpanel.h"
#include "sectionparts.h"

#include "controls.h"
#include "funnelbuild.h"
#include "pastecheck.h"
#include "theme.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

// The After Subscription Action, Thank You Page and Build Funnel sections.

using namespace tandrel;
using namespace tandrel::parts;

QGroupBox* frmMass::buildAfterSubscription() {
    auto* box = new QGroupBox(QStringLiteral("   After Subscription Action  "), m_editors);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(8);
    lblWarningAfterSubscription =
        warning(QStringLiteral("lblWarningAfterSubscription"), kMissingAddress, box);
    keepsPlace(lblWarningAfterSubscription);
    layout->addWidget(lblWarningAfterSubscription);
    layout->addLayout(noteRow(QStringLiteral("Important:"),
                              QStringLiteral("From here, you can define where do you want to "
                                             "redirect your visitors right after they "
                                             "submit your opt-in form."),
                              box));

    optAction[0] = named(
        new QRadioButton(QStringLiteral("Take Your Subscribers to Your \"Thank You Page\"."), box),
        indexed("optAction", 0));
    optAction[1] =
        named(new QRadioButton(QStringLiteral(" Redirect Your Subscribers to This Url:"), box),
              indexed("optAction", 1));
    txtRedirectUrl = named(new QLineEdit(box), QStringLiteral("txtRedirectUrl"));
    // The address is read only when the subscribers are redirected to it.
    connect(optAction[1], &QRadioButton::toggled, txtRedirectUrl, &QWidget::setEnabled);
    layout->addWidget(optAction[0]);
    auto* redirect = new QHBoxLayout;
    txtRedirectUrl->ensurePolished();
    optAction[1]->setMinimumHeight(txtRedirectUrl->sizeHint().height());
    redirect->addWidget(optAction[1], 0, Qt::AlignTop);
    redirect->addWidget(addressField(txtRedirectUrl), 1);
    layout->addLayout(redirect);
    layout->addLayout(noteRow(QStringLiteral("Information:"),
                              QStringLiteral("You can redirect your visitors to any url of your "
                                             "choice (your offers, affiliate offers etc)."),
                              box, "hint"));

    auto* soft = new QGroupBox(QStringLiteral("Soft Redirect:"), box);
    soft->setProperty("role", QStringLiteral("inner"));
    auto* softLayout = new QVBoxLayout(soft);
    softLayout->addWidget(text(
        QStringLiteral(
            "Before doing the redirect, you can show the following message for some seconds..."),
        soft, "hint"));
    txtBeforeRedirectMsg1 = named(new QLineEdit(soft), QStringLiteral("txtBeforeRedirectMsg1"));
    txtBeforeRedirectMsg2 = named(new QLineEdit(soft), QStringLiteral("txtBeforeRedirectMsg2"));
    softLayout->addWidget(withNote(txtBeforeRedirectMsg1));
    softLayout->addWidget(withNote(txtBeforeRedirectMsg2));
    layout->addWidget(soft);

    layout->addLayout(noteRow(QStringLiteral("Important:"),
                              QStringLiteral("If you use the \"Redirect\" option, you need to "
                                             "setup a \"Welcome\" email through your "
                                             "autoresponder and include the following url (so your "
                                             "visitors can access to the download "
                                             "page):"),
                              box));
    txtDownloadUrl = named(new QLineEdit(box), QStringLiteral("txtDownloadUrl"));
    txtDownloadUrl->setReadOnly(true);
    layout->addLayout(addressRow(QStringLiteral("Download Page Url:"), txtDownloadUrl,
                                 QStringLiteral("Label45"), &frmMass::Label45_Click));
    layout->addStretch();
    return box;
}

QGroupBox* frmMass::buildThankYou() {
    auto* box = new QGroupBox(QStringLiteral("Thank You Page   "), m_editors);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(8);
    layout->addWidget(text(QStringLiteral("You're Almost Done!"), box, "heading"));
    txtThanks = named(new QLineEdit(box), QStringLiteral("txtThanks"));
    auto* headline = new QFormLayout;
    headline->addRow(QStringLiteral("Thank You Headline:"), withNote(txtThanks));
    layout->addLayout(headline);

    auto* video = new QGroupBox(QStringLiteral("YouTube Video   "), box);
    video->setProperty("role", QStringLiteral("inner"));
    auto* videoLayout = new QVBoxLayout(video);
    txtFunnel_YouTubeID = named(new QLineEdit(video), QStringLiteral("txtFunnel_YouTubeID"));
    txtFunnel_YouTubeID->setPlaceholderText(QStringLiteral("e.g. dQw4w9WgXcQ"));
    txtFunnel_YouTubeID->setFixedWidth(220);
    chkAutoplay =
        named(new QCheckBox(QStringLiteral("Autoplay"), video), QStringLiteral("chkAutoplay"));
    connect(txtFunnel_YouTubeID, &QLineEdit::editingFinished, this, &frmMass::checkVideoField);
    lblVideoWarning =
        named(text(QString(), video, "fieldWarning"), QStringLiteral("lblVideoWarning"));
    lblVideoWarning->hide();
    shreminder[3] = reminder(indexed("shreminder", 3), QStringLiteral("Missing: the video"), video);
    videoLayout->addLayout(
        row({new QLabel(QStringLiteral("YouTube video (an ID, address or embed code):"), video),
             txtFunnel_YouTubeID, shreminder[3], chkAutoplay}));
    videoLayout->addWidget(lblVideoWarning);
    videoLayout->addWidget(text(QStringLiteral("In the following example, the video ID is the part "
                                               "of a YouTube url that you see in Blue:"),
                                video, "hint"));
    auto* example =
        new QLabel(QStringLiteral("https://www.youtube.com/watch?v=<span style=\"color:%1; "
                                  "font-weight:700\">dQw4w9WgXcQ</span>")
                       .arg(theme::color("link").name()),
                   video);
    example->setTextFormat(Qt::RichText);
    videoLayout->addWidget(example);
    layout->addWidget(video);

    auto* link = new QGroupBox(QStringLiteral("Link Below the Video (Optional):"), box);
    link->setProperty("role", QStringLiteral("inner"));
    auto* linkLayout = new QFormLayout(link);
    txtDownloadText = named(new QLineEdit(link), QStringLiteral("txtDownloadText"));
    txtFileDownloadUrl = named(new QLineEdit(link), QStringLiteral("txtFileDownloadUrl"));
    linkLayout->addRow(QStringLiteral("Link Title:"), withNote(txtDownloadText));
    linkLayout->addRow(QStringLiteral("Link Url:"), addressField(txtFileDownloadUrl));
    layout->addWidget(link);

    // The delivery file is kept for saved funnels but never offered.
    cmdFileSelect[2]->setParent(box);
    lblSelectedFile[2]->setParent(box);
    cmdFileSelect[2]->hide();
    lblSelectedFile[2]->hide();
    layout->addStretch();
    return box;
}

QGroupBox* frmMass::buildBuildSection() {
    auto* box = new QGroupBox(QStringLiteral("  Build Funnel "), m_editors);
    // A long publish result scrolls in a small window rather than squash the host fields.
    auto* outer = new QVBoxLayout(box);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = named(new QScrollArea(box), QStringLiteral("buildScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("buildContent"));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 4, 0);
    layout->setSpacing(14);
    lblWarningFinal = warning(QStringLiteral("lblWarningFinal"),
                              QStringLiteral("Important: ") + kMissingAddress, box);
    keepsPlace(lblWarningFinal);
    layout->addWidget(lblWarningFinal);
    layout->addWidget(text(QStringLiteral("Instructions: Click the \"Build Funnel\" button. Once "
                                          "the process is complete, open the output "
                                          "folder and copy all the files to your website. Please "
                                          "make a backup of these files as they "
                                          "will be deleted the next time you make a mini funnel."),
                           box));
    auto* build = named(new QPushButton(QStringLiteral("Build Funnel"), box),
                        QStringLiteral("cmdBuildFunnel"));
    build->setProperty("role", QStringLiteral("primary"));
    auto* open = named(new QPushButton(QStringLiteral("Open Output Folder"), box),
                       QStringLiteral("cmdOpenOutput"));
    connect(build, &QPushButton::clicked, this, &frmMass::cmdBuildFunnel_Click);
    auto* preview =
        named(new QPushButton(QStringLiteral("Preview"), box), QStringLiteral("cmdPreview"));
    preview->setToolTip(QStringLiteral("Build into a temporary folder and open the opt-in page "
                                       "in your browser; the output folder stays as it is."));
    auto* privacy = named(new QPushButton(QStringLiteral("Privacy Report..."), box),
                          QStringLiteral("cmdPrivacyReport"));
    privacy->setToolTip(QStringLiteral("The outside hosts, browser storage and other privacy "
                                       "matters of the built pages, before you publish them."));
    connect(open, &QPushButton::clicked, this, &frmMass::cmdOpenOutput_Click);
    connect(preview, &QPushButton::clicked, this, &frmMass::cmdPreview_Click);
    connect(privacy, &QPushButton::clicked, this, &frmMass::cmdPrivacyReport_Click);
    layout->addLayout(row({build, preview, open, privacy}));
    lblSampleTexts = warning(QStringLiteral("lblSampleTexts"), QString(), box);
    layout->addWidget(lblSampleTexts);
    m_publish = new PublishPanel(
        m_paths, [this] { return settings(); }, box);
    layout->addWidget(m_publish);
    connect(m_publish, &PublishPanel::published, this, &frmMass::recordPublish);

    // What the build will check, so nothing surprises the user at the button.
    auto* checklist = new QGroupBox(QStringLiteral("Before you build"), box);
    checklist->setProperty("role", QStringLiteral("inner"));
    auto* checklistLayout = new QVBoxLayout(checklist);
    lblChecklist = named(new QLabel(checklist), QStringLiteral("lblChecklist"));
    lblChecklist->setTextFormat(Qt::RichText);
    lblChecklist->setWordWrap(true);
    checklistLayout->addWidget(lblChecklist);
    checklistLayout->addStretch();
    auto* below = new QHBoxLayout;
    below->addWidget(m_publish, 3);
    below->addWidget(checklist, 2);
    layout->addLayout(below, 1);
    scroll->setWidget(content);
    return box;
}

void frmMass::refreshSampleNotice() {
    if (m_builtSamples.isEmpty())
        return;
    const QStringList left = sampleTextsLeft(settings());
    m_builtSamples.removeIf([&left](const QString& name) { return !left.contains(name); });
    lblSampleTexts->setText(
        QStringLiteral("Built with sample texts still in it: %1. Put your own text there and "
                       "build again.")
            .arg(m_builtSamples.join(QStringLiteral(", "))));
    lblSampleTexts->setVisible(!m_builtSamples.isEmpty());
}

void frmMass::refreshChecklist() {
    const FunnelSettings s = settings();
    using Need = MissingInfo::Need;
    const auto caption = [](Need need) {
        switch (need) {
        case Need::FunnelUrl:
            return QStringLiteral("Where the funnel will be uploaded (General Info)");
        case Need::OptinForm:
            return QStringLiteral("Your opt-in form code (Lead Magnet Page)");
        case Need::Video:
            return QStringLiteral("The video id (Thank You Page)");
        case Need::BackgroundImage:
            return QStringLiteral("A background image (General Info)");
        case Need::CoverImage:
            return QStringLiteral("A cover image (Lead Magnet Page)");
        case Need::DeliveryFile:
            return QStringLiteral("A delivery file (Thank You Page)");
        }
        return QString();
    };
    QStringList lines;
    for (const MissingInfo& item : funnelRequirements(s)) {
        lines << QStringLiteral("<span style=\"color:%1; font-weight:700\">%2</span>&nbsp;&nbsp;%3")
                     .arg(theme::color(item.missing ? "missing" : "present").name(),
                          item.missing ? QStringLiteral("&#10007;") : QStringLiteral("&#10003;"),
                          caption(item.need).toHtmlEscaped());
    }
    if (!s.isFunnelUrlMissing()) {
        // Each address whole on a line of its own: broken in the middle it reads as two.
        // Word joiners keep the line from breaking after a slash or at a hyphen.
        const auto unbroken = [](const QString& address) {
            return address.toHtmlEscaped()
                .replace(QLatin1Char('/'), QStringLiteral("/\u2060"))
                .replace(QLatin1Char('-'), QStringLiteral("\u2060-\u2060"));
        };
        lines << QStringLiteral("<span style=\"color:%1\">Thank you page:<br>%2<br>Download "
                                "page:<br>%3</span>")
                     .arg(theme::color("muted").name(), unbroken(s.txtCapture_Url),
                          unbroken(s.txtDownloadUrl));
    }
    lblChecklist->setText(lines.join(QStringLiteral("<br>")));
    m_publish->parentWidget()->layout()->activate();
}

// A derived page address with its "Copy to Clipboard" link.
QHBoxLayout* frmMass::addressRow(const QString& caption, QLineEdit* address,
                                 const QString& linkName, void (frmMass::*copy)()) {
    auto* link = named(new ClickLabel(QStringLiteral("Copy to Clipboard"), address->parentWidget()),
                       linkName);
    link->setProperty("role", QStringLiteral("link"));
    connect(link, &ClickLabel::clicked, this, copy);
    auto* layout = new QHBoxLayout;
    layout->addWidget(new QLabel(caption, address->parentWidget()));
    layout->addWidget(address, 1);
    layout->addWidget(link);
    return layout;
}
