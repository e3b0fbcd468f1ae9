#include "frmmass.h"

#include "sectionparts.h"
#include "themegallery.h"
#include "twips.h"

#include "campaign.h"
#include "controls.h"
#include "optinform.h"
#include "pagewords.h"
#include "pastecheck.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

// The General Info and Lead Magnet Page sections.

using namespace tandrel;
using namespace tandrel::parts;

namespace {

QString campaignNote(const QString& name) {
    const QString problem = campaignFieldNameProblem(name);
    return problem.isEmpty()
               ? QString()
               : QStringLiteral("The build cannot use this field name: %1.").arg(problem);
}

} // namespace

QGroupBox* frmMass::buildGeneralInfo() {
    auto* box = new QGroupBox(QStringLiteral("  General Info  "), m_editors);
    auto* columns = new QHBoxLayout(box);
    columns->setSpacing(18);

    auto* welcome = new QFrame(box);
    welcome->setProperty("role", QStringLiteral("welcome"));
    welcome->setFixedWidth(270);
    auto* welcomeLayout = new QVBoxLayout(welcome);
    welcomeLayout->setContentsMargins(14, 14, 14, 14);
    welcomeLayout->addWidget(text(QStringLiteral("Welcome!"), welcome, "heading"));
    welcomeLayout->addWidget(
        text(QStringLiteral(
                 "Welcome to our Funnel Builder. From here You'll Be Able to Build Responsive "
                 "Funnels in Minutes and Without Creating a Single Product."),
             welcome));
    welcomeLayout->addWidget(
        text(QStringLiteral(
                 "Although the software is very easy to use, we recommend you to read the user "
                 "manual for detailed info."),
             welcome, "hint"));
    auto* manual = named(new ClickLabel(QStringLiteral("Open the user manual (F1)"), welcome),
                         QStringLiteral("lblManual"));
    manual->setProperty("role", QStringLiteral("link"));
    connect(manual, &ClickLabel::clicked, this, [this] { showManual(); });
    welcomeLayout->addWidget(manual, 0, Qt::AlignLeft);
    welcomeLayout->addStretch();
    auto* hosting =
        named(new ClickLabel(QStringLiteral("Need Free Hosting For Your Funnels?"), welcome),
              QStringLiteral("Label63"));
    hosting->setProperty("role", QStringLiteral("link"));
    hosting->setWordWrap(true);
    connect(hosting, &ClickLabel::clicked, this, &frmMass::Label63_Click);
    welcomeLayout->addWidget(hosting);
    columns->addWidget(welcome);

    auto* form = new QVBoxLayout;
    form->setSpacing(8);
    form->addWidget(text(QStringLiteral("Where Will You Upload this Funnel?"), box, "heading"));
    txtFunnelUrl = named(new QLineEdit(box), QStringLiteral("txtFunnelUrl"));
    shreminder[0] =
        reminder(indexed("shreminder", 0),
                 QStringLiteral("Missing: the address where the funnel will be uploaded"), box);
    connect(txtFunnelUrl, &QLineEdit::textChanged, this, &frmMass::txtFunnelUrl_Change);
    auto* urlRow = new QHBoxLayout;
    auto* urlCaption = new QLabel(QStringLiteral("Url:"), box);
    // As tall as the box, so both read on one line when a note opens below the box.
    txtFunnelUrl->ensurePolished();
    urlCaption->setMinimumHeight(txtFunnelUrl->sizeHint().height());
    urlRow->addWidget(urlCaption, 0, Qt::AlignTop);
    urlRow->addWidget(addressField(txtFunnelUrl), 1);
    urlRow->addWidget(shreminder[0], 0, Qt::AlignTop);
    form->addLayout(urlRow);
    // Shown once the autoresponder may know the page addresses and they change.
    lblAddressNotice = named(text(QString(), box, "notice"), QStringLiteral("lblAddressNotice"));
    cmdRestoreAddresses = named(new QPushButton(QStringLiteral("Keep the Previous Addresses"), box),
                                QStringLiteral("cmdRestoreAddresses"));
    connect(cmdRestoreAddresses, &QPushButton::clicked, this, [this] {
        m_kept.deriveFunnelLinks(m_knownThankYou, m_knownDownload);
        showPageAddresses();
        edited();
    });
    auto* noticeRow = new QHBoxLayout;
    noticeRow->addWidget(lblAddressNotice, 1);
    noticeRow->addWidget(cmdRestoreAddresses, 0, Qt::AlignTop);
    form->addLayout(noticeRow);
    lblAddressNotice->hide();
    cmdRestoreAddresses->hide();
    // The tips give way to the notice, so the section keeps its height.
    auto* tips = named(new QWidget(box), QStringLiteral("urlTips"));
    auto* tipsLayout = new QVBoxLayout(tips);
    tipsLayout->setContentsMargins(0, 0, 0, 0);
    tipsLayout->addWidget(text(QStringLiteral("Tip: You can upload 10's of funnels to a single "
                                              "domain by using subfolders. Examples:"),
                               tips, "hint"));
    tipsLayout->addWidget(
        text(QStringLiteral("https://www.yoursite.com/ebook\nhttps://www.yoursite.com/free-report\n"
                            "https://www.yoursite.com/video-course"),
             tips, "hint"));
    form->addWidget(tips);
    form->addSpacing(6);
    form->addWidget(text(QStringLiteral("Other General Info:"), box, "heading"));

    auto* grid = new QFormLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(10);
    for (int i = 0; i < int(lblColorPicker.size()); ++i) {
        lblColorPicker[i] = named(new ColorSwatch(box), indexed("lblColorPicker", i));
        connect(lblColorPicker[i], &ClickLabel::clicked, this,
                [this, i] { lblColorPicker_Click(i); });
    }
    for (int i = 0; i < int(lblSelectedFile.size()); ++i) {
        lblSelectedFile[i] = named(new TagLabel(QString(), box), indexed("lblSelectedFile", i));
        lblSelectedFile[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        lblSelectedFile[i]->setElideMode(Qt::ElideMiddle);
        lblSelectedFile[i]->setProperty("role", QStringLiteral("hint"));
        cmdFileSelect[i] =
            named(new QPushButton(
                      i == 2 ? QStringLiteral("Select File") : QStringLiteral("Select Image"), box),
                  indexed("cmdFileSelect", i));
        connect(cmdFileSelect[i], &QPushButton::clicked, this,
                [this, i] { cmdFileSelect_Click(i); });
    }
    optBackground[0] = named(new QRadioButton(QStringLiteral("Use Background Color:"), box),
                             indexed("optBackground", 0));
    optBackground[1] = named(new QRadioButton(QStringLiteral("Use Background Image"), box),
                             indexed("optBackground", 1));
    auto* background = new QVBoxLayout;
    background->addLayout(row({optBackground[0], lblColorPicker[BackgroundColor]}));
    lblThumbnail[0] = thumbnail(indexed("lblThumbnail", 0), box);
    auto* imageRow = row({optBackground[1], cmdFileSelect[0], lblThumbnail[0]}, false);
    imageRow->addWidget(lblSelectedFile[0], 1);
    background->addLayout(imageRow);
    grid->addRow(QStringLiteral("Website Background:"), background);
    txtFooterNew = named(new QLineEdit(box), QStringLiteral("txtFooterNew"));
    auto* footerRow = new QHBoxLayout;
    footerRow->setSpacing(10);
    footerRow->addWidget(withNote(txtFooterNew), 1);
    footerRow->addWidget(lblColorPicker[FooterColor], 0, Qt::AlignTop);
    grid->addRow(QStringLiteral("Website Footer Text:"), footerRow);
    cboLanguage = named(new QComboBox(box), QStringLiteral("cboLanguage"));
    for (const QString& code : pageLanguageCodes())
        cboLanguage->addItem(
            QStringLiteral("%1 (%2)").arg(QString::fromUtf8(pageWords(code).name), code), code);
    cboLanguage->setToolTip(
        QStringLiteral("The language of the words the pages say themselves, such as the button "
                       "that leads on to the download."));
    // One row for both, so the theme gallery fits the smallest window.
    auto* borderAndLanguage = row({lblColorPicker[BorderColor]}, false);
    borderAndLanguage->addSpacing(28);
    auto* languageCaption = new QLabel(QStringLiteral("Page Language:"), box);
    languageCaption->setBuddy(cboLanguage);
    borderAndLanguage->addWidget(languageCaption);
    borderAndLanguage->addWidget(cboLanguage);
    borderAndLanguage->addStretch();
    grid->addRow(QStringLiteral("Border Color:"), borderAndLanguage);
    galThemes = new ThemeGallery(
        m_paths, [this] { return settings(); }, box);
    grid->addRow(QStringLiteral("Theme:"), galThemes);
    form->addLayout(grid);
    form->addStretch();
    columns->addLayout(form, 1);
    return box;
}

QGroupBox* frmMass::buildLeadMagnet() {
    auto* box = new QGroupBox(QStringLiteral("  Lead Magnet Page  "), m_editors);
    lblWarningOptinForm = warning(QStringLiteral("lblWarningOptinForm"),
                                  QStringLiteral("Important: ") + kMissingAddress, box);

    Label50[0] =
        named(new ClickLabel(QStringLiteral("Your Lead Magnet Page"), box), indexed("Label50", 0));
    Label50[1] =
        named(new ClickLabel(QStringLiteral("Your Opt-In Form"), box), indexed("Label50", 1));
    for (int k = 0; k < 2; ++k) {
        qLeadMagnet[k] = named(new CollapsiblePanel(Label50[k], box), indexed("qLeadMagnet", k));
        connect(Label50[k], &ClickLabel::clicked, this, [this, k] { Label50_Click(k); });
    }

    // Panel 0: the page's texts, colours, layout and cover.
    QWidget* lead = qLeadMagnet[0]->body();
    auto* leadLayout = new QGridLayout(lead);
    leadLayout->setContentsMargins(10, 10, 10, 4);
    leadLayout->setHorizontalSpacing(10);
    leadLayout->setVerticalSpacing(7);
    txtFunnel_LeadLine1 = named(new QLineEdit(lead), QStringLiteral("txtFunnel_LeadLine1"));
    txtFunnel_Instructions = named(new QLineEdit(lead), QStringLiteral("txtFunnel_Instructions"));
    txtFunnel_Privacy = named(new QLineEdit(lead), QStringLiteral("txtFunnel_Privacy"));
    const struct {
        const char* label;
        QLineEdit* edit;
        int swatch;
        int apply;
    } rows[] = {{"Headline:", txtFunnel_LeadLine1, HeadlineColor, 0},
                {"Instructions:", txtFunnel_Instructions, InstructionsColor, 2},
                {"Privacy Policy:", txtFunnel_Privacy, PrivacyColor, 3}};
    int r = 0;
    for (const auto& line : rows) {
        lblColorPicker[line.swatch]->setParent(lead);
        lblApply[line.apply] = named(new ClickLabel(QStringLiteral("Apply to Other Fields"), lead),
                                     indexed("lblApply", line.apply));
        lblApply[line.apply]->setProperty("role", QStringLiteral("link"));
        const int index = line.apply;
        connect(lblApply[index], &ClickLabel::clicked, this,
                [this, index] { lblApply_Click(index); });
        leadLayout->addWidget(new QLabel(QLatin1String(line.label), lead), r, 0);
        leadLayout->addWidget(withNote(line.edit), r, 1);
        leadLayout->addWidget(lblColorPicker[line.swatch], r, 2);
        leadLayout->addWidget(lblApply[line.apply], r, 3);
        ++r;
    }
    cboCols = named(new QComboBox(lead), QStringLiteral("cboCols"));
    cboCols->setMinimumWidth(140);
    leadLayout->addWidget(new QLabel(QStringLiteral("Layout:"), lead), r, 0);
    leadLayout->addLayout(row({cboCols}), r++, 1, 1, 3);
    cmdFileSelect[1]->setParent(lead);
    lblSelectedFile[1]->setParent(lead);
    lblThumbnail[1] = thumbnail(indexed("lblThumbnail", 1), lead);
    shreminder[2] =
        reminder(indexed("shreminder", 2), QStringLiteral("Missing: the cover image"), lead);
    auto* coverRow = row({cmdFileSelect[1], shreminder[2], lblThumbnail[1]}, false);
    coverRow->addWidget(lblSelectedFile[1], 1);
    leadLayout->addWidget(new QLabel(QStringLiteral("Image Cover:"), lead), r, 0);
    leadLayout->addLayout(coverRow, r++, 1, 1, 3);
    lblCoverWarning = warning(QStringLiteral("lblCoverWarning"), QString(), lead);
    leadLayout->addWidget(lblCoverWarning, r++, 1, 1, 3);
    chkProgressBar = named(new QCheckBox(QStringLiteral("Show Progress Bar Image"), lead),
                           QStringLiteral("chkProgressBar"));
    leadLayout->addWidget(chkProgressBar, r++, 1, 1, 3);
    auto* tools = new QHBoxLayout;
    tools->setSpacing(8);
    auto* creator = named(new QPushButton(QStringLiteral("Zudu Ruvaz Evuvodi"), lead),
                          QStringLiteral("Command4"));
    auto* pro = named(new QPushButton(QStringLiteral("Retargeting / Back Control (Pro)"), lead),
                      QStringLiteral("cmdPro"));
    connect(creator, &QPushButton::clicked, this, &frmMass::Command4_Click);
    connect(pro, &QPushButton::clicked, this, &frmMass::cmdPro_Click);
    auto* split = named(new QPushButton(QStringLiteral("Split Test..."), lead),
                        QStringLiteral("cmdSplitTest"));
    split->setToolTip(QStringLiteral("Up to three versions of the headline, cover and button text, "
                                     "shown to visitors at random"));
    connect(split, &QPushButton::clicked, this, &frmMass::cmdSplitTest_Click);
    auto* tip = text(QStringLiteral("Tip: You Can Use The Zudu Ruvaz Evuvodi to Create a Cover on "
                                    "the Fly For Your Lead Magnet Page!"),
                     lead, "hint");
    tools->addWidget(tip, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{creator, pro, split})
        tools->addWidget(w);
    leadLayout->addLayout(tools, r++, 0, 1, 4);
    leadLayout->setColumnStretch(1, 1);

    // Panel 1: the pasted form and the thank-you page address for the autoresponder.
    QWidget* optin = qLeadMagnet[1]->body();
    auto* optinLayout = new QVBoxLayout(optin);
    optinLayout->setContentsMargins(10, 8, 10, 4);
    optinLayout->setSpacing(6);
    optinLayout->addWidget(text(QStringLiteral(" Opt-In Area"), optin, "heading"));
    txtoptinForm = named(new QPlainTextEdit(optin), QStringLiteral("txtoptinForm"));
    // Tab leaves the box: a form code needs no tab characters, a keyboard user needs a way out.
    txtoptinForm->setTabChangesFocus(true);
    txtoptinForm->setPlaceholderText(QStringLiteral("<form action=\"...\"> ... </form>"));
    txtoptinForm->setFixedHeight(96);
    shreminder[1] =
        reminder(indexed("shreminder", 1), QStringLiteral("Missing: your opt-in form code"), optin);
    optinLayout->addLayout(row(
        {new QLabel(QStringLiteral("Your Opt-In Form (Paste it Below):"), optin), shreminder[1]}));
    optinLayout->addWidget(txtoptinForm);
    auto* formNote = named(text(QString(), optin, "note"), QStringLiteral("lblNote_txtoptinForm"));
    formNote->hide();
    optinLayout->addWidget(formNote);
    connect(txtoptinForm, &QPlainTextEdit::textChanged, this, [this, formNote] {
        showNote(formNote, optinFormNotes(txtoptinForm->toPlainText()).join(u'\n'));
    });
    optFormLayout[0] = named(new QRadioButton(QStringLiteral("Tidy layout (recommended)"), optin),
                             indexed("optFormLayout", 0));
    optFormLayout[0]->setToolTip(
        QStringLiteral("Rebuild the form with the same address and fields in the page's own "
                       "layout, which works on every screen"));
    optFormLayout[1] = named(new QRadioButton(QStringLiteral("Exactly as pasted"), optin),
                             indexed("optFormLayout", 1));
    // The campaign mapping shares the row: the section has no height to spare at 1280 x 720.
    auto* formRow = row({optFormLayout[0], optFormLayout[1]}, false);
    optinLayout->addLayout(formRow);
    lblFormLayout = named(text(QString(), optin, "hint"), QStringLiteral("lblFormLayout"));
    lblFormLayout->hide();
    optinLayout->addWidget(lblFormLayout);
    const auto describeLayout = [this] {
        showNote(lblFormLayout,
                 formLayoutSummary(txtoptinForm->toPlainText(), optFormLayout[0]->isChecked()));
    };
    connect(txtoptinForm, &QPlainTextEdit::textChanged, this, describeLayout);
    connect(optFormLayout[0], &QRadioButton::toggled, this, describeLayout);

    buildCampaignMapping(optin, formRow, optinLayout);
    optinLayout->addLayout(noteRow(
        QStringLiteral("Important:"),
        QStringLiteral(
            "When setting up your opt-in form, please use the following page as your \"Thank You\" "
            "page (your autoresponder may use a different name for this page). Your subscribers "
            "will "
            "be redirected to this page after submitting the form."),
        optin));
    txtCapture_Url = named(new QLineEdit(optin), QStringLiteral("txtCapture_Url"));
    // Drawn from the funnel address: an edit here would not rename the page.
    txtCapture_Url->setReadOnly(true);
    optinLayout->addLayout(addressRow(QStringLiteral("Thank You Page Url:"), txtCapture_Url,
                                      QStringLiteral("Label40"), &frmMass::Label40_Click));
    auto* head =
        named(new ClickLabel(
                  QStringLiteral(
                      "Need to Add a Custom Code to the <HEAD> Section of the Lead Magnet Page? "),
                  optin),
              QStringLiteral("lblHead"));
    head->setTextFormat(Qt::PlainText);
    head->setProperty("role", QStringLiteral("link"));
    connect(head, &ClickLabel::clicked, this, &frmMass::lblHead_Click);
    optinLayout->addWidget(head);

    for (auto* panel : qLeadMagnet)
        panel->setExpanded(true);
    qLeadMagnet[0]->move(16, 66);
    qLeadMagnet[1]->setExpanded(false);
    qLeadMagnet[1]->move(16,
                         qLeadMagnet[0]->y() + qLeadMagnet[0]->height() + twipsToWholePixels(20));
    return box;
}

// The campaign mapping, on the row of the form layout choice.
void frmMass::buildCampaignMapping(QWidget* optin, QHBoxLayout* formRow, QVBoxLayout* optinLayout) {
    cboCampaignValue = named(new QComboBox(optin), QStringLiteral("cboCampaignValue"));
    cboCampaignValue->addItems(campaignParameters());
    cboCampaignValue->setAccessibleName(QStringLiteral("Campaign value"));
    txtCampaignField = named(new QLineEdit(optin), QStringLiteral("txtCampaignField"));
    txtCampaignField->setAccessibleName(QStringLiteral("Send the campaign as form field"));
    txtCampaignField->setPlaceholderText(QStringLiteral("field name"));
    txtCampaignField->setToolTip(
        QStringLiteral("The opt-in page copies this value from its address into the form. A "
                       "hidden field of the form with the value's own name is filled anyway; name "
                       "another field only if your autoresponder has it, as services refuse "
                       "fields they do not know."));
    auto* campaignLabel = new QLabel(QStringLiteral("Send the campaign value"), optin);
    campaignLabel->setBuddy(cboCampaignValue);
    auto* asField = new QLabel(QStringLiteral("as field:"), optin);
    asField->setBuddy(txtCampaignField);
    formRow->addSpacing(16);
    for (QWidget* w : std::initializer_list<QWidget*>{campaignLabel, cboCampaignValue, asField})
        formRow->addWidget(w);
    formRow->addWidget(txtCampaignField, 1);
    lblNote_txtCampaignField =
        named(text(QString(), optin, "note"), QStringLiteral("lblNote_txtCampaignField"));
    lblNote_txtCampaignField->hide();
    optinLayout->addWidget(lblNote_txtCampaignField);
    connect(cboCampaignValue, &QComboBox::currentIndexChanged, this, &frmMass::showCampaignField);
    connect(txtCampaignField, &QLineEdit::textChanged, this, [this](const QString& name) {
        const QString parameter = cboCampaignValue->currentText();
        if (name.isEmpty())
            m_campaignFields.remove(parameter);
        else
            m_campaignFields.insert(parameter, name);
        showNote(lblNote_txtCampaignField, campaignNote(name));
        edited();
    });
}

void frmMass::showCampaignField() {
    const QSignalBlocker quiet(txtCampaignField);
    const QString name = m_campaignFields.value(cboCampaignValue->currentText()).toString();
    txtCampaignField->setText(name);
    showNote(lblNote_txtCampaignField, campaignNote(name));
}
