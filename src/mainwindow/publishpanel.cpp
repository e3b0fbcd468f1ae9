#include "publishpanel.h"

#include "buildrecord.h"
#include "desktop.h"
#include "gitpublish.h"
#include "privacyreport.h"
#include "publish.h"
#include "publishhistory.h"
#include "theme.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

using namespace tandrel;

namespace {

constexpr char kConnectionsSetting[] = "publish/connections";

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

PublishPanel::PublishPanel(const AppPaths& paths, std::function<FunnelSettings()> currentSettings,
                           QWidget* parent)
    : QGroupBox(QStringLiteral("Publish"), parent), m_paths(paths),
      m_currentSettings(std::move(currentSettings)) {
    setObjectName(QStringLiteral("grpPublish"));
    setProperty("role", QStringLiteral("inner"));
    auto* layout = new QVBoxLayout(this);
    auto* form = m_form = new QFormLayout;
    txtPublishTo = named(new QLineEdit(this), "txtPublishTo");
    txtPublishTo->setPlaceholderText(QStringLiteral("sftp://user@example.com/var/www/guide"));
    txtPublishTo->setToolTip(QStringLiteral(
        "sftp://, ftps:// (FTP with TLS) or ftp:// followed by your user name, the server and "
        "the folder the funnel's address points to; s3://KEYID@bucket/prefix for object "
        "storage; git@host:user/repo.git#branch/folder for a Pages host"));
    form->addRow(QStringLiteral("Host address:"), txtPublishTo);
    txtPublishPassword = named(new QLineEdit(this), "txtPublishPassword");
    txtPublishPassword->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password:"), txtPublishPassword);
    txtPublishKey = named(new QLineEdit(this), "txtPublishKey");
    txtPublishKey->setPlaceholderText(QStringLiteral("SFTP only, instead of a password"));
    cmdPublishKey = named(new QPushButton(QStringLiteral("Browse..."), this), "cmdPublishKey");
    auto* keyRow = new QHBoxLayout;
    m_keyRow = keyRow;
    keyRow->addWidget(txtPublishKey, 1);
    keyRow->addWidget(cmdPublishKey);
    form->addRow(QStringLiteral("Key file:"), keyRow);
    // For s3:// addresses: the bucket alone does not say where the storage is.
    txtS3Endpoint = named(new QLineEdit(this), "txtS3Endpoint");
    txtS3Endpoint->setPlaceholderText(QStringLiteral("empty: Amazon S3"));
    txtS3Endpoint->setToolTip(
        QStringLiteral("The storage's address, such as https://s3.eu-central-1.amazonaws.com or "
                       "https://ACCOUNT.r2.cloudflarestorage.com"));
    txtS3Region = named(new QLineEdit(this), "txtS3Region");
    txtS3Region->setPlaceholderText(QStringLiteral("us-east-1"));
    // The usual region names whole, even in the smallest window.
    txtS3Region->setMinimumWidth(
        txtS3Region->fontMetrics().horizontalAdvance(QStringLiteral("eu-central-1")) + 16);
    txtS3Region->setToolTip(QStringLiteral("The bucket's region (\"auto\" for Cloudflare R2)"));
    chkS3PathStyle = named(new QCheckBox(QStringLiteral("Path-style"), this), "chkS3PathStyle");
    chkS3PathStyle->setToolTip(
        QStringLiteral("The bucket in the path (endpoint/bucket) rather than in the host name "
                       "(bucket.endpoint): for MinIO, Ceph and endpoints given by IP address"));
    auto* s3Row = new QHBoxLayout;
    m_s3Row = s3Row;
    s3Row->addWidget(txtS3Endpoint, 3);
    s3Row->addWidget(txtS3Region, 1);
    s3Row->addWidget(chkS3PathStyle);
    form->addRow(QStringLiteral("S3 endpoint:"), s3Row);
    chkRememberPassword =
        named(new QCheckBox(QStringLiteral("Remember password"), this), "chkRememberPassword");
    chkRememberPassword->setToolTip(
        QStringLiteral("Kept in your desktop's keyring, never in a file"));
    spnConnections = named(new QSpinBox(this), "spnConnections");
    spnConnections->setRange(1, 16);
    spnConnections->setValue(QSettings(settingsFile(), QSettings::IniFormat)
                                 .value(QLatin1String(kConnectionsSetting), 4)
                                 .toInt());
    spnConnections->setToolTip(QStringLiteral(
        "Pictures and stylesheets go over this many connections at once; 1 for a host that "
        "allows a single login"));
    auto* optionsRow = new QHBoxLayout;
    optionsRow->addWidget(chkRememberPassword);
    optionsRow->addStretch();
    optionsRow->addWidget(new QLabel(QStringLiteral("Connections:"), this));
    optionsRow->addWidget(spnConnections);
    form->addRow(QString(), optionsRow);
    connect(spnConnections, &QSpinBox::valueChanged, this, [this](int n) {
        QSettings(settingsFile(), QSettings::IniFormat)
            .setValue(QLatin1String(kConnectionsSetting), n);
    });
    layout->addLayout(form);
    lblPublishNote = named(new QLabel(this), "lblPublishNote");
    lblPublishNote->setProperty("role", QStringLiteral("note"));
    lblPublishNote->setWordWrap(true);
    lblPublishNote->hide();
    layout->addWidget(lblPublishNote);

    cmdTestConnection =
        named(new QPushButton(QStringLiteral("Test Connection"), this), "cmdTestConnection");
    cmdPublish = named(new QPushButton(QStringLiteral("Publish Funnel"), this), "cmdPublish");
    cmdCancelPublish = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancelPublish");
    cmdCancelPublish->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdTestConnection);
    buttons->addWidget(cmdPublish);
    buttons->addWidget(cmdCancelPublish);
    buttons->addStretch();
    layout->addLayout(buttons);
    // A row of their own: beside the others they would not fit the panel's half of the section.
    auto* afterwards = new QHBoxLayout;
    cmdUndoPublish =
        named(new QPushButton(QStringLiteral("Undo Last Publish"), this), "cmdUndoPublish");
    cmdUndoPublish->setToolTip(
        QStringLiteral("Puts the funnel on the server back as it was before the last publish"));
    afterwards->addWidget(cmdUndoPublish);
    auto* cmdPublishHistory =
        named(new QPushButton(QStringLiteral("Publish History..."), this), "cmdPublishHistory");
    afterwards->addWidget(cmdPublishHistory);
    afterwards->addStretch();
    connect(cmdPublishHistory, &QPushButton::clicked, this, &PublishPanel::showHistory);
    layout->addLayout(afterwards);
    prgPublish = named(new QProgressBar(this), "prgPublish");
    prgPublish->hide();
    lblPublishFile = named(new QLabel(this), "lblPublishFile");
    lblPublishFile->hide();
    layout->addWidget(prgPublish);
    layout->addWidget(lblPublishFile);
    lblPublishResult = named(new QLabel(this), "lblPublishResult");
    lblPublishResult->setWordWrap(true);
    lblPublishResult->setTextFormat(Qt::RichText);
    lblPublishResult->setTextInteractionFlags(
        Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblPublishResult->hide();
    layout->addWidget(lblPublishResult);
    connect(lblPublishResult, &QLabel::linkActivated, this, [this](const QString& link) {
        if (!desktop().openUrl(QUrl(link)))
            desktop().message(this,
                              QStringLiteral("%1 could not be opened in the browser.").arg(link),
                              QStringLiteral("Error"), MessageIcon::Warning);
    });
    // The autoresponder needs the live thank-you page address.
    cmdCopyThanks = named(new QPushButton(QStringLiteral("Copy the Thank-You Page Address"), this),
                          "cmdCopyThanks");
    cmdCopyThanks->hide();
    layout->addWidget(cmdCopyThanks, 0, Qt::AlignLeft);
    connect(cmdCopyThanks, &QPushButton::clicked, this, [this] {
        desktop().setClipboardText(m_thanksUrl);
        cmdCopyThanks->setText(QStringLiteral("Copied: paste it into your autoresponder"));
    });
    layout->addStretch();

    connect(txtPublishTo, &QLineEdit::textChanged, this, &PublishPanel::addressChanged);
    addressChanged();
    connect(cmdPublishKey, &QPushButton::clicked, this, [this] {
        const QString file = desktop().openFile(this, QStringLiteral("SSH Private Key"),
                                                QDir::homePath() + QStringLiteral("/.ssh"),
                                                {QStringLiteral("All files (*)")});
        if (!file.isEmpty())
            txtPublishKey->setText(file);
    });
    connect(cmdTestConnection, &QPushButton::clicked, this, &PublishPanel::cmdTestConnection_Click);
    connect(cmdPublish, &QPushButton::clicked, this, &PublishPanel::cmdPublish_Click);
    connect(cmdCancelPublish, &QPushButton::clicked, this, &PublishPanel::cmdCancelPublish_Click);
    connect(cmdUndoPublish, &QPushButton::clicked, this, &PublishPanel::cmdUndoPublish_Click);
}

PublishPanel::~PublishPanel() {
    m_cancel = true;
    m_closing = true;
    {
        std::lock_guard lock(m_questionMutex);
        if (m_pendingAnswer) {
            m_pendingAnswer->set_value(false);
            m_pendingAnswer.reset();
        }
    }
    if (m_worker)
        m_worker->wait();
}

QString PublishPanel::address() const {
    return txtPublishTo->text().trimmed();
}

void PublishPanel::setAddress(const QString& address) {
    txtPublishTo->setText(address);
    txtPublishPassword->clear();
    chkRememberPassword->setChecked(false);
    txtPublishKey->clear();
    txtS3Endpoint->clear();
    txtS3Region->clear();
    chkS3PathStyle->setChecked(false);
    if (address.isEmpty())
        return;
    const QSettings kept(settingsFile(), QSettings::IniFormat);
    txtPublishKey->setText(kept.value(keyFileSetting()).toString());
    txtS3Endpoint->setText(kept.value(s3Setting("Endpoint")).toString());
    txtS3Region->setText(kept.value(s3Setting("Region")).toString());
    chkS3PathStyle->setChecked(kept.value(s3Setting("PathStyle")).toBool());
    if (const auto remembered = desktop().readSecret(keyringKey())) {
        txtPublishPassword->setText(*remembered);
        chkRememberPassword->setChecked(true);
    }
}

QString PublishPanel::settingsFile() const {
    return m_paths.join(QStringLiteral("tandrel.ini"));
}

QString PublishPanel::keyFileSetting() const {
    // Slashes would make groups of the address.
    return QStringLiteral("publishKeyFile/") +
           QString::fromLatin1(keyringKey().toUtf8().toBase64(QByteArray::Base64UrlEncoding));
}

QString PublishPanel::s3Setting(const char* name) const {
    return QStringLiteral("publishS3%1/").arg(QLatin1String(name)) +
           QString::fromLatin1(keyringKey().toUtf8().toBase64(QByteArray::Base64UrlEncoding));
}

QString PublishPanel::keyringKey() const {
    const auto target = parsePublishTarget(address());
    return QStringLiteral("publish ") + (target ? target->text() : address());
}

void PublishPanel::addressChanged() {
    const auto target = parsePublishTarget(address());
    const bool plain = target && target->protocol == PublishTarget::Protocol::Ftp;
    lblPublishNote->setText(QStringLiteral(
        "Plain FTP sends your password unencrypted; use sftp:// or ftps:// if your host offers "
        "them."));
    lblPublishNote->setVisible(plain);
    const bool sftp = target && target->protocol == PublishTarget::Protocol::Sftp;
    txtPublishKey->setEnabled(sftp || !target);
    cmdPublishKey->setEnabled(sftp || !target);
    // Shown while an s3:// address is typed, before it parses.
    const bool s3 = target ? target->protocol == PublishTarget::Protocol::S3
                           : address().startsWith(QLatin1String("s3:"), Qt::CaseInsensitive);
    for (QWidget* w : std::initializer_list<QWidget*>{txtS3Endpoint, txtS3Region, chkS3PathStyle})
        w->setEnabled(s3);
    m_form->setRowVisible(m_s3Row, s3);
    m_form->setRowVisible(m_keyRow, !s3);
    if (auto* label = qobject_cast<QLabel*>(m_form->labelForField(txtPublishPassword)))
        label->setText(s3 ? QStringLiteral("Secret key:") : QStringLiteral("Password:"));
}

void PublishPanel::cmdTestConnection_Click() {
    start(Job::Test);
}

void PublishPanel::cmdPublish_Click() {
    start(Job::Publish);
}

void PublishPanel::cmdUndoPublish_Click() {
    start(Job::Undo);
}

void PublishPanel::cmdCancelPublish_Click() {
    m_cancel = true;
    cmdCancelPublish->setEnabled(false);
    lblPublishFile->setText(QStringLiteral("Cancelling..."));
}

void PublishPanel::forgetResult() {
    lblPublishResult->hide();
    lblPublishResult->clear();
    cmdCopyThanks->hide();
}

void PublishPanel::showResult(const QString& text, bool ok, const QStringList& pageUrls) {
    static const char* const kPages[] = {"Opt-in page", "Thank-you page", "Download page"};
    QString shown = text.toHtmlEscaped();
    if (!pageUrls.isEmpty()) {
        // The message's first paragraph, the live pages, then the rest of it.
        const qsizetype cut = shown.indexOf(QStringLiteral("\n\n"));
        QString pages = QStringLiteral("\n\nCheck the pages:");
        for (int i = 0; i < pageUrls.size(); ++i)
            pages += QStringLiteral("\n%1: <a href=\"%2\">%3</a>")
                         .arg(QLatin1String(i < 3 ? kPages[i] : "Page"),
                              pageUrls[i].toHtmlEscaped(), pageUrls[i].toHtmlEscaped());
        shown.insert(cut < 0 ? shown.size() : cut, pages);
    }
    lblPublishResult->setText(shown.replace(u'\n', QStringLiteral("<br>")));
    m_thanksUrl = pageUrls.value(1);
    cmdCopyThanks->setText(QStringLiteral("Copy the Thank-You Page Address"));
    cmdCopyThanks->setVisible(!m_thanksUrl.isEmpty());
    lblPublishResult->setProperty("role", ok ? QStringLiteral("hint") : QStringLiteral("warning"));
    lblPublishResult->style()->unpolish(lblPublishResult);
    lblPublishResult->style()->polish(lblPublishResult);
    // Selectable text is laid out without the style sheet's padding: inset it inside the frame.
    lblPublishResult->setContentsMargins(ok ? QMargins() : QMargins(8, 2, 8, 2));
    // and in the palette's text colour, which the style sheet does not set for it.
    QPalette colours = lblPublishResult->palette();
    colours.setColor(QPalette::Text, theme::color(ok ? "muted" : "warningText"));
    lblPublishResult->setPalette(colours);
    lblPublishResult->show();
}

void PublishPanel::start(Job job) {
    if (m_worker)
        return;
    // A git host's address is no server folder: its own parser, its own publish.
    struct GitJob {
        GitTarget target;
        GitOptions options;
    };
    std::optional<GitJob> git;
    if (isGitAddress(address())) {
        const auto parsed = parseGitTarget(address());
        if (!parsed) {
            showResult(parsed.error(), false);
            return;
        }
        git = GitJob{*parsed, {}};
    }
    // A git job has no server folder; the default target only carries the SSH key choice.
    const auto target =
        git ? Result<PublishTarget>(PublishTarget()) : parsePublishTarget(address());
    if (!target) {
        showResult(target.error(), false);
        return;
    }
    PublishRequest request;
    // Held by the worker until the last file is sent, so no build replaces the output meanwhile.
    std::shared_ptr<FileLock> outputLock;
    if (job == Job::Publish) {
        auto lock = lockOutput(m_paths, FileLock::Mode::Shared);
        if (!lock) {
            showResult(lock.error(), false);
            return;
        }
        outputLock = lock.value();
        const auto record = readBuildRecord(m_paths);
        if (!record) {
            showResult(record.error() + QStringLiteral(" Click \"Build Funnel\" first."), false);
            return;
        }
        if (!recordMatches(*record, m_currentSettings())) {
            showResult(QStringLiteral("The funnel changed since it was last built; click \"Build "
                                      "Funnel\" again before publishing."),
                       false);
            return;
        }
        request.outputFolder = m_paths.outputTemplatesDir();
        request.pages = record->pages;
        request.pageUrls = record->pageUrls;
    } else if (job == Job::Undo) {
        // The pages to fetch back, when the last build names them; the server holds the rest.
        if (const auto record = readBuildRecord(m_paths)) {
            request.pages = record->pages;
            request.pageUrls = record->pageUrls;
        }
    }
    ConnectionOptions options;
    options.password = txtPublishPassword->text();
    options.keyFile =
        target->protocol == PublishTarget::Protocol::Sftp && !(git && git->target.https)
            ? txtPublishKey->text().trimmed()
            : QString();
    options.caFile = qEnvironmentVariable("TANDREL_CA_FILE");
    options.memoryFile = settingsFile();
    options.s3Endpoint = txtS3Endpoint->text().trimmed();
    options.s3Region = txtS3Region->text().trimmed();
    options.s3PathStyle = chkS3PathStyle->isChecked();
    options.trustNewHostKey = [this](const HostKeyQuestion& q) { return askTrust(q); };
    options.abort = &m_closing;

    m_cancel = false;
    lblPublishResult->hide();
    cmdCopyThanks->hide();
    cmdTestConnection->setEnabled(false);
    cmdPublish->setEnabled(false);
    cmdCancelPublish->setEnabled(true);
    cmdUndoPublish->setEnabled(false);
    cmdCancelPublish->setVisible(job != Job::Test);
    prgPublish->setVisible(job != Job::Test);
    prgPublish->setRange(0, 0);
    lblPublishFile->setText(job != Job::Test ? QStringLiteral("Comparing with the server...")
                                             : QStringLiteral("Connecting..."));
    lblPublishFile->show();

    m_clock.start();
    m_samples.clear();
    request.progress = [this](const PublishProgress& p) {
        QMetaObject::invokeMethod(
            this, [this, p] { showProgress(p); }, Qt::QueuedConnection);
    };
    // Cancel stops the file under way and keeps what arrived; closing the window stops at once.
    request.cancelled = [this] { return m_cancel.load(); };
    request.confirm = [this, job](const PublishPlan& plan) {
        return confirmPlan(plan, job == Job::Publish);
    };
    request.connections = spnConnections->value();
    const QString history = m_paths.join(QLatin1String(kPublishHistoryName));
    if (git) {
        git->options.secret = options.password;
        git->options.keyFile = options.keyFile;
        git->options.trustNewHostKey = options.trustNewHostKey;
        git->options.cacheFolder = m_paths.join(QStringLiteral("git-cache"));
        git->options.funnelName = m_currentSettings().txtFunnelUrl;
    }
    m_worker =
        QThread::create([this, job, target = *target, git, options, request, outputLock, history] {
            const QDateTime started = QDateTime::currentDateTimeUtc();
            QElapsedTimer took;
            took.start();
            std::optional<RemoteFolder> remote;
            if (!git)
                remote.emplace(target, options);
            bool ok = false;
            QString text;
            QStringList live;
            if (job == Job::Test) {
                const auto tested =
                    git ? testGitConnection(git->target, git->options) : testConnection(*remote);
                ok = tested.ok();
                text = ok ? tested.value() : tested.error();
            } else {
                PublishReport report =
                    git ? (job == Job::Undo ? undoGitPublish(git->target, git->options, request)
                                            : publishToGit(git->target, git->options, request))
                        : (job == Job::Undo ? undoLastPublish(*remote, request)
                                            : publishFunnel(*remote, request));
                ok = report.published();
                text = report.message + (ok ? QStringLiteral(".") : QString());
                if (ok)
                    live = request.pageUrls;
                if (Status kept = addToPublishHistory(
                        history, publishEvent(git ? git->target.text() : target.text(), report,
                                              started, took.elapsed()));
                    !kept)
                    report.notes << kept.error() +
                                        QStringLiteral(" This publish is not in the history.");
                if (!report.notes.isEmpty())
                    text += QStringLiteral("\n\n") + report.notes.join(u'\n');
            }
            QMetaObject::invokeMethod(
                this, [this, ok, text, live] { jobEnded(ok, text, live); }, Qt::QueuedConnection);
        });
    connect(m_worker, &QThread::finished, m_worker, &QObject::deleteLater);
    m_worker->start();
}

void PublishPanel::showProgress(const PublishProgress& p) {
    if (p.bytesTotal <= 0) {
        prgPublish->setRange(0, std::max(1, p.total));
        prgPublish->setValue(p.done);
    } else {
        prgPublish->setRange(0, 1000);
        prgPublish->setValue(int(p.bytesSent * 1000 / p.bytesTotal));
    }
    if (p.file.isEmpty()) {
        lblPublishFile->setText(QStringLiteral("Checking the server's copy..."));
        return;
    }
    // The speed of the last few seconds: a slow start or a stall shows soon.
    const qint64 now = m_clock.elapsed();
    m_samples.push_back({now, p.bytesSent});
    while (m_samples.size() > 2 && now - m_samples.front().first > 5000)
        m_samples.pop_front();
    const QLocale locale;
    QString text =
        QStringLiteral("Sending %1 (%2 of %3): %4 of %5")
            .arg(p.file)
            .arg(p.done + 1)
            .arg(p.total)
            .arg(locale.formattedDataSize(p.bytesSent), locale.formattedDataSize(p.bytesTotal));
    const qint64 span = now - m_samples.front().first;
    const qint64 gone = p.bytesSent - m_samples.front().second;
    if (span >= 1000) {
        const double perSecond = double(gone) * 1000.0 / double(span);
        text += QStringLiteral(", %1/s").arg(locale.formattedDataSize(qint64(perSecond)));
        if (perSecond > 0) {
            const qint64 left = qint64(double(p.bytesTotal - p.bytesSent) / perSecond) + 1;
            text += left < 60 ? QStringLiteral(", about %1 s left").arg(left)
                              : QStringLiteral(", about %1 min left").arg((left + 59) / 60);
        }
    }
    lblPublishFile->setText(text);
}

void PublishPanel::jobEnded(bool ok, const QString& text, const QStringList& pageUrls) {
    if (m_worker) {
        m_worker->wait();
        m_worker = nullptr;
    }
    QString shown = text;
    // The key file that worked is offered again for this address, also after a restart.
    if (ok && txtPublishKey->isEnabled()) {
        QSettings kept(settingsFile(), QSettings::IniFormat);
        if (kept.value(keyFileSetting()).toString() != txtPublishKey->text().trimmed()) {
            kept.setValue(keyFileSetting(), txtPublishKey->text().trimmed());
            kept.sync();
            if (kept.status() != QSettings::NoError)
                shown += QStringLiteral("\n\nThe key file could not be remembered in %1.")
                             .arg(settingsFile());
        }
    }
    // The storage that answered is offered again for this address.
    if (ok && txtS3Endpoint->isEnabled() && parsePublishTarget(address())) {
        QSettings kept(settingsFile(), QSettings::IniFormat);
        kept.setValue(s3Setting("Endpoint"), txtS3Endpoint->text().trimmed());
        kept.setValue(s3Setting("Region"), txtS3Region->text().trimmed());
        kept.setValue(s3Setting("PathStyle"), chkS3PathStyle->isChecked());
    }
    if (ok && !txtPublishPassword->text().isEmpty()) {
        if (chkRememberPassword->isChecked()) {
            if (!desktop().storeSecret(keyringKey(), txtPublishPassword->text()))
                shown += QStringLiteral("\n\nThe password could not be kept in the desktop's "
                                        "keyring; it is asked for again next time.");
        } else {
            desktop().forgetSecret(keyringKey());
        }
    }
    cmdTestConnection->setEnabled(true);
    cmdPublish->setEnabled(true);
    cmdUndoPublish->setEnabled(true);
    cmdCancelPublish->hide();
    prgPublish->hide();
    lblPublishFile->hide();
    showResult(shown, ok, pageUrls);
    if (ok && !pageUrls.isEmpty())
        emit published();
    emit finished();
}

void PublishPanel::showHistory() {
    const auto events = readPublishHistory(m_paths.join(QLatin1String(kPublishHistoryName)));
    if (!events) {
        desktop().message(this, events.error(), QStringLiteral("Publish History"),
                          MessageIcon::Warning);
        return;
    }
    auto* dialog = named(new QDialog(this), "dlgPublishHistory");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Publish History"));
    auto* table = named(new QTableWidget(int(events->size()), 5, dialog), "tblPublishHistory");
    table->setHorizontalHeaderLabels({QStringLiteral("When"), QStringLiteral("Where"),
                                      QStringLiteral("Sent"), QStringLiteral("Took"),
                                      QStringLiteral("Result")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    const QLocale locale;
    // What an undo goes back before: the newest publish that sent something.
    bool marked = false;
    for (int row = 0; row < events->size(); ++row) {
        const PublishEvent& e = events->at(row);
        const bool undoPoint = !marked && e.filesSent > 0;
        marked = marked || undoPoint;
        const QStringList cells{
            locale.toString(e.started.toLocalTime(), QLocale::ShortFormat), e.target,
            QStringLiteral("%1 %2, %3")
                .arg(e.filesSent)
                .arg(e.filesSent == 1 ? QStringLiteral("file") : QStringLiteral("files"),
                     locale.formattedDataSize(e.bytesSent)),
            QStringLiteral("%1 s").arg(locale.toString(double(e.milliseconds) / 1000.0, 'f', 1)),
            undoPoint ? e.outcome + QStringLiteral(" (Undo Last Publish goes back before this)")
                      : e.outcome};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setToolTip(e.message);
            table->setItem(row, column, item);
        }
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(events->isEmpty() ? static_cast<QWidget*>(new QLabel(
                                              QStringLiteral("Nothing published yet."), dialog))
                                        : table);
    table->setVisible(!events->isEmpty());
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(close, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(close);
    dialog->resize(860, 420);
    dialog->show();
}

bool PublishPanel::askTrust(const HostKeyQuestion& q) {
    return askFromWorker([this, q] {
        return desktop().question(
            this,
            QStringLiteral("Tandrel has not connected to %1 before. Its host key is\n\n%2\n\n"
                           "Trust it only if your host confirms this key. Connect and "
                           "remember it?")
                .arg(q.host, q.fingerprint),
            QStringLiteral("Unknown Server"), MessageIcon::Warning);
    });
}

bool PublishPanel::confirmPlan(const PublishPlan& plan, bool newPages) {
    return askFromWorker([this, plan, newPages] {
        // A long list would outgrow the screen; the summary counts them all.
        const int shown = 15;
        QStringList lines = plan.lines().mid(0, shown);
        // The columns a terminal lines up mean nothing in the dialog's font.
        static const QRegularExpression padding(QStringLiteral("^(\\w+) +"));
        for (QString& line : lines)
            line.replace(padding, QStringLiteral("\\1 "));
        if (plan.changes.size() > shown)
            lines << QStringLiteral("... and %1 more").arg(plan.changes.size() - shown);
        // The pages go out now: say once more what they tell others about their visitors.
        QString privacy;
        const auto report = newPages
                                ? privacyReport(m_paths.outputTemplatesDir(), m_currentSettings())
                                : Result<PrivacyReport>::failure(QString());
        if (report)
            privacy = QStringLiteral("Privacy report: %1 (\"Privacy Report...\" lists each).\n\n")
                          .arg(report->summary());
        return desktop().question(
            this,
            QStringLiteral("These files on the server will change:\n\n%1\n\n%2%3. Go ahead?")
                .arg(lines.join(u'\n'), privacy, plan.summary()),
            QStringLiteral("Publish These Changes?"), MessageIcon::None);
    });
}

bool PublishPanel::askFromWorker(const std::function<bool()>& ask) {
    std::future<bool> answer;
    {
        std::lock_guard lock(m_questionMutex);
        if (m_closing)
            return false;
        m_pendingAnswer.emplace();
        answer = m_pendingAnswer->get_future();
    }
    QMetaObject::invokeMethod(
        this,
        [this, ask] {
            const bool yes = ask();
            std::lock_guard lock(m_questionMutex);
            if (m_pendingAnswer) {
                m_pendingAnswer->set_value(yes);
                m_pendingAnswer.reset();
            }
        },
        Qt::QueuedConnection);
    return answer.get();
}
