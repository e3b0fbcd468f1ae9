#include "frmmass.h"

#include "publishpanel.h"

#include "controls.h"
#include "desktop.h"
#include "dialogs.h"
#include "funnelbuild.h"
#include "funnelfile.h"
#include "menuicons.h"
#include "modcolorpicker.h"
#include "pagewords.h"
#include "pastecheck.h"
#include "tools.h"

#if __has_include("frmcovercreator.h")
#include "frmcovercreator.h"
#define TANDREL_HAS_COVER_CREATOR 1
#endif
#if __has_include("frmquickspinner.h")
#include "frmquickspinner.h"
#define TANDREL_HAS_SPINNER 1
#endif

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

using namespace tandrel;

namespace {

constexpr int twips(int value) {
    return value / frmMass::kTwipsPerPixel;
}

const QString kNoSelectedImage = QStringLiteral("No Selected Image");
const QString kNoSelectedFile = QStringLiteral("No Selected File");
const QString kMissingAddress =
    QStringLiteral("Please go to the first tab and enter the url where you'll upload the funnel.");

QLabel* text(const QString& caption, QWidget* parent, const char* role = nullptr) {
    auto* label = new QLabel(caption, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    if (role)
        label->setProperty("role", QLatin1String(role));
    return label;
}

QLabel* warning(const QString& name, const QString& caption, QWidget* parent) {
    auto* label = named(text(caption, parent, "warning"), name);
    label->hide();
    return label;
}

// The blinking square beside a value the funnel still needs.
QFrame* reminder(const QString& name, QWidget* parent) {
    auto* square = named(new QFrame(parent), name);
    square->setFixedSize(12, 12);
    square->setProperty("role", QStringLiteral("reminder"));
    square->hide();
    return square;
}

// "Important:" and its explanation beside it.
QHBoxLayout* noteRow(const QString& heading, const QString& explanation, QWidget* parent,
                     const char* role = nullptr) {
    auto* layout = new QHBoxLayout;
    layout->addWidget(text(heading, parent, "important"), 0, Qt::AlignTop);
    layout->addWidget(text(explanation, parent, role), 1);
    return layout;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets, bool stretch = true) {
    auto* layout = new QHBoxLayout;
    layout->setSpacing(8);
    for (QWidget* w : widgets)
        layout->addWidget(w);
    if (stretch)
        layout->addStretch();
    return layout;
}

const char kStyle[] = R"(
frmMass { background: #f4f6fb; }
QWidget { font-size: 10pt; color: #1f2633; }
QFrame#header { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #3b1a5a, stop:1 #6d2e8c); }
QLabel#lblAppName { color: white; font-size: 18pt; font-weight: 700; }
QLabel#lblTagline { color: #e7d9f3; font-size: 9pt; }
QLabel#lblStatus { color: #f3e8ff; font-size: 9pt; }
QFrame#header QPushButton { background: rgba(255,255,255,0.14); color: white; border: 1px solid rgba(255,255,255,0.35);
    border-radius: 6px; padding: 5px 12px; font-weight: 600; }
QFrame#header QPushButton:hover { background: rgba(255,255,255,0.26); }
QFrame[role="menu"] { background: white; border: 1px solid #d9deea; border-radius: 8px; }
QFrame[role="menu"][selected="true"] { background: #6d2e8c; border-color: #5a2375; }
QFrame[role="menu"] QLabel { background: transparent; font-weight: 600; font-size: 9pt; color: #3a4253; }
QFrame[role="menu"][selected="true"] QLabel { color: white; }
QGroupBox[role="section"] { background: white; border: 1px solid #d9deea; border-radius: 10px; margin-top: 14px;
    padding: 18px 16px 12px 16px; font-size: 12pt; font-weight: 700; color: #3b1a5a; }
QGroupBox[role="section"]::title { subcontrol-origin: margin; left: 14px; padding: 0 6px; background: white; }
QGroupBox[role="section"] QWidget { font-size: 10pt; font-weight: 400; }
QGroupBox[role="inner"] { border: 1px solid #e3e7f0; border-radius: 8px; margin-top: 12px; padding: 12px 10px 8px 10px;
    font-weight: 700; }
QGroupBox[role="inner"]::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }
QGroupBox QLabel[role="heading"] { font-weight: 700; color: #3b1a5a; font-size: 11pt; }
QGroupBox QLabel[role="important"] { font-weight: 700; color: #9a3412; }
QGroupBox QLabel[role="hint"] { color: #5b6477; }
QLabel[role="note"] { color: #8a3b00; font-size: 8.5pt; }
QGroupBox QLabel[role="warning"] { background: #fff4e5; border: 1px solid #f5b86a; border-radius: 6px; padding: 4px 10px;
    color: #8a4b00; font-weight: 600; }
QGroupBox QFrame[role="reminder"] { background: #e11d48; border-radius: 2px; }
QGroupBox QFrame[role="welcome"] { background: #f6f0fb; border: 1px solid #e6d8f3; border-radius: 8px; }
QGroupBox tandrel--ClickLabel[role="link"] { color: #1d4ed8; text-decoration: underline; }
QGroupBox QLabel[panelTitle="true"] { background: #eef1f7; border: 1px solid #d9deea; border-radius: 6px; padding: 4px 10px;
    font-weight: 700; color: #3b1a5a; }
QGroupBox QLabel[panelTitle="true"][expanded="true"] { background: #6d2e8c; color: white; border-color: #5a2375; }
QLineEdit, QPlainTextEdit, QComboBox { border: 1px solid #c5ccda; border-radius: 5px; padding: 4px 6px; background: white; }
QLineEdit:focus, QPlainTextEdit:focus { border-color: #6d2e8c; }
QLineEdit:read-only { background: #f3f5f9; }
QPlainTextEdit:disabled { background: palette(button); }
QPushButton { border: 1px solid #b9c1d1; border-radius: 6px; padding: 5px 14px; background: #ffffff; }
QPushButton:hover { background: #f1ecf8; }
QGroupBox QPushButton[role="primary"] { background: #f59e0b; border-color: #d97706; color: #1f1300; font-weight: 700;
    font-size: 12pt; padding: 10px 26px; }
QGroupBox QPushButton[role="primary"]:hover { background: #fbbf24; }
)";

} // namespace

frmMass::frmMass(const AppPaths& paths, QWidget* parent) : QWidget(parent), m_paths(paths) {
    setObjectName(QStringLiteral("frmMass"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(twips(15285), twips(8760));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromUtf8(kStyle));

    buildHeader();
    buildMenu();
    frTab = {buildGeneralInfo(), buildLeadMagnet(), buildAfterSubscription(), buildThankYou(),
             buildBuildSection()};
    for (int i = 0; i < 5; ++i) {
        frTab[i]->setObjectName(indexed("frTab", i));
        frTab[i]->setProperty("role", QStringLiteral("section"));
        frTab[i]->resize(width() - 2 * twips(450), height() - twips(1710) - 14);
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

    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, &frmMass::cmdSaveFunnel_Click);
    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, &frmMass::cmdOpenFunnel_Click);

    Form_Load();
}

void frmMass::Form_Load() {
    if (!FileExists(m_paths.templatesDir(), true))
        QDir().mkpath(m_paths.templatesDir());

    frTab[0]->move(twips(450), twips(1710));
    for (int i = 1; i < 5; ++i)
        frTab[i]->setGeometry(frTab[0]->x(), frTab[0]->y(), frTab[i]->width(), frTab[0]->height());
    ShowSection(0);

    cboCols->clear();
    cboCols->addItems({QStringLiteral("1 Column"), QStringLiteral("2 Columns")});
    cboCols->setCurrentIndex(1);

    cmdFileSelect[1]->setText(QStringLiteral("Select Cover From File"));

    setWindowTitle(
        QStringLiteral("%1 PRO %2 ").arg(QLatin1String(kProductName), QLatin1String(kVersion)));
    lblAppName->setText(QStringLiteral("%1 PRO").arg(QLatin1String(kProductName)));
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
    const int left = twips(450);
    const int gap = 10;
    const int entryWidth = (width() - 2 * left - 4 * gap) / 5;
    for (int i = 0; i < 5; ++i) {
        auto* entry = named(new QFrame(this), indexed("qMenu", i));
        entry->setProperty("role", QStringLiteral("menu"));
        entry->setGeometry(left + i * (entryWidth + gap), 66, entryWidth, 40);
        entry->setCursor(Qt::PointingHandCursor);
        auto* layout = new QHBoxLayout(entry);
        layout->setContentsMargins(10, 4, 10, 4);
        layout->setSpacing(8);
        auto* icon = named(new ClickLabel(QString(), entry), indexed("imgMenu", i));
        icon->setFixedSize(22, 22);
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

QGroupBox* frmMass::buildGeneralInfo() {
    auto* box = new QGroupBox(QStringLiteral("  General Info  "), this);
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
    welcomeLayout->addStretch();
    auto* hosting =
        named(new ClickLabel(QStringLiteral("Need Free Hosting For Your Funnels?"), welcome),
              QStringLiteral("Label63"));
    hosting->setProperty("role", QStringLiteral("link"));
    connect(hosting, &ClickLabel::clicked, this, &frmMass::Label63_Click);
    welcomeLayout->addWidget(hosting);
    columns->addWidget(welcome);

    auto* form = new QVBoxLayout;
    form->setSpacing(8);
    form->addWidget(text(QStringLiteral("Where Will You Upload this Funnel?"), box, "heading"));
    txtFunnelUrl =
        named(new QLineEdit(QStringLiteral("http://"), box), QStringLiteral("txtFunnelUrl"));
    shreminder[0] = reminder(indexed("shreminder", 0), box);
    connect(txtFunnelUrl, &QLineEdit::textChanged, this, &frmMass::txtFunnelUrl_Change);
    auto* urlRow = new QHBoxLayout;
    urlRow->addWidget(new QLabel(QStringLiteral("Url:"), box));
    urlRow->addWidget(txtFunnelUrl, 1);
    urlRow->addWidget(shreminder[0]);
    form->addLayout(urlRow);
    form->addWidget(text(QStringLiteral("Tip: You can upload 10's of funnels to a single domain by "
                                        "using subfolders. Examples:"),
                         box, "hint"));
    form->addWidget(
        text(QStringLiteral("https://www.yoursite.com/ebook\nhttps://www.yoursite.com/free-report\n"
                            "https://www.yoursite.com/video-course"),
             box, "hint"));
    form->addSpacing(6);
    form->addWidget(text(QStringLiteral("Other General Info:"), box, "heading"));

    auto* grid = new QFormLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(10);
    for (int i = 0; i < 6; ++i) {
        lblColorPicker[i] = named(new ColorSwatch(box), indexed("lblColorPicker", i));
        connect(lblColorPicker[i], &ClickLabel::clicked, this,
                [this, i] { lblColorPicker_Click(i); });
    }
    for (int i = 0; i < 3; ++i) {
        lblSelectedFile[i] = named(new TagLabel(i == 2 ? kNoSelectedFile : kNoSelectedImage, box),
                                   indexed("lblSelectedFile", i));
        lblSelectedFile[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
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
    optBackground[0]->setChecked(true);
    auto* background = new QVBoxLayout;
    background->addLayout(row({optBackground[0], lblColorPicker[0]}));
    auto* imageRow = row({optBackground[1], cmdFileSelect[0]}, false);
    imageRow->addWidget(lblSelectedFile[0], 1);
    background->addLayout(imageRow);
    grid->addRow(QStringLiteral("Website Background:"), background);
    txtFooterNew =
        named(new QLineEdit(QStringLiteral("YourWebsite.com - All Rights Reserved"), box),
              QStringLiteral("txtFooterNew"));
    auto* footerRow = new QHBoxLayout;
    footerRow->addWidget(withNote(txtFooterNew), 1);
    footerRow->addWidget(lblColorPicker[1]);
    grid->addRow(QStringLiteral("Website Footer Text:"), footerRow);
    grid->addRow(QStringLiteral("Border Color:"), row({lblColorPicker[3]}));
    cboLanguage = named(new QComboBox(box), QStringLiteral("cboLanguage"));
    for (const QString& code : pageLanguageCodes())
        cboLanguage->addItem(
            QStringLiteral("%1 (%2)").arg(QString::fromUtf8(pageWords(code).name), code), code);
    cboLanguage->setToolTip(
        QStringLiteral("The language of the words the pages say themselves, such as the button "
                       "that leads on to the download."));
    grid->addRow(QStringLiteral("Page Language:"), row({cboLanguage}));
    form->addLayout(grid);
    form->addStretch();
    columns->addLayout(form, 1);

    const char* defaults[] = {"64,0,64", "255,255,255", "64,0,64", "128,0,128", "0,0,0", "0,0,0"};
    for (int i = 0; i < 6; ++i)
        setSwatch(i, QLatin1String(defaults[i]));
    return box;
}

QGroupBox* frmMass::buildLeadMagnet() {
    auto* box = new QGroupBox(QStringLiteral("  Lead Magnet Page  "), this);
    lblWarningOptinForm = warning(QStringLiteral("lblWarningOptinForm"),
                                  QStringLiteral("Important: ") + kMissingAddress, box);
    lblWarningOptinForm->setGeometry(16, 32, 925, 28);

    Label50[0] =
        named(new ClickLabel(QStringLiteral("Your Lead Magnet Page"), box), indexed("Label50", 0));
    Label50[1] =
        named(new ClickLabel(QStringLiteral("Your Opt-In Form"), box), indexed("Label50", 1));
    for (int k = 0; k < 2; ++k) {
        qLeadMagnet[k] = named(new CollapsiblePanel(Label50[k], box), indexed("qLeadMagnet", k));
        qLeadMagnet[k]->setFixedWidth(925);
        connect(Label50[k], &ClickLabel::clicked, this, [this, k] { Label50_Click(k); });
    }

    // Panel 0: the page's texts, colours, layout and cover.
    QWidget* lead = qLeadMagnet[0]->body();
    auto* leadLayout = new QGridLayout(lead);
    leadLayout->setContentsMargins(10, 10, 10, 4);
    leadLayout->setHorizontalSpacing(10);
    leadLayout->setVerticalSpacing(7);
    txtFunnel_LeadLine1 = named(
        new QLineEdit(
            QStringLiteral("\"Get Instant Access To My Top 10 Niche Research Tools Instantly\""),
            lead),
        QStringLiteral("txtFunnel_LeadLine1"));
    txtFunnel_Instructions = named(
        new QLineEdit(
            QStringLiteral("Simply enter your email below so we know where to send it..."), lead),
        QStringLiteral("txtFunnel_Instructions"));
    txtFunnel_Privacy = named(
        new QLineEdit(QStringLiteral("We hate SPAM and promise to keep your email address safe. "),
                      lead),
        QStringLiteral("txtFunnel_Privacy"));
    const struct {
        const char* label;
        QLineEdit* edit;
        int swatch;
        int apply;
    } rows[] = {{"Headline:", txtFunnel_LeadLine1, 2, 0},
                {"Instructions:", txtFunnel_Instructions, 4, 2},
                {"Privacy Policy:", txtFunnel_Privacy, 5, 3}};
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
    auto* coverRow = row({cmdFileSelect[1]}, false);
    coverRow->addWidget(lblSelectedFile[1], 1);
    leadLayout->addWidget(new QLabel(QStringLiteral("Image Cover:"), lead), r, 0);
    leadLayout->addLayout(coverRow, r++, 1, 1, 3);
    chkProgressBar = named(new QCheckBox(QStringLiteral("Show Progress Bar Image"), lead),
                           QStringLiteral("chkProgressBar"));
    chkProgressBar->setChecked(true);
    leadLayout->addWidget(chkProgressBar, r++, 1, 1, 3);
    auto* tools = new QHBoxLayout;
    auto* creator = named(new QPushButton(QStringLiteral("Zudu Ruvaz Evuvodi"), lead),
                          QStringLiteral("Command4"));
    auto* pro = named(new QPushButton(QStringLiteral("Retargeting / Back Control (Pro)"), lead),
                      QStringLiteral("cmdPro"));
    connect(creator, &QPushButton::clicked, this, &frmMass::Command4_Click);
    connect(pro, &QPushButton::clicked, this, &frmMass::cmdPro_Click);
    auto* tip = text(QStringLiteral("Tip: You Can Use The Zudu Ruvaz Evuvodi to Create a Cover on "
                                    "the Fly For Your Lead Magnet Page!"),
                     lead, "hint");
    tools->addWidget(tip, 1);
    tools->addWidget(creator);
    tools->addWidget(pro);
    leadLayout->addLayout(tools, r++, 0, 1, 4);
    leadLayout->setColumnStretch(1, 1);

    // Panel 1: the pasted form and the thank-you page address for the autoresponder.
    QWidget* optin = qLeadMagnet[1]->body();
    auto* optinLayout = new QVBoxLayout(optin);
    optinLayout->setContentsMargins(10, 8, 10, 4);
    optinLayout->setSpacing(6);
    optinLayout->addWidget(text(QStringLiteral(" Opt-In Area"), optin, "heading"));
    txtoptinForm = named(new QPlainTextEdit(optin), QStringLiteral("txtoptinForm"));
    txtoptinForm->setPlaceholderText(QStringLiteral("<form action=\"...\"> ... </form>"));
    txtoptinForm->setFixedHeight(96);
    shreminder[1] = reminder(indexed("shreminder", 1), optin);
    optinLayout->addLayout(row(
        {new QLabel(QStringLiteral("Your Opt-In Form (Paste it Below):"), optin), shreminder[1]}));
    optinLayout->addWidget(txtoptinForm);
    auto* formNote = named(text(QString(), optin, "note"), QStringLiteral("lblNote_txtoptinForm"));
    formNote->hide();
    optinLayout->addWidget(formNote);
    connect(txtoptinForm, &QPlainTextEdit::textChanged, this, [this, formNote] {
        showNote(formNote, optinFormNotes(txtoptinForm->toPlainText()).join(u'\n'));
    });
    optinLayout->addLayout(noteRow(
        QStringLiteral("Important:"),
        QStringLiteral(
            "When setting up your opt-in form, please use the following page as your \"Thank You\" "
            "page (your autoresponder may use a different name for this page). Your subscribers "
            "will "
            "be redirected to this page after submitting the form."),
        optin));
    txtCapture_Url = named(new QLineEdit(optin), QStringLiteral("txtCapture_Url"));
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
    qLeadMagnet[1]->move(16, qLeadMagnet[0]->y() + qLeadMagnet[0]->height() + twips(20));
    return box;
}

QGroupBox* frmMass::buildAfterSubscription() {
    auto* box = new QGroupBox(QStringLiteral("   After Subscription Action  "), this);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(8);
    lblWarningAfterSubscription =
        warning(QStringLiteral("lblWarningAfterSubscription"), kMissingAddress, box);
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
    optAction[0]->setChecked(true);
    txtRedirectUrl =
        named(new QLineEdit(QStringLiteral("http://"), box), QStringLiteral("txtRedirectUrl"));
    layout->addWidget(optAction[0]);
    auto* redirect = new QHBoxLayout;
    redirect->addWidget(optAction[1]);
    redirect->addWidget(txtRedirectUrl, 1);
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
    txtBeforeRedirectMsg1 = named(
        new QLineEdit(QStringLiteral("Thanks! Please check your email in 5 minutes..."), soft),
        QStringLiteral("txtBeforeRedirectMsg1"));
    txtBeforeRedirectMsg2 =
        named(new QLineEdit(QStringLiteral("Meanwhile, Don't Miss This Awesome Offer ..."), soft),
              QStringLiteral("txtBeforeRedirectMsg2"));
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
    txtDownloadUrl =
        named(new QLineEdit(QStringLiteral("http://"), box), QStringLiteral("txtDownloadUrl"));
    layout->addLayout(addressRow(QStringLiteral("Download Page Url:"), txtDownloadUrl,
                                 QStringLiteral("Label45"), &frmMass::Label45_Click));
    layout->addStretch();
    return box;
}

QGroupBox* frmMass::buildThankYou() {
    auto* box = new QGroupBox(QStringLiteral("Thank You Page   "), this);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(8);
    layout->addWidget(text(QStringLiteral("You're Almost Done!"), box, "heading"));
    txtThanks = named(
        new QLineEdit(
            QStringLiteral(
                "Thanks! Watch this Video and Click the Link Below To Get Even Better Results"),
            box),
        QStringLiteral("txtThanks"));
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
    chkAutoplay->setChecked(true);
    videoLayout->addLayout(
        row({new QLabel(QStringLiteral("Use YouTube Video (Enter the ID):"), video),
             txtFunnel_YouTubeID, chkAutoplay}));
    videoLayout->addWidget(text(QStringLiteral("In the following example, the video ID is the part "
                                               "of a YouTube url that you see in Blue:"),
                                video, "hint"));
    auto* example =
        new QLabel(QStringLiteral("https://www.youtube.com/watch?v=<span style=\"color:#1d4ed8; "
                                  "font-weight:700\">dQw4w9WgXcQ</span>"),
                   video);
    example->setTextFormat(Qt::RichText);
    videoLayout->addWidget(example);
    layout->addWidget(video);

    auto* link = new QGroupBox(QStringLiteral("Link Below the Video (Optional):"), box);
    link->setProperty("role", QStringLiteral("inner"));
    auto* linkLayout = new QFormLayout(link);
    txtDownloadText = named(new QLineEdit(QStringLiteral("Click Here to Download"), link),
                            QStringLiteral("txtDownloadText"));
    txtFileDownloadUrl =
        named(new QLineEdit(QStringLiteral("http://"), link), QStringLiteral("txtFileDownloadUrl"));
    linkLayout->addRow(QStringLiteral("Link Title:"), withNote(txtDownloadText));
    linkLayout->addRow(QStringLiteral("Link Url:"), txtFileDownloadUrl);
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
    auto* box = new QGroupBox(QStringLiteral("  Build Funnel "), this);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(14);
    lblWarningFinal = warning(QStringLiteral("lblWarningFinal"),
                              QStringLiteral("Important: ") + kMissingAddress, box);
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
    connect(open, &QPushButton::clicked, this, &frmMass::cmdOpenOutput_Click);
    layout->addLayout(row({build, open}));
    m_publish = new PublishPanel(
        m_paths, [this] { return settings(); }, box);
    layout->addWidget(m_publish);

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
    return box;
}

void frmMass::refreshChecklist() {
    const FunnelSettings s = settings();
    struct Item {
        QString what;
        bool done;
    };
    QList<Item> items{
        {QStringLiteral("Where the funnel will be uploaded (General Info)"),
         !s.isFunnelUrlMissing()},
        {QStringLiteral("Your opt-in form code (Lead Magnet Page)"), !s.txtoptinForm.isEmpty()},
        {QStringLiteral("The video id (Thank You Page)"), !s.txtFunnel_YouTubeID.isEmpty()},
        {QStringLiteral("A cover image (Lead Magnet Page)"),
         !s.lblSelectedFile[CoverImage].tag.isEmpty()}};
    if (s.isFileRequired(BackgroundImage))
        items.append({QStringLiteral("A background image (General Info)"),
                      !s.lblSelectedFile[BackgroundImage].tag.isEmpty()});
    QStringList lines;
    for (const Item& item : items) {
        lines << QStringLiteral("<span style=\"color:%1; font-weight:700\">%2</span>&nbsp;&nbsp;%3")
                     .arg(item.done ? QStringLiteral("#15803d") : QStringLiteral("#b91c1c"),
                          item.done ? QStringLiteral("&#10003;") : QStringLiteral("&#10007;"),
                          item.what.toHtmlEscaped());
    }
    if (!s.isFunnelUrlMissing()) {
        lines << QStringLiteral(
                     "<span style=\"color:#5b6477\">Thank you page: %1<br>Download page: %2</span>")
                     .arg(s.txtCapture_Url.toHtmlEscaped(), s.txtDownloadUrl.toHtmlEscaped());
    }
    lblChecklist->setText(lines.join(QStringLiteral("<br>")));
    frTab[BuildSection]->layout()->activate();
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

// ---- Sections and warnings ----

bool frmMass::isFunnelUrlMissing() const {
    const QString url = txtFunnelUrl->text();
    return url.isEmpty() || url == QLatin1String("http://");
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
    const bool missing = isFunnelUrlMissing();
    switch (index) {
    case 1:
        Label50_Click(0);
        lblWarningOptinForm->setVisible(missing);
        txtoptinForm->setEnabled(!missing);
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
}

void frmMass::placeLeadPanels() {
    if (!qLeadMagnet[1])
        return;
    for (auto* panel : qLeadMagnet)
        panel->adjustSize();
    qLeadMagnet[1]->move(qLeadMagnet[1]->x(),
                         qLeadMagnet[0]->y() + qLeadMagnet[0]->height() + twips(20));
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

void frmMass::txtFunnelUrl_Change() {
    m_hidden.txtFunnelUrl = txtFunnelUrl->text();
    m_hidden.drawFunnelLinks();
    txtCapture_Url->setText(m_hidden.txtCapture_Url);
    txtDownloadUrl->setText(m_hidden.txtDownloadUrl);
}

// ---- Field editors ----

void frmMass::setSwatch(int index, const QString& value) {
    lblColorPicker[index]->setColorValue(value);
}

void frmMass::lblColorPicker_Click(int index) {
    if (index < 0 || index > 5)
        return;
    const auto colour = modColorPicker::ShowColorDialog(this, lblColorPicker[index]->color());
    // Cancel keeps the swatch as it was.
    if (!colour)
        return;
    modColorPicker::SplitColor(*colour);
    setSwatch(index, modColorPicker::colorValue());
}

void frmMass::lblApply_Click(int index) {
    if (!desktop().question(this,
                            QStringLiteral("Apply this color to other fields (Lead Page Only)?"),
                            QStringLiteral("Confirm"), MessageIcon::None))
        return;
    struct Targets {
        int source;
        int first;
        int second;
    };
    Targets targets{};
    switch (index) {
    case 0:
        targets = {2, 4, 5};
        break;
    case 2:
        targets = {4, 2, 5};
        break;
    case 3:
        targets = {5, 2, 4};
        break;
    default:
        return;
    }
    const QString value = lblColorPicker[targets.source]->tag();
    setSwatch(targets.first, value);
    setSwatch(targets.second, value);
}

void frmMass::setChosenFile(int index, const QString& path) {
    lblSelectedFile[index]->setText(
        path.isEmpty() ? (index == 2 ? kNoSelectedFile : kNoSelectedImage) : path);
    lblSelectedFile[index]->setToolTip(path);
    lblSelectedFile[index]->setTag(path.isEmpty() ? QString() : GetFileName(path));
}

QString frmMass::ShowOpenFileDialog(bool imagesOnly) {
    static const QStringList images{QStringLiteral("Image Files (*.jpg *.JPG)"),
                                    QStringLiteral("Image Files (*.gif *.GIF)"),
                                    QStringLiteral("Image Files (*.png *.PNG)")};
    static const QStringList files{QStringLiteral("All Files (*.*)"),
                                   QStringLiteral("Zip Files (*.zip *.ZIP)"),
                                   QStringLiteral("PDF Files (*.pdf *.PDF)")};
    const QString start = txtLastPath->text().isEmpty() ? QDir::homePath() : txtLastPath->text();
    return desktop().openFile(this, QStringLiteral("Select File"), start,
                              imagesOnly ? images : files);
}

void frmMass::cmdFileSelect_Click(int index) {
    if (index < 0 || index > 2)
        return;
    const QString path = ShowOpenFileDialog(index != 2);
    if (path.isEmpty())
        return;
    setChosenFile(index, path);
    txtLastPath->setText(StrReplace(path, GetFileName(path), QString(), 0));
}

void frmMass::useCover(const QString& path) {
    setChosenFile(CoverImage, path);
}

void frmMass::Label40_Click() {
    desktop().setClipboardText(txtCapture_Url->text());
    desktop().message(this, QStringLiteral("Done. Url copied to clipboard."),
                      QStringLiteral("Done"), MessageIcon::Information);
}

void frmMass::Label45_Click() {
    desktop().setClipboardText(txtDownloadUrl->text());
    desktop().message(this, QStringLiteral("Done. Url copied to clipboard."),
                      QStringLiteral("Done"), MessageIcon::Information);
}

// ---- Dialogs ----

void frmMass::lblHead_Click() {
    frmHead dialog(m_hidden.headCode, this);
    if (dialog.exec() == QDialog::Accepted)
        m_hidden.headCode = dialog.headCode();
}

void frmMass::Label63_Click() {
    frmFreeWebsites dialog(this);
    dialog.exec();
}

void frmMass::Command4_Click() {
#ifdef TANDREL_HAS_COVER_CREATOR
    // The design lives with the funnel, so the cover can be changed later.
    frmCoverCreator creator(m_paths, m_hidden.coverDesign, this);
    connect(&creator, &frmCoverCreator::coverSaved, this, [this, &creator](const QString& path) {
        m_hidden.coverDesign = creator.designJson();
        useCover(path);
    });
    creator.exec();
#else
    desktop().message(this,
                      QStringLiteral("The cover creator is not available in this version yet."),
                      QStringLiteral("Info"), MessageIcon::Information);
#endif
}

void frmMass::cmdPro_Click() {
    frmPro dialog(m_hidden.retargetingCode, m_hidden.backControl, m_hidden.backUrl, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_hidden.retargetingCode = dialog.retargetingCode();
    m_hidden.backControl = dialog.backControl();
    m_hidden.backUrl = dialog.backUrl();
}

void frmMass::cmdSpinner_Click() {
#ifdef TANDREL_HAS_SPINNER
    std::array<QString, 5> articles;
    for (int i = 0; i < 5; ++i)
        articles[i] = lblSelected[i]->tag();
    auto* spinner = new frmQuickSpinner(m_paths, articles, this);
    // The five paths stay here for the run.
    connect(spinner, &frmQuickSpinner::articleChosen, this, [this](int i, const QString& path) {
        lblSelected[i]->setTag(path);
        lblSelected[i]->setText(path);
    });
    spinner->setAttribute(Qt::WA_DeleteOnClose);
    spinner->show();
#else
    desktop().message(this,
                      QStringLiteral("The article spinner is not available in this version yet."),
                      QStringLiteral("Info"), MessageIcon::Information);
#endif
}

void frmMass::lblBy_Click() {
    ShellOpen(QLatin1String(kProjectWebPage));
}

// ---- Build ----

FunnelSettings frmMass::settings() const {
    FunnelSettings s = m_hidden;
    s.txtFunnelUrl = txtFunnelUrl->text();
    s.optBackground = optBackground[1]->isChecked() ? 1 : 0;
    for (int i = 0; i < 6; ++i)
        s.lblColorPicker[i] = lblColorPicker[i]->tag();
    for (int i = 0; i < 3; ++i) {
        const QString tag = lblSelectedFile[i]->tag();
        s.lblSelectedFile[i] = {tag.isEmpty() ? QString() : lblSelectedFile[i]->text(), tag};
    }
    s.txtFooterNew = txtFooterNew->text();
    s.language = cboLanguage->currentData().toString();
    s.txtFunnel_LeadLine1 = txtFunnel_LeadLine1->text();
    s.txtFunnel_Instructions = txtFunnel_Instructions->text();
    s.txtFunnel_Privacy = txtFunnel_Privacy->text();
    s.cboCols = cboCols->currentIndex() == 0 ? 0 : 1;
    s.chkProgressBar = chkProgressBar->isChecked() ? 1 : 0;
    s.txtoptinForm = txtoptinForm->toPlainText();
    s.optAction = optAction[0]->isChecked() ? 0 : 1;
    s.txtRedirectUrl = txtRedirectUrl->text();
    s.txtBeforeRedirectMsg1 = txtBeforeRedirectMsg1->text();
    s.txtBeforeRedirectMsg2 = txtBeforeRedirectMsg2->text();
    s.txtThanks = txtThanks->text();
    s.txtFunnel_YouTubeID = txtFunnel_YouTubeID->text();
    s.chkAutoplay = chkAutoplay->isChecked() ? 1 : 0;
    s.txtDownloadText = txtDownloadText->text();
    s.txtFileDownloadUrl = txtFileDownloadUrl->text();
    s.txtCapture_Url = txtCapture_Url->text();
    s.txtDownloadUrl = txtDownloadUrl->text();
    s.publishTo = m_publish->address();
    return s;
}

void frmMass::setSettings(const FunnelSettings& s) {
    {
        // The saved page numbers stand: no new draw for this change of the address.
        const QSignalBlocker blocker(txtFunnelUrl);
        txtFunnelUrl->setText(s.txtFunnelUrl);
    }
    optBackground[s.optBackground == 1 ? 1 : 0]->setChecked(true);
    for (int i = 0; i < 6; ++i)
        setSwatch(i, s.lblColorPicker[i]);
    for (int i = 0; i < 3; ++i) {
        setChosenFile(i, s.lblSelectedFile[i].caption);
        lblSelectedFile[i]->setTag(s.lblSelectedFile[i].tag);
    }
    txtFooterNew->setText(s.txtFooterNew);
    cboLanguage->setCurrentIndex(std::max(0, cboLanguage->findData(s.language)));
    txtFunnel_LeadLine1->setText(s.txtFunnel_LeadLine1);
    txtFunnel_Instructions->setText(s.txtFunnel_Instructions);
    txtFunnel_Privacy->setText(s.txtFunnel_Privacy);
    cboCols->setCurrentIndex(s.cboCols == 0 ? 0 : 1);
    chkProgressBar->setChecked(s.chkProgressBar == 1);
    txtoptinForm->setPlainText(s.txtoptinForm);
    optAction[s.optAction == 0 ? 0 : 1]->setChecked(true);
    txtRedirectUrl->setText(s.txtRedirectUrl);
    txtBeforeRedirectMsg1->setText(s.txtBeforeRedirectMsg1);
    txtBeforeRedirectMsg2->setText(s.txtBeforeRedirectMsg2);
    txtThanks->setText(s.txtThanks);
    txtFunnel_YouTubeID->setText(s.txtFunnel_YouTubeID);
    chkAutoplay->setChecked(s.chkAutoplay == 1);
    txtDownloadText->setText(s.txtDownloadText);
    txtFileDownloadUrl->setText(s.txtFileDownloadUrl);
    m_hidden = s;
    txtCapture_Url->setText(s.txtCapture_Url);
    txtDownloadUrl->setText(s.txtDownloadUrl);
    m_publish->setAddress(s.publishTo);
    // Warnings and the opt-in box follow the new address.
    ShowSection(shownSection());
}

void frmMass::cmdBuildFunnel_Click() {
    const BuildOutcome outcome = buildFunnel(settings(), m_paths);
    switch (outcome.kind) {
    case BuildOutcome::Kind::MissingInfo:
        desktop().message(this, outcome.message, QStringLiteral("Missing Info"),
                          MessageIcon::Information);
        ShowSection(outcome.section);
        if (outcome.openOptInPanel)
            Label50_Click(1);
        return;
    case BuildOutcome::Kind::Failed:
        desktop().message(this, outcome.message, QStringLiteral("Error"), MessageIcon::Critical);
        return;
    case BuildOutcome::Kind::Built:
        break;
    }
    if (desktop().question(
            this, QStringLiteral("Process complete. Do you want to open the output folder?"),
            QStringLiteral("Done"), MessageIcon::Information))
        cmdOpenOutput_Click();
}

void frmMass::cmdOpenOutput_Click() {
    m_outputFolder = m_paths.outputTemplatesDir() + QLatin1Char('/');
    if (!FileExists(m_outputFolder, true)) {
        desktop().message(
            this,
            QStringLiteral("The output folder \"%1\" does not exist yet; build a funnel first.")
                .arg(displayPath(m_outputFolder)),
            QStringLiteral("Info"), MessageIcon::Information);
        return;
    }
    desktop().openFolder(m_outputFolder);
}

// ---- Saved funnels ----

void frmMass::showStatus(const QString& message) {
    lblStatus->setText(message);
    QTimer::singleShot(6000, lblStatus, [label = lblStatus, message] {
        if (label->text() == message)
            label->clear();
    });
}

void frmMass::cmdSaveFunnel_Click() {
    const QString suggested = m_lastFunnelFile.isEmpty()
                                  ? QDir::home().filePath(QStringLiteral("my.funnel.json"))
                                  : m_lastFunnelFile;
    QString path = desktop().saveFile(this, QStringLiteral("Save Funnel"), suggested,
                                      {QStringLiteral("Funnel Files (*.funnel.json)")});
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        path += QStringLiteral(".funnel.json");
    if (const Status saved = saveFunnelFile(path, settings()); !saved) {
        desktop().message(this, saved.error(), QStringLiteral("Error"), MessageIcon::Critical);
        return;
    }
    m_lastFunnelFile = path;
    showStatus(QStringLiteral("Saved %1").arg(QFileInfo(path).fileName()));
}

void frmMass::cmdOpenFunnel_Click() {
    const QString start =
        m_lastFunnelFile.isEmpty() ? QDir::homePath() : QFileInfo(m_lastFunnelFile).absolutePath();
    const QString path = desktop().openFile(
        this, QStringLiteral("Open Funnel"), start,
        {QStringLiteral("Funnel Files (*.funnel.json)"), QStringLiteral("All Files (*)")});
    if (path.isEmpty())
        return;
    const auto loaded = loadFunnelFile(path);
    if (!loaded) {
        desktop().message(this, loaded.error(), QStringLiteral("Error"), MessageIcon::Critical);
        return;
    }
    setSettings(loaded.value());
    m_lastFunnelFile = path;
    showStatus(QStringLiteral("Opened %1").arg(QFileInfo(path).fileName()));
}
