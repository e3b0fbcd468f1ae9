#include "frmquickspinner.h"

#include "controls.h"
#include "desktop.h"
#include "protectedwords.h"
#include "rewrite.h"
#include "spin.h"
#include "textfiles.h"
#include "tools.h"
#include "variants.h"

#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>

using namespace tandrel;

namespace {

const QString kTitle = QStringLiteral("Swiftword");
const QString kSynonymsLoading = QStringLiteral("Please Wait (Loading Synonyms)...");
const QString kProtectedKey = QStringLiteral("spinner/protectedWords");
const QString kKeepOriginalKey = QStringLiteral("spinner/keepOriginal");
const QString kBoldKey = QStringLiteral("spinner/bold");
const QString kMinDifferenceKey = QStringLiteral("spinner/minDifference");
const QString kOneVariant = QStringLiteral(
    "The rewritten article has only one variant, so every Spin shows the same text: it holds "
    "no group with two or more different choices.");
// Spin draws again while it repeats the preview, so it shows something new when it can.
constexpr int kPreviewDraws = 20;

const QStringList kTextFilters{QStringLiteral("Text Files (*.txt)"),
                               QStringLiteral("All Files (*)")};

QPlainTextEdit* textBox(const QString& name, QWidget* parent) {
    auto* box = named(new QPlainTextEdit(parent), name);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on, so the keyboard reaches every button.
    box->setTabChangesFocus(true);
    box->setMinimumHeight(60);
    return box;
}

QLabel* heading(const QString& text, const QString& name, QWidget* parent) {
    auto* label = named(new QLabel(text, parent), name);
    label->setProperty("role", QStringLiteral("heading"));
    return label;
}

const QString kFallbackNote = QStringLiteral(
    "The article was stored as Windows-1252, which cannot hold every character of the "
    "rewritten article: it will be saved as UTF-8.");

} // namespace

