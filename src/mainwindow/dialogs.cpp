#include "dialogs.h"

#include "controls.h"
#include "desktop.h"
#include "pastecheck.h"
#include "sectionparts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* wrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Accept and Cancel on the right, as every dialog of the program has them.
QHBoxLayout* acceptCancelRow(QDialog* dialog, QPushButton*& accept) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    accept = tandrel::button(QStringLiteral("Accept"), QStringLiteral("Command1"), dialog);
    accept->setDefault(true);
    auto* cancel = tandrel::button(QStringLiteral("Cancel"), QStringLiteral("Command2"), dialog);
    row->addWidget(accept);
    row->addWidget(cancel);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return row;
}

// Tab moves on from a code box, as everywhere else; Ctrl+Tab types a tab.
class CodeTabKeys : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier) {
                static_cast<QPlainTextEdit*>(watched)->insertPlainText(QStringLiteral("\t"));
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

QPlainTextEdit* codeBox(const QString& name, const QString& code, QWidget* parent) {
    auto* box = new QPlainTextEdit(code, parent);
    box->setObjectName(name);
    box->setFont(QFont(QStringLiteral("Monospace")));
    box->setTabChangesFocus(true);
    box->installEventFilter(new CodeTabKeys(box));
    box->setToolTip(QStringLiteral("Ctrl+Tab types a tab"));
    return box;
}

} // namespace

