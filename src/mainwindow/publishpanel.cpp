#include "publishpanel.h"

#include "buildrecord.h"
#include "desktop.h"
#include "publish.h"
#include "theme.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QVBoxLayout>

using namespace tandrel;

namespace {

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
    auto* form = new QFormLayout;
    txtPublishTo = named(new QLineEdit(this), "txtPublishTo");
    txtPublishTo->setPlaceholderText(QStringLiteral("sftp://user@example.com/var/www/guide"));
    txtPublishTo->setToolTip(QStringLiteral(
        "sftp://, ftps:// (FTP with TLS) or ftp:// followed by your user name, the server and "
        "the folder the funnel's address points to"));
    form->addRow(QStringLiteral("Host address:"), txtPublishTo);
    txtPublishPassword = named(new QLineEdit(this), "txtPublishPassword");
    txtPublishPassword->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password:"), txtPublishPassword);
    txtPublishKey = named(new QLineEdit(this), "txtPublishKey");
    txtPublishKey->setPlaceholderText(QStringLiteral("SFTP only, instead of a password"));
    cmdPublishKey = named(new QPushButton(QStringLiteral("Browse..."), this), "cmdPublishKey");
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(txtPublishKey, 1);
    keyRow->addWidget(cmdPublishKey);
    form->addRow(QStringLiteral("Key file:"), keyRow);
    chkRememberPassword =
        named(new QCheckBox(QStringLiteral("Remember password"), this), "chkRememberPassword");
    chkRememberPassword->setToolTip(
        QStringLiteral("Kept in your desktop's keyring, never in a file"));
    form->addRow(QString(), chkRememberPassword);
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
    prgPublish = named(new QProgressBar(this), "prgPublish");
    prgPublish->hide();
    lblPublishFile = named(new QLabel(this), "lblPublishFile");
    lblPublishFile->hide();
    layout->addWidget(prgPublish);
    layout->addWidget(lblPublishFile);
    lblPublishResult = named(new QLabel(this), "lblPublishResult");
    lblPublishResult->setWordWrap(true);
    lblPublishResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblPublishResult->hide();
    layout->addWidget(lblPublishResult);
    layout->addStretch();

    connect(txtPublishTo, &QLineEdit::textChanged, this, &PublishPanel::addressChanged);
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
    if (address.isEmpty())
        return;
    if (const auto remembered = desktop().readSecret(keyringKey())) {
        txtPublishPassword->setText(*remembered);
        chkRememberPassword->setChecked(true);
    }
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
}

void PublishPanel::cmdTestConnection_Click() {
    start(Job::Test);
}

void PublishPanel::cmdPublish_Click() {
    start(Job::Publish);
}

void PublishPanel::cmdCancelPublish_Click() {
    m_cancel = true;
    cmdCancelPublish->setEnabled(false);
    lblPublishFile->setText(QStringLiteral("Cancelling..."));
}

void PublishPanel::showResult(const QString& text, bool ok) {
    lblPublishResult->setText(text);
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
    const auto target = parsePublishTarget(address());
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
    }
    ConnectionOptions options;
    options.password = txtPublishPassword->text();
    options.keyFile = target->protocol == PublishTarget::Protocol::Sftp
                          ? txtPublishKey->text().trimmed()
                          : QString();
    options.caFile = qEnvironmentVariable("TANDREL_CA_FILE");
    options.trustNewHostKey = [this](const HostKeyQuestion& q) { return askTrust(q); };
    options.abort = &m_closing;

    m_cancel = false;
    lblPublishResult->hide();
    cmdTestConnection->setEnabled(false);
    cmdPublish->setEnabled(false);
    cmdCancelPublish->setEnabled(true);
    cmdCancelPublish->setVisible(job == Job::Publish);
    prgPublish->setVisible(job == Job::Publish);
    prgPublish->setRange(0, 0);
    lblPublishFile->setText(job == Job::Publish ? QStringLiteral("Comparing with the server...")
                                                : QStringLiteral("Connecting..."));
    lblPublishFile->show();

    request.progress = [this](const PublishProgress& p) {
        QMetaObject::invokeMethod(
            this, [this, p] { showProgress(p); }, Qt::QueuedConnection);
    };
    // Cancel stops the file under way and keeps what arrived; closing the window stops at once.
    request.cancelled = [this] { return m_cancel.load(); };
    m_worker = QThread::create([this, job, target = *target, options, request, outputLock] {
        RemoteFolder remote(target, options);
        bool ok = false;
        QString text;
        if (job == Job::Test) {
            const auto tested = testConnection(remote);
            ok = tested.ok();
            text = ok ? tested.value() : tested.error();
        } else {
            const PublishReport report = publishFunnel(remote, request);
            ok = report.published();
            text = report.message;
            if (ok)
                text += QStringLiteral(".\n\nCheck the pages:\n") + request.pageUrls.join(u'\n');
            if (!report.notes.isEmpty())
                text += QStringLiteral("\n\n") + report.notes.join(u'\n');
        }
        QMetaObject::invokeMethod(
            this, [this, ok, text] { jobEnded(ok, text); }, Qt::QueuedConnection);
    });
    connect(m_worker, &QThread::finished, m_worker, &QObject::deleteLater);
    m_worker->start();
}

void PublishPanel::showProgress(const PublishProgress& p) {
    prgPublish->setRange(0, std::max(1, p.total));
    prgPublish->setValue(p.done);
    lblPublishFile->setText(
        p.file.isEmpty()
            ? QStringLiteral("Checking the server's copy...")
            : QStringLiteral("Sending %1 (%2 of %3)").arg(p.file).arg(p.done + 1).arg(p.total));
}

void PublishPanel::jobEnded(bool ok, const QString& text) {
    if (m_worker) {
        m_worker->wait();
        m_worker = nullptr;
    }
    QString shown = text;
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
    cmdCancelPublish->hide();
    prgPublish->hide();
    lblPublishFile->hide();
    showResult(shown, ok);
    emit finished();
}

bool PublishPanel::askTrust(const HostKeyQuestion& q) {
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
        [this, q] {
            const bool yes = desktop().question(
                this,
                QStringLiteral("Tandrel has not connected to %1 before. Its host key is\n\n%2\n\n"
                               "Trust it only if your host confirms this key. Connect and "
                               "remember it?")
                    .arg(q.host, q.fingerprint),
                QStringLiteral("Unknown Server"), MessageIcon::Warning);
            std::lock_guard lock(m_questionMutex);
            if (m_pendingAnswer) {
                m_pendingAnswer->set_value(yes);
                m_pendingAnswer.reset();
            }
        },
        Qt::QueuedConnection);
    return answer.get();
}