frmQuickSpinner::frmQuickSpinner(const AppPaths& paths, const std::array<QString, 5>& articles,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), m_paths(paths) {
    setObjectName(QStringLiteral("frmQuickSpinner"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(windowStyleSheet(QStringLiteral("frmquickspinner")));
    buildControls();
    for (int i = 0; i < int(optArticles.size()); ++i)
        optArticles[i]->setProperty("Tag", articles[i]);

    Timer1 = named(new QTimer(this), QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    tmrPleaseWait = named(new QTimer(this), QStringLiteral("tmrPleaseWait"));
    tmrPleaseWait->setInterval(300);

    connect(txtArticle, &QPlainTextEdit::textChanged, this, &frmQuickSpinner::txtArticle_Change);
    connect(vbtnConvert, &QPushButton::clicked, this, &frmQuickSpinner::vbtnConvert_Click);
    connect(vbtnLoad, &QPushButton::clicked, this, &frmQuickSpinner::vbtnLoad_Click);
    connect(vbtnPreview, &QPushButton::clicked, this, &frmQuickSpinner::vbtnPreview_Click);
    connect(vbtnCopy, &QPushButton::clicked, this, &frmQuickSpinner::vbtnCopy_Click);
    connect(cmdCopyPreview, &QPushButton::clicked, this, &frmQuickSpinner::cmdCopyPreview_Click);
    connect(vbtnSave, &QPushButton::clicked, this, &frmQuickSpinner::vbtnSave_Click);
    connect(vbtnSaveAs, &QPushButton::clicked, this, &frmQuickSpinner::vbtnSaveAs_Click);
    connect(vbtnExport, &QPushButton::clicked, this, &frmQuickSpinner::vbtnExport_Click);
    connect(txtProtected, &QLineEdit::editingFinished, this, &frmQuickSpinner::txtProtected_Change);
    connect(chkKeepOriginal, &QCheckBox::clicked, this, &frmQuickSpinner::chkKeepOriginal_Click);
    connect(optCareful, &QRadioButton::clicked, this, &frmQuickSpinner::optTier_Click);
    connect(optBold, &QRadioButton::clicked, this, &frmQuickSpinner::optTier_Click);
    connect(spnMinDifference, &QSpinBox::editingFinished, this, [this] {
        keepSetting(kMinDifferenceKey, spnMinDifference->value(),
                    QStringLiteral("The least difference between exported variants"));
    });
    connect(Command1, &QPushButton::clicked, this, &frmQuickSpinner::Command1_Click);
    connect(Timer1, &QTimer::timeout, this, &frmQuickSpinner::Timer1_Timer);
    connect(tmrPleaseWait, &QTimer::timeout, this, &frmQuickSpinner::tmrPleaseWait_Timer);

    // Fits a 1366 x 768 screen with its task bar and window frame; the
    // layout keeps every control whole down to its minimum size.
    resize(940, 680);
    Form_Load();
}

// Created in the order of reading, which is also the order of Tab.
void frmQuickSpinner::buildControls() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 10, 16, 10);
    root->setSpacing(6);

    auto* choice = new QGridLayout;
    choice->setHorizontalSpacing(10);
    choice->setVerticalSpacing(0);
    Label3 = heading(QStringLiteral("Select an Article:"), QStringLiteral("Label3"), this);
    choice->addWidget(Label3, 0, 0);
    for (int i = 0; i < int(optArticles.size()); ++i) {
        optArticles[i] = named(new QRadioButton(QStringLiteral("Article %1").arg(i + 1), this),
                               indexed("optArticles", i));
        connect(optArticles[i], &QRadioButton::clicked, this, [this, i] { optArticles_Click(i); });
        lblChooseArticle[i] = named(new ClickLabel(QStringLiteral("Choose file..."), this),
                                    indexed("lblChooseArticle", i));
        lblChooseArticle[i]->setToolTip(QStringLiteral("Choose the file of Article %1").arg(i + 1));
        connect(lblChooseArticle[i], &ClickLabel::clicked, this,
                [this, i] { lblChooseArticle_Click(i); });
        choice->addWidget(optArticles[i], 0, i + 1);
        choice->addWidget(lblChooseArticle[i], 1, i + 1);
    }
    choice->setColumnStretch(6, 1);
    root->addLayout(choice);

    auto* actions = new QHBoxLayout;
    vbtnConvert = button(QStringLiteral("Rewrite"), QStringLiteral("vbtnConvert"), this);
    vbtnConvert->setMinimumWidth(118);
    vbtnLoad = button(QStringLiteral("Load"), QStringLiteral("vbtnLoad"), this);
    vbtnLoad->setToolTip(QStringLiteral("Read the chosen article file again"));
    vbtnLoad->setMinimumWidth(100);
    lblPleaseWait =
        named(new QLabel(QStringLiteral("Please Wait"), this), QStringLiteral("lblPleaseWait"));
    lblPleaseWait->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The row keeps its place while the notice blinks.
    QSizePolicy waitPolicy = lblPleaseWait->sizePolicy();
    waitPolicy.setRetainSizeWhenHidden(true);
    lblPleaseWait->setSizePolicy(waitPolicy);
    lblPleaseWait->hide();
    optCareful =
        named(new QRadioButton(QStringLiteral("&Careful"), this), QStringLiteral("optCareful"));
    optCareful->setToolTip(QStringLiteral("Only synonyms that mean the same in nearly every "
                                          "sentence: few words change, little to check"));
    optBold = named(new QRadioButton(QStringLiteral("B&old"), this), QStringLiteral("optBold"));
    optBold->setToolTip(QStringLiteral("Also words and phrases whose sense varies more: more "
                                       "words change and variants differ more, but read the "
                                       "result for a wrong sense"));
    auto* tiers = new QButtonGroup(this);
    tiers->addButton(optCareful);
    tiers->addButton(optBold);
    optCareful->setChecked(true);
    actions->addWidget(vbtnConvert);
    actions->addWidget(optCareful);
    actions->addWidget(optBold);
    actions->addSpacing(12);
    actions->addWidget(vbtnLoad);
    actions->addStretch(1);
    actions->addWidget(lblPleaseWait);
    root->addLayout(actions);

    Label1 = heading(QStringLiteral("Article"), QStringLiteral("Label1"), this);
    root->addWidget(Label1);
    txtArticle = textBox(QStringLiteral("txtArticle"), this);
    root->addWidget(txtArticle, 3);

    auto* protectedRow = new QHBoxLayout;
    lblProtected = named(new QLabel(QStringLiteral("&Protected words:"), this),
                         QStringLiteral("lblProtected"));
    txtProtected = named(new QLineEdit(this), QStringLiteral("txtProtected"));
    txtProtected->setPlaceholderText(
        QStringLiteral("words and phrases never replaced, separated by commas"));
    lblProtected->setBuddy(txtProtected);
    chkKeepOriginal = named(new QCheckBox(QStringLiteral("&Keep the original wording among the "
                                                         "choices"),
                                          this),
                            QStringLiteral("chkKeepOriginal"));
    chkKeepOriginal->setToolTip(QStringLiteral("Each group also offers the word it replaces, so "
                                               "even a pair of synonyms varies"));
    protectedRow->addWidget(lblProtected);
    protectedRow->addWidget(txtProtected, 1);
    protectedRow->addWidget(chkKeepOriginal);
    root->addLayout(protectedRow);

    auto* resultRow = new QHBoxLayout;
    Label2 = heading(QStringLiteral("Rewritten Article"), QStringLiteral("Label2"), this);
    vbtnSave = button(QStringLiteral("Save Changes"), QStringLiteral("vbtnSave"), this);
    vbtnSave->setToolTip(QStringLiteral("Overwrite the chosen article file with the rewritten "
                                        "article"));
    vbtnSaveAs = button(QStringLiteral("Save As..."), QStringLiteral("vbtnSaveAs"), this);
    vbtnSaveAs->setToolTip(QStringLiteral("Save the rewritten article to a new file"));
    vbtnExport = button(QStringLiteral("Export Variants..."), QStringLiteral("vbtnExport"), this);
    vbtnExport->setToolTip(QStringLiteral("Write different variants to files in a folder"));
    vbtnCopy = button(QStringLiteral("Copy"), QStringLiteral("vbtnCopy"), this);
    resultRow->addWidget(Label2);
    resultRow->addStretch(1);
    spnMinDifference = named(new QSpinBox(this), QStringLiteral("spnMinDifference"));
    spnMinDifference->setRange(0, 100);
    spnMinDifference->setSuffix(QStringLiteral("%"));
    spnMinDifference->setPrefix(QStringLiteral("apart by "));
    spnMinDifference->setToolTip(QStringLiteral("Export Variants writes only variants that differ "
                                                "from each other in at least this share of "
                                                "their words (0: any different variants)"));
    spnMinDifference->setAccessibleName(QStringLiteral("Least difference between exported "
                                                       "variants, per cent of words"));
    for (QWidget* w : std::initializer_list<QWidget*>{vbtnSave, vbtnSaveAs, vbtnExport,
                                                      spnMinDifference, vbtnCopy})
        resultRow->addWidget(w);
    root->addLayout(resultRow);
    txtRewritten = textBox(QStringLiteral("txtRewritten"), this);
    root->addWidget(txtRewritten, 2);
    lblVariants = named(new QLabel(this), QStringLiteral("lblVariants"));
    lblVariants->setWordWrap(true);
    root->addWidget(lblVariants);

    auto* previewRow = new QHBoxLayout;
    Label7 = heading(QStringLiteral("Preview"), QStringLiteral("Label7"), this);
    vbtnPreview = button(QStringLiteral("Spin"), QStringLiteral("vbtnPreview"), this);
    vbtnPreview->setToolTip(QStringLiteral("Show another variant of the rewritten article"));
    cmdCopyPreview = button(QStringLiteral("Copy"), QStringLiteral("cmdCopyPreview"), this);
    previewRow->addWidget(Label7);
    previewRow->addStretch(1);
    previewRow->addWidget(vbtnPreview);
    previewRow->addWidget(cmdCopyPreview);
    root->addLayout(previewRow);
    txtPreview = textBox(QStringLiteral("txtPreview"), this);
    root->addWidget(txtPreview, 2);

    auto* bottom = new QHBoxLayout;
    lblSelected = named(new QLabel(this), QStringLiteral("lblSelected"));
    // A long path must not widen the window.
    lblSelected->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Command1 = button(QStringLiteral("Close"), QStringLiteral("Command1"), this);
    Command1->setMinimumWidth(140);
    bottom->addWidget(lblSelected, 1);
    bottom->addWidget(Command1);
    root->addLayout(bottom);
}

frmQuickSpinner::~frmQuickSpinner() {
    // The reading thread must not outlive the window it reports to.
    if (m_loading.valid())
        m_loading.wait();
}

void frmQuickSpinner::Form_Load() {
    for (QRadioButton* option : optArticles) {
        const QString path = option->property("Tag").toString();
        option->setEnabled(!path.isEmpty());
        option->setToolTip(path);
    }
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    txtProtected->setText(settings.value(kProtectedKey).toString());
    chkKeepOriginal->setChecked(settings.value(kKeepOriginalKey, false).toBool());
    (settings.value(kBoldKey, false).toBool() ? optBold : optCareful)->setChecked(true);
    spnMinDifference->setValue(std::clamp(settings.value(kMinDifferenceKey, 0).toInt(), 0, 100));
    vbtnConvert->setEnabled(false);
    Timer1->start();
}

// ---- Articles ----

bool frmQuickSpinner::mayDiscardEdits() {
    const bool edited =
        txtArticle->toPlainText() != m_loadedArticle || txtRewritten->toPlainText() != m_lastResult;
    if (!edited)
        return true;
    return desktop().questionDefaultNo(
        this,
        QStringLiteral("The article or the rewritten article holds changes that are not saved. "
                       "Discard them?"),
        kTitle, MessageIcon::Warning);
}

void frmQuickSpinner::showArticle(const QString& path, const LoadedArticle& article) {
    m_loadedArticle = article.text;
    m_format = article.format;
    txtArticle->setPlainText(article.text);
    m_lastResult.clear();
    txtRewritten->clear();
    txtPreview->clear();
    lblSelected->setText(path);
    lblSelected->setToolTip(path);
}

void frmQuickSpinner::optArticles_Click(int index) {
    const QString path = optArticles[index]->property("Tag").toString();
    if (path.isEmpty())
        return;
    if (!mayDiscardEdits()) {
        // The boxes still hold the earlier article: so must the options.
        if (m_selected >= 0) {
            optArticles[m_selected]->setChecked(true);
        } else {
            optArticles[index]->setAutoExclusive(false);
            optArticles[index]->setChecked(false);
            optArticles[index]->setAutoExclusive(true);
        }
        return;
    }
    optArticles[index]->setChecked(true);
    m_selected = index;
    const auto article = loadArticle(path);
    if (!article) {
        desktop().message(this, article.error(), QStringLiteral("Error"), MessageIcon::Critical);
        showArticle(path, LoadedArticle());
        return;
    }
    showArticle(path, article.value());
}

void frmQuickSpinner::lblChooseArticle_Click(int index) {
    const QString current = optArticles[index]->property("Tag").toString();
    const QString start = current.isEmpty() ? QDir::homePath() : QFileInfo(current).absolutePath();
    const QString path = desktop().openFile(
        this, QStringLiteral("Select Article %1").arg(index + 1), start, kTextFilters);
    if (path.isEmpty())
        return;
    optArticles[index]->setProperty("Tag", path);
    optArticles[index]->setEnabled(true);
    optArticles[index]->setToolTip(path);
    emit articleChosen(index, path);
    optArticles_Click(index);
}

void frmQuickSpinner::vbtnLoad_Click() {
    if (m_selected >= 0)
        optArticles_Click(m_selected);
}

void frmQuickSpinner::txtArticle_Change() {
    vbtnConvert->setEnabled(!txtArticle->toPlainText().isEmpty());
}

void frmQuickSpinner::keepSetting(const QString& key, const QVariant& value, const QString& what) {
    QSettings settings(settingsFile(), QSettings::IniFormat);
    if (settings.value(key) == value)
        return;
    settings.setValue(key, value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        desktop().message(this,
                          QStringLiteral("%1 could not be kept for the next start: \"%2\" could "
                                         "not be written.")
                              .arg(what, displayPath(settingsFile())),
                          QStringLiteral("Error"), MessageIcon::Critical);
}

void frmQuickSpinner::txtProtected_Change() {
    keepSetting(kProtectedKey, txtProtected->text(), QStringLiteral("The protected words"));
}

void frmQuickSpinner::chkKeepOriginal_Click() {
    keepSetting(kKeepOriginalKey, chkKeepOriginal->isChecked(),
                QStringLiteral("The choice to keep the original wording"));
}

void frmQuickSpinner::optTier_Click() {
    keepSetting(kBoldKey, optBold->isChecked(),
                QStringLiteral("The choice of careful or bold synonyms"));
}

// ---- Synonyms ----

void frmQuickSpinner::Timer1_Timer() {
    if (!m_loading.valid() && !m_synonyms) {
        startLoading();
        lblPleaseWait->setText(kSynonymsLoading);
        lblPleaseWait->show();
        return;
    }
    if (m_loading.valid() &&
        m_loading.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    takeLoadedSynonyms();
}

void frmQuickSpinner::startLoading() {
    m_loading = std::async(std::launch::async, loadSynonymDb, m_paths.synonymFile());
}

void frmQuickSpinner::takeLoadedSynonyms() {
    Timer1->stop();
    if (m_loading.valid()) {
        auto loaded = m_loading.get();
        if (loaded) {
            m_synonyms = std::move(loaded.value());
        } else {
            // Rewrites still run and replace nothing; the notice says why.
            m_synonyms = SynonymDb();
            m_loadError = loaded.error();
        }
    }
    if (m_loadError.isEmpty()) {
        lblPleaseWait->hide();
        lblPleaseWait->setText(QStringLiteral("Please Wait ..."));
    } else {
        lblPleaseWait->setText(QStringLiteral("No synonyms: the synonym file could not be read."));
        lblPleaseWait->setToolTip(m_loadError);
        lblPleaseWait->show();
    }
}

const SynonymDb& frmQuickSpinner::synonyms() {
    if (!m_synonyms) {
        if (!m_loading.valid())
            startLoading();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_loading.wait();
        QApplication::restoreOverrideCursor();
        takeLoadedSynonyms();
    }
    return *m_synonyms;
}

// ---- Rewrite, preview, copy ----

void frmQuickSpinner::vbtnConvert_Click() {
    if (txtArticle->toPlainText().isEmpty())
        return;
    tmrPleaseWait->start();
    vbtnConvert->setEnabled(false);
    const bool bold = optBold->isChecked();
    const SynonymDb rules =
        withoutProtectedTerms(synonyms().forTier(bold ? SynonymTier::Bold : SynonymTier::Careful),
                              parseProtectedWords(txtProtected->text()));
    const QString article = txtArticle->toPlainText();
    const RewriteResult result = Reescribir(article, rules, chkKeepOriginal->isChecked(),
                                            bold ? Neighbours::Share : Neighbours::KeepApart);
    // The other tier's figures stay beside these while nothing else changed.
    const QString input =
        article + QChar(0) + txtProtected->text() + (chkKeepOriginal->isChecked() ? u'1' : u'0');
    m_tierFigures[bold ? 1 : 0] = {
        input, variantSummaryText(summarizeVariants(result.spinText, article, randomGenerator(),
                                                    &result.replaced))};
    const auto line = [&](bool boldTier) {
        return (boldTier ? QStringLiteral("Bold: ") : QStringLiteral("Careful: ")) +
               m_tierFigures[boldTier ? 1 : 0].text;
    };
    QString figures = line(bold);
    if (m_tierFigures[bold ? 0 : 1].input == input)
        figures += u'\n' + line(!bold);
    lblVariants->setText(figures);
    desktop().message(this, result.report, QStringLiteral("Done"), MessageIcon::Information);
    // The box keeps the spin text, so every Spin and export draws from all its groups.
    m_lastResult = result.spinText;
    txtRewritten->setPlainText(result.spinText);
    vbtnConvert->setEnabled(true);
    tmrPleaseWait->stop();
    if (m_loadError.isEmpty())
        lblPleaseWait->hide();
    vbtnPreview_Click();
    // The next key goes to the result, never to Load, which would throw it away.
    txtRewritten->setFocus(Qt::OtherFocusReason);
}

void frmQuickSpinner::tmrPleaseWait_Timer() {
    lblPleaseWait->setVisible(!lblPleaseWait->isVisible());
}

void frmQuickSpinner::vbtnPreview_Click() {
    const QString spinText = txtRewritten->toPlainText();
    const QString previous = txtPreview->toPlainText();
    QString preview = Spin(spinText);
    for (int i = 1; i < kPreviewDraws && preview == previous; ++i)
        preview = Spin(spinText);
    txtPreview->setPlainText(preview);
    if (preview == previous && !spinText.isEmpty() && VariantSpace(spinText).count() == 1)
        lblVariants->setText(kOneVariant);
    else if (lblVariants->text() == kOneVariant)
        lblVariants->clear(); // the text was edited since
}

void frmQuickSpinner::vbtnCopy_Click() {
    if (txtRewritten->toPlainText().isEmpty())
        return;
    desktop().setClipboardText(txtRewritten->toPlainText());
    desktop().message(this, QStringLiteral("Done! Content copied to clipboard"),
                      QStringLiteral("Wordloom"), MessageIcon::Information);
}

void frmQuickSpinner::cmdCopyPreview_Click() {
    if (txtRewritten->toPlainText().isEmpty())
        return;
    desktop().setClipboardText(txtPreview->toPlainText());
    desktop().message(this, QStringLiteral("Done! Content copied to clipboard"),
                      QStringLiteral("Wordloom"), MessageIcon::Information);
}

// ---- Save, export, close ----

bool frmQuickSpinner::resultIsEmpty(const QString& nothingDone) {
    if (!txtRewritten->toPlainText().isEmpty())
        return false;
    desktop().message(this,
                      QStringLiteral("There is no rewritten article yet; %1.").arg(nothingDone),
                      kTitle, MessageIcon::Information);
    return true;
}

void frmQuickSpinner::writeResult(const QString& path, const QString& question) {
    const QString result = txtRewritten->toPlainText();
    bool fellBack = false;
    const QByteArray bytes = encodeArticle(result, m_format, &fellBack);
    QString ask = question;
    if (fellBack)
        ask = ask.isEmpty() ? kFallbackNote + QStringLiteral(" Save?")
                            : ask + QStringLiteral("\n\n") + kFallbackNote;
    if (!ask.isEmpty() && !desktop().questionDefaultNo(this, ask, QStringLiteral("Warning"),
                                                       MessageIcon::Information))
        return;
    if (const Status saved = writeFileAtomically(path, bytes); !saved) {
        desktop().message(this, saved.error(), QStringLiteral("Error"), MessageIcon::Critical);
        return;
    }
    m_lastResult = result;
    desktop().message(this, QStringLiteral("Done!"), QStringLiteral("File Saved"),
                      MessageIcon::Information);
}

void frmQuickSpinner::vbtnSave_Click() {
    if (resultIsEmpty(QStringLiteral("nothing was saved")))
        return;
    const QString path = lblSelected->text();
    if (path.isEmpty()) { // a pasted article has no file of its own
        vbtnSaveAs_Click();
        return;
    }
    writeResult(path,
                QStringLiteral("Warning, this will overwrite your original article \"%1\" (we "
                               "recommend you to make backups of your articles). Confirm?")
                    .arg(displayPath(path)));
}

void frmQuickSpinner::vbtnSaveAs_Click() {
    if (resultIsEmpty(QStringLiteral("nothing was saved")))
        return;
    const QString article = lblSelected->text();
    const QString folder = article.isEmpty() ? QDir::homePath() : QFileInfo(article).absolutePath();
    const QString suggested =
        QDir(folder).filePath(variantStem(article) + QStringLiteral("-spun.txt"));
    const QString path = desktop().saveFile(this, QStringLiteral("Save Rewritten Article As"),
                                            suggested, kTextFilters);
    if (path.isEmpty())
        return;
    // The file dialog asked before replacing a file.
    writeResult(path, QString());
}

void frmQuickSpinner::vbtnExport_Click() {
    if (resultIsEmpty(QStringLiteral("nothing was exported")))
        return;
    const auto count = desktop().askNumber(this, QStringLiteral("Export Variants"),
                                           QStringLiteral("How many different variants?"),
                                           kDefaultVariants, 1, kMostVariants);
    if (!count)
        return;
    const QString article = lblSelected->text();
    const QString folder = desktop().chooseFolder(
        this, QStringLiteral("Export Variants To"),
        article.isEmpty() ? QDir::homePath() : QFileInfo(article).absolutePath());
    if (folder.isEmpty())
        return;
    const VariantSpace space(txtRewritten->toPlainText());
    const double floor = spnMinDifference->value() / 100.0;
    const int files = variantsToExport(space, *count);
    const QString stem = variantStem(article);
    const QStringList paths = variantFilePaths(folder, stem, files);
    const bool taken = std::any_of(paths.begin(), paths.end(),
                                   [](const QString& p) { return QFileInfo::exists(p); });
    if (taken && !desktop().questionDefaultNo(
                     this,
                     QStringLiteral("Files named %1 and so on are already in "
                                    "\"%2\". Replace them?")
                         .arg(QFileInfo(paths.first()).fileName(), displayPath(folder)),
                     QStringLiteral("Warning"), MessageIcon::Warning))
        return;
    // Files of a bigger earlier export would pass for variants of this one.
    QStringList stale = staleVariantFiles(folder, stem, files);
    QStringList names;
    for (const QString& path : stale)
        names << QFileInfo(path).fileName();
    const QString staleNames = names.size() <= 4
                                   ? names.join(QStringLiteral(", "))
                                   : names.first() + QStringLiteral(" to ") + names.last();
    const bool removeStale =
        !stale.isEmpty() &&
        desktop().questionDefaultNo(
            this,
            QStringLiteral("\"%1\" also holds %2 %3 of an earlier export (%4) that this export "
                           "does not replace. Remove them?")
                .arg(displayPath(folder))
                .arg(stale.size())
                .arg(stale.size() == 1 ? QStringLiteral("file") : QStringLiteral("files"),
                     staleNames),
            QStringLiteral("Export Variants"), MessageIcon::Warning);
    bool fellBack = false;
    const auto written = exportVariants(space, files, folder, stem, m_format, true,
                                        randomGenerator(), &fellBack, floor);
    if (!written) {
        desktop().message(this, written.error(), QStringLiteral("Error"), MessageIcon::Critical);
        return;
    }
    QStringList notRemoved;
    if (removeStale) {
        for (const QString& path : stale) {
            if (!QFile::remove(path))
                notRemoved << QFileInfo(path).fileName();
        }
    }
    const int writtenCount = written.value();
    QString done;
    if (writtenCount == *count)
        done = QStringLiteral("%1 different variants were written to \"%2\".");
    else if (writtenCount == 1)
        done =
            QStringLiteral("The rewritten article has only %1 variant; it was written to \"%2\".");
    else
        done = QStringLiteral("The rewritten article has only %1 different variants; they were "
                              "written to \"%2\".");
    done = done.arg(writtenCount).arg(displayPath(folder));
    if (floor > 0 && writtenCount < files)
        done = floorShortfall(writtenCount, *count, floor) +
               QStringLiteral(" They are in \"%1\".").arg(displayPath(folder));
    if (fellBack)
        done += QStringLiteral(" Some hold characters that Windows-1252 cannot and were written "
                               "as UTF-8.");
    if (!stale.isEmpty() && !removeStale)
        done +=
            QStringLiteral(" The files of an earlier export are still there: %1.").arg(staleNames);
    if (!notRemoved.isEmpty())
        done += QStringLiteral(" These files of an earlier export could not be removed: %1.")
                    .arg(notRemoved.join(QStringLiteral(", ")));
    desktop().message(this, done, QStringLiteral("Export Variants"), MessageIcon::Information);
}

void frmQuickSpinner::Command1_Click() {
    close();
}

void frmQuickSpinner::closeDiscarding() {
    m_discarding = true;
    close();
}

void frmQuickSpinner::closeEvent(QCloseEvent* event) {
    if (!m_discarding && !mayDiscardEdits()) {
        event->ignore();
        return;
    }
    txtProtected_Change();
    QWidget::closeEvent(event);
}