frmHead::frmHead(const QString& headCode, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmHead"));
    setWindowTitle(QStringLiteral("Add Code"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrappedLabel(
        QStringLiteral("If you need to add an HTML code to the <head> section to this page "
                       "(because your autoresponder requires it etc), you can do it from here."),
        this));
    layout->addWidget(new QLabel(QStringLiteral("HTML Code:"), this));
    txtHEADCode = codeBox(QStringLiteral("txtHEADCode"), headCode, this);
    txtHEADCode->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(txtHEADCode, 1);
    QPushButton* accept = nullptr;
    layout->addLayout(acceptCancelRow(this, accept));
    connect(accept, &QPushButton::clicked, this, &frmHead::Command1_Click);
    resize(560, 340);
}

QString frmHead::headCode() const {
    return txtHEADCode->toPlainText();
}
void frmHead::Command1_Click() {
    accept();
}
void frmHead::Command2_Click() {
    reject();
}

// Only hosts Publish can reach, each with the address form that reaches it.
const QList<frmFreeWebsites::Host>& frmFreeWebsites::hosts() {
    static const QList<Host> list{
        {QStringLiteral("GitHub Pages"), QStringLiteral("https://pages.github.com/"),
         QStringLiteral("Publish to the git branch git@github.com:you/you.github.io.git#main")},
        {QStringLiteral("Codeberg Pages"), QStringLiteral("https://codeberg.page/"),
         QStringLiteral("Publish to the git branch git@codeberg.org:you/pages.git#main")},
        {QStringLiteral("Cloudflare Pages"), QStringLiteral("https://pages.cloudflare.com/"),
         QStringLiteral("Connect it to a GitHub repository, then publish to its git branch")},
        {QStringLiteral("Netlify"), QStringLiteral("https://www.netlify.com/pricing/"),
         QStringLiteral("Connect it to a GitHub repository, then publish to its git branch")},
        {QStringLiteral("InfinityFree"), QStringLiteral("https://www.infinityfree.com/"),
         QStringLiteral("Publish to ftp://your-ftp-user@ftpupload.net/htdocs (FTP)")},
    };
    return list;
}

frmFreeWebsites::frmFreeWebsites(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmFreeWebsites"));
    setWindowTitle(QStringLiteral("Free Hosting"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrappedLabel(
        QStringLiteral(
            "Below You Can See Some Sites Where You Can Host Your Websites (Funnels) For Free:"),
        this));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setWordWrap(true);
    List1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    List1->setSpacing(2);
    for (const Host& host : hosts()) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1: %2\n    %3").arg(host.name, host.url, host.how), List1);
        item->setData(Qt::UserRole, host.url);
    }
    List1->setCurrentRow(-1);
    layout->addWidget(List1, 1);
    layout->addWidget(wrappedLabel(QStringLiteral("Double click any url to open it."), this));
    layout->addWidget(wrappedLabel(
        QStringLiteral(
            "Comment: As with most of the free webhosting providers, you need to know that some "
            "providers may show ads on your site and some not and that they may stop providing "
            "the free hosting service at anytime."),
        this));
    layout->addWidget(wrappedLabel(
        QStringLiteral(
            "Please consider this list as a reference. If you need more free webhosting providers "
            "we strongly encourage you to search for more websites through Google, Yahoo or Bing."),
        this));
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* close = tandrel::button(QStringLiteral("Close"), QStringLiteral("Command1"), this);
    row->addWidget(close);
    layout->addLayout(row);
    connect(close, &QPushButton::clicked, this, &frmFreeWebsites::Command1_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, &frmFreeWebsites::List1_DblClick);
    resize(620, 420);
}

void frmFreeWebsites::List1_DblClick() {
    const QListWidgetItem* item = List1->currentItem();
    // Nothing selected: nothing to open.
    if (!item || !item->isSelected())
        return;
    const QString url = item->data(Qt::UserRole).toString();
    if (!tandrel::ShellOpen(url))
        tandrel::desktop().message(this,
                                   QStringLiteral("The web page %1 could not be opened.").arg(url),
                                   QStringLiteral("Error"), tandrel::MessageIcon::Warning);
}

void frmFreeWebsites::Command1_Click() {
    accept();
}

frmPrivacyReport::frmPrivacyReport(const QString& summary, const QStringList& lines,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmPrivacyReport"));
    setWindowTitle(QStringLiteral("Privacy Report"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = wrappedLabel(
        QStringLiteral("What the built pages tell others about your visitors: %1.").arg(summary),
        this);
    heading->setObjectName(QStringLiteral("lblPrivacySummary"));
    layout->addWidget(heading);
    auto* list = new QListWidget(this);
    list->setObjectName(QStringLiteral("lstPrivacyReport"));
    // Lines are sentences: wrapped, never cut at the dialog's edge.
    list->setWordWrap(true);
    list->setTextElideMode(Qt::ElideNone);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setSpacing(3);
    list->addItems(lines);
    if (lines.isEmpty())
        list->addItem(QStringLiteral("No outside host, no browser storage, no picture metadata, "
                                     "no ticked consent box, no form over plain http."));
    layout->addWidget(list, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* close = tandrel::button(QStringLiteral("Close"), QStringLiteral("cmdClose"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(close);
    layout->addLayout(row);
    resize(760, 440);
}

frmPro::frmPro(const QString& retargetingCode, bool backControl, const QString& backUrl,
               QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmPro"));
    setWindowTitle(QStringLiteral("Retargeting / Back Control"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrappedLabel(
        QStringLiteral("Retargeting code (your ad platform's tracking pixel or script). "
                       "It is placed at the end of the opt-in page:"),
        this));
    txtRetargeting = codeBox(QStringLiteral("txtRetargeting"), retargetingCode, this);
    layout->addWidget(txtRetargeting, 1);
    chkBackControl = new QCheckBox(
        QStringLiteral(
            "Back Control: send visitors who press the browser's Back button to this address:"),
        this);
    chkBackControl->setObjectName(QStringLiteral("chkBackControl"));
    chkBackControl->setChecked(backControl);
    layout->addWidget(chkBackControl);
    txtBackUrl = new QLineEdit(backUrl, this);
    txtBackUrl->setObjectName(QStringLiteral("txtBackUrl"));
    txtBackUrl->setPlaceholderText(QStringLiteral("https://"));
    txtBackUrl->setEnabled(backControl);
    layout->addWidget(txtBackUrl);
    auto* note = wrappedLabel(QString(), this);
    note->setObjectName(QStringLiteral("lblNote_txtBackUrl"));
    note->setProperty("role", QStringLiteral("note"));
    note->hide();
    layout->addWidget(note);
    const auto showNote = [this, note] {
        note->setText(tandrel::webAddressNote(txtBackUrl->text()));
        note->setVisible(!note->text().isEmpty());
    };
    // The note comes when the box is left and goes as soon as the address is mended.
    connect(txtBackUrl, &QLineEdit::textChanged, note, [note, showNote] {
        if (note->isVisibleTo(note->parentWidget()))
            showNote();
    });
    connect(txtBackUrl, &QLineEdit::editingFinished, this, [this, showNote] {
        if (const QString mended = tandrel::parts::mendedAddress(txtBackUrl->text());
            mended != txtBackUrl->text())
            txtBackUrl->setText(mended);
        showNote();
    });
    connect(chkBackControl, &QCheckBox::toggled, txtBackUrl, &QLineEdit::setEnabled);
    QPushButton* accept = nullptr;
    layout->addLayout(acceptCancelRow(this, accept));
    connect(accept, &QPushButton::clicked, this, &frmPro::Command1_Click);
    resize(560, 360);
}

QString frmPro::retargetingCode() const {
    return txtRetargeting->toPlainText();
}
bool frmPro::backControl() const {
    return chkBackControl->isChecked();
}
QString frmPro::backUrl() const {
    // Without a scheme the page would send Back to an address below its own.
    return tandrel::withScheme(txtBackUrl->text());
}

void frmPro::Command1_Click() {
    // Back control without an address would send visitors to an empty page.
    if (backControl() && backUrl().trimmed().isEmpty()) {
        tandrel::desktop().message(
            this,
            QStringLiteral("Please enter the address to send visitors to when they press Back."),
            QStringLiteral("Missing Info"), tandrel::MessageIcon::Information);
        txtBackUrl->setFocus();
        return;
    }
    accept();
}

void frmPro::Command2_Click() {
    reject();
}
