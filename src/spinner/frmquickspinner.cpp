#include "frmquickspinner.h"

#include "controls.h"
#include "desktop.h"
#include "rewrite.h"
#include "spin.h"
#include "textfiles.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTimer>

using namespace tandrel;

namespace {

constexpr int twips(int value) {
    return value / 15;
}
// The article box keeps this much of the window's width free (700 twips).
constexpr int kArticleMargin = 47;

const QString kSynonymsLoading = QStringLiteral("Please Wait (Loading Synonyms)...");

QPlainTextEdit* textBox(const QString& name, QWidget* parent) {
    auto* box = named(new QPlainTextEdit(parent), name);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return box;
}

const char kStyle[] = R"(
frmQuickSpinner { background: #f4f6fb; }
QLabel[role="heading"] { font-weight: 700; color: #3b1a5a; }
QLabel#lblPleaseWait { color: #8a4b00; font-weight: 600; }
QLabel#lblSelected { color: #5b6477; }
tandrel--ClickLabel { color: #1d4ed8; text-decoration: underline; font-size: 8pt; }
QPlainTextEdit { background: white; border: 1px solid #c5ccda; border-radius: 5px; }
QPushButton { border: 1px solid #b9c1d1; border-radius: 6px; padding: 3px 12px; background: white; }
QPushButton:hover { background: #f1ecf8; }
QPushButton#vbtnConvert { background: #6d2e8c; color: white; border-color: #5a2375; font-weight: 700; }
QPushButton#vbtnConvert:disabled { background: #c9b8d6; border-color: #c9b8d6; }
)";

} // namespace

frmQuickSpinner::frmQuickSpinner(const AppPaths& paths, const std::array<TagLabel*, 5>& articles,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), m_paths(paths), m_articles(articles) {
    setObjectName(QStringLiteral("frmQuickSpinner"));
    setWindowTitle(QStringLiteral("Swiftword"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromUtf8(kStyle));

    Label3 =
        named(new QLabel(QStringLiteral("Select an Article:"), this), QStringLiteral("Label3"));
    Label3->setProperty("role", QStringLiteral("heading"));
    Label3->setGeometry(twips(315), 10, 140, 20);
    for (int i = 0; i < 5; ++i) {
        const int left = 160 + i * twips(1260);
        optArticles[i] = named(new QRadioButton(QStringLiteral("Article %1").arg(i + 1), this),
                               indexed("optArticles", i));
        optArticles[i]->setGeometry(left, 10, twips(1185), 20);
        connect(optArticles[i], &QRadioButton::clicked, this, [this, i] { optArticles_Click(i); });
        lblChooseArticle[i] = named(new ClickLabel(QStringLiteral("Choose file..."), this),
                                    indexed("lblChooseArticle", i));
        lblChooseArticle[i]->setToolTip(QStringLiteral("Choose the file of Article %1").arg(i + 1));
        lblChooseArticle[i]->setGeometry(left + 20, 31, twips(1260) - 4, 16);
        connect(lblChooseArticle[i], &ClickLabel::clicked, this,
                [this, i] { lblChooseArticle_Click(i); });
    }

    vbtnConvert =
        named(new QPushButton(QStringLiteral("Rewrite"), this), QStringLiteral("vbtnConvert"));
    vbtnConvert->setGeometry(twips(1080), 58, twips(1770), twips(375));
    vbtnLoad = named(new QPushButton(QStringLiteral("Load"), this), QStringLiteral("vbtnLoad"));
    vbtnLoad->setToolTip(QStringLiteral("Read the chosen article file again"));
    vbtnLoad->setGeometry(twips(4770), 58, twips(1500), twips(375));
    lblPleaseWait =
        named(new QLabel(QStringLiteral("Please Wait"), this), QStringLiteral("lblPleaseWait"));
    lblPleaseWait->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblPleaseWait->resize(twips(4650), twips(330));
    lblPleaseWait->hide();

    Label1 = named(new QLabel(QStringLiteral("Article"), this), QStringLiteral("Label1"));
    Label1->setProperty("role", QStringLiteral("heading"));
    Label1->setGeometry(twips(315), 92, 200, 18);
    txtArticle = textBox(QStringLiteral("txtArticle"), this);
    txtArticle->move(twips(315), 112);

    Label2 = named(new QLabel(QStringLiteral("Rewritten Article"), this), QStringLiteral("Label2"));
    Label2->setProperty("role", QStringLiteral("heading"));
    Label2->setGeometry(twips(360), 330, 200, 18);
    vbtnSave =
        named(new QPushButton(QStringLiteral("Save Changes"), this), QStringLiteral("vbtnSave"));
    vbtnSave->setGeometry(400, 324, twips(1770), twips(420));
    vbtnCopy = named(new QPushButton(QStringLiteral("Copy"), this), QStringLiteral("vbtnCopy"));
    vbtnCopy->setGeometry(twips(8010), 327, twips(960), twips(330));
    txtRewritten = textBox(QStringLiteral("txtRewritten"), this);
    txtRewritten->setGeometry(twips(360), 354, twips(11670), 150);

    Label7 = named(new QLabel(QStringLiteral("Preview"), this), QStringLiteral("Label7"));
    Label7->setProperty("role", QStringLiteral("heading"));
    Label7->setGeometry(twips(360), 518, 200, 18);
    vbtnPreview =
        named(new QPushButton(QStringLiteral("Spin"), this), QStringLiteral("vbtnPreview"));
    vbtnPreview->setGeometry(400, 512, twips(1770), twips(420) - 4);
    cmdCopyPreview =
        named(new QPushButton(QStringLiteral("Copy"), this), QStringLiteral("cmdCopyPreview"));
    cmdCopyPreview->setGeometry(twips(8010), 515, twips(960), twips(330));
    txtPreview = textBox(QStringLiteral("txtPreview"), this);
    txtPreview->setGeometry(twips(360), 542, twips(11670), 120);

    lblSelected = named(new QLabel(this), QStringLiteral("lblSelected"));
    lblSelected->setGeometry(twips(360), 668, twips(11670), 18);
    Command1 = named(new QPushButton(QStringLiteral("Close"), this), QStringLiteral("Command1"));
    Command1->setGeometry(twips(4950), 692, twips(2130), twips(465));

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
    connect(Command1, &QPushButton::clicked, this, &frmQuickSpinner::Command1_Click);
    connect(Timer1, &QTimer::timeout, this, &frmQuickSpinner::Timer1_Timer);
    connect(tmrPleaseWait, &QTimer::timeout, this, &frmQuickSpinner::tmrPleaseWait_Timer);

    setMinimumSize(twips(12400), 735);
    resize(twips(12400), 735);
    Form_Load();
}

frmQuickSpinner::~frmQuickSpinner() {
    // The reading thread must not outlive the window it reports to.
    if (m_loading.valid())
        m_loading.wait();
}

void frmQuickSpinner::Form_Load() {
    for (int i = 0; i < 5; ++i) {
        const QString path = m_articles[i] ? m_articles[i]->tag() : QString();
        optArticles[i]->setProperty("Tag", path);
        optArticles[i]->setEnabled(!path.isEmpty());
        optArticles[i]->setToolTip(path);
    }
    vbtnConvert->setEnabled(false);
    Timer1->start();
    ArrangeControls();
}

void frmQuickSpinner::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeControls();
}

void frmQuickSpinner::ArrangeControls() {
    const int articleWidth = std::max(0, width() - kArticleMargin);
    txtArticle->setGeometry(txtArticle->x(), txtArticle->y(), articleWidth, twips(3255));
    lblPleaseWait->move(std::max(0, width() - kArticleMargin - lblPleaseWait->width()), 60);
}

// ---- Articles ----

void frmQuickSpinner::optArticles_Click(int index) {
    const QString path = optArticles[index]->property("Tag").toString();
    if (path.isEmpty())
        return;
    optArticles[index]->setChecked(true);
    const auto text = LoadTextFile(path);
    if (!text) {
        desktop().message(this, text.error(), QStringLiteral("Error"), MessageIcon::Critical);
        txtArticle->clear();
    } else {
        txtArticle->setPlainText(text.value());
    }
    lblSelected->setText(path);
}

void frmQuickSpinner::lblChooseArticle_Click(int index) {
    const QString current = optArticles[index]->property("Tag").toString();
    const QString start = current.isEmpty() ? QDir::homePath() : QFileInfo(current).absolutePath();
    const QString path =
        desktop().openFile(this, QStringLiteral("Select Article %1").arg(index + 1), start,
                           {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")});
    if (path.isEmpty())
        return;
    // The main window keeps the path for the rest of the run.
    if (m_articles[index]) {
        m_articles[index]->setTag(path);
        m_articles[index]->setText(path);
    }
    optArticles[index]->setProperty("Tag", path);
    optArticles[index]->setEnabled(true);
    optArticles[index]->setToolTip(path);
    optArticles_Click(index);
}

void frmQuickSpinner::vbtnLoad_Click() {
    for (int i = 0; i < 5; ++i) {
        if (optArticles[i]->isChecked())
            optArticles_Click(i);
    }
}

void frmQuickSpinner::txtArticle_Change() {
    vbtnConvert->setEnabled(!txtArticle->toPlainText().isEmpty());
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

// ---- Rewrite, preview, copy, save ----

void frmQuickSpinner::vbtnConvert_Click() {
    if (txtArticle->toPlainText().isEmpty())
        return;
    tmrPleaseWait->start();
    vbtnConvert->setEnabled(false);
    const RewriteResult result = Reescribir(txtArticle->toPlainText(), synonyms());
    m_lastSpinText = result.spinText;
    desktop().message(this, result.report, QStringLiteral("Done"), MessageIcon::Information);
    txtRewritten->setPlainText(Spin(result.spinText));
    vbtnConvert->setEnabled(true);
    tmrPleaseWait->stop();
    if (m_loadError.isEmpty())
        lblPleaseWait->hide();
    vbtnPreview_Click();
}

void frmQuickSpinner::tmrPleaseWait_Timer() {
    lblPleaseWait->setVisible(!lblPleaseWait->isVisible());
}

void frmQuickSpinner::vbtnPreview_Click() {
    txtPreview->setPlainText(Spin(txtRewritten->toPlainText()));
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

void frmQuickSpinner::vbtnSave_Click() {
    const QString path = lblSelected->text();
    if (path.isEmpty()) {
        desktop().message(this,
                          QStringLiteral("Please choose an article file first; nothing was saved."),
                          QStringLiteral("Save Changes"), MessageIcon::Information);
        return;
    }
    if (!desktop().question(this,
                            QStringLiteral("Warning, this will overwrite your original article (we "
                                           "recommend you to make backups of "
                                           "your artices). Confirm?"),
                            QStringLiteral("Warning"), MessageIcon::Information))
        return;
    if (const Status saved = SaveTextFile(path, txtRewritten->toPlainText()); !saved) {
        desktop().message(this, saved.error(), QStringLiteral("Error"), MessageIcon::Critical);
        return;
    }
    desktop().message(this, QStringLiteral("Done!"), QStringLiteral("File Saved"),
                      MessageIcon::Information);
}

void frmQuickSpinner::Command1_Click() {
    close();
}
