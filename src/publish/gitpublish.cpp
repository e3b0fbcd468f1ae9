#include "gitpublish.h"

#include "textfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QUrl>

#include <git2.h>

#include <mutex>

namespace tandrel {

namespace {

// "Tandrel-Folder: site/" ends every commit a publish or undo makes; an undo
// looks for the last one naming its folder.
constexpr char kFolderTrailer[] = "Tandrel-Folder: ";

const QRegularExpression& scpLike() {
    static const QRegularExpression re(QStringLiteral("^([^@/:\\s]+)@([^:/\\s]+):([^/].*)$"));
    return re;
}

QString lastError() {
    const git_error* e = git_error_last();
    return e && e->message ? QString::fromUtf8(e->message).trimmed()
                           : QStringLiteral("unknown error");
}

template <typename T, void (*Free)(T*)> struct Owned {
    T* p = nullptr;
    Owned() = default;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (p)
            Free(p);
    }
    T** out() { return &p; }
    operator T*() const { return p; }
};
using Repo = Owned<git_repository, git_repository_free>;
using Remote = Owned<git_remote, git_remote_free>;
using Commit = Owned<git_commit, git_commit_free>;
using Tree = Owned<git_tree, git_tree_free>;
using Index = Owned<git_index, git_index_free>;
using Reference = Owned<git_reference, git_reference_free>;
using Signature = Owned<git_signature, git_signature_free>;
using Blob = Owned<git_blob, git_blob_free>;

struct Entry {
    git_oid id{};
    unsigned mode = GIT_FILEMODE_BLOB;
    qint64 size = 0;
};
using Files = QMap<QString, Entry>; // path below the folder

// What the callbacks of one fetch or push learn.
struct Session {
    const GitTarget* target = nullptr;
    const GitOptions* options = nullptr;
    const PublishRequest* request = nullptr;
    QString host;
    int port = 22;
    int credentialTries = 0;
    bool credentialsRefused = false;
    QString trustProblem;
    QString untrustedHost; // https: whose certificate did not verify
    QString rejected;      // the server's answer to the branch update
};

QString knownHostsOf(const GitOptions& options) {
    return options.knownHostsFile.isEmpty() ? QDir::homePath() + QStringLiteral("/.ssh/known_hosts")
                                            : options.knownHostsFile;
}

// Whether one host field of a known_hosts line (plain or hashed) names label.
bool hostMatches(const QByteArray& field, const QByteArray& label) {
    for (const QByteArray& name : field.split(',')) {
        if (name.startsWith("|1|")) {
            const QList<QByteArray> parts = name.split('|');
            if (parts.size() < 4)
                continue;
            const QByteArray mac = QMessageAuthenticationCode::hash(
                label, QByteArray::fromBase64(parts[2]), QCryptographicHash::Sha1);
            if (mac == QByteArray::fromBase64(parts[3]))
                return true;
        } else if (name == label) {
            return true;
        }
    }
    return false;
}

// The same decisions as SFTP's: a recorded key must match, an unknown host is
// asked about, a changed key is never trusted.
int checkHostKey(Session& s, const git_cert_hostkey* cert) {
    if (!(cert->type & GIT_CERT_SSH_RAW)) {
        s.trustProblem = QStringLiteral("the server's host key could not be read");
        return GIT_ECERTIFICATE;
    }
    const QByteArray blob(cert->hostkey, qsizetype(cert->hostkey_len));
    const QByteArray fingerprint =
        "SHA256:" + QCryptographicHash::hash(blob, QCryptographicHash::Sha256)
                        .toBase64(QByteArray::OmitTrailingEquals);
    // The key's type is the first string of its blob.
    QByteArray type;
    if (blob.size() >= 4) {
        const auto* b = reinterpret_cast<const uchar*>(blob.constData());
        const quint32 length =
            quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | b[3];
        type = blob.mid(4, qsizetype(std::min<quint32>(length, 64)));
    }
    const QByteArray label =
        s.port == 22 ? s.host.toUtf8() : QStringLiteral("[%1]:%2").arg(s.host).arg(s.port).toUtf8();
    const QString file = knownHostsOf(*s.options);
    QByteArray known;
    if (QFileInfo::exists(file)) {
        auto read = readFileBytes(file, kTextFileLimit, QStringLiteral("The known hosts file"));
        if (!read) {
            s.trustProblem = read.error();
            return GIT_ECERTIFICATE;
        }
        known = *read;
    }
    const QByteArray base64 = blob.toBase64();
    bool recorded = false;
    for (const QByteArray& raw : known.split('\n')) {
        const QList<QByteArray> fields = raw.simplified().split(' ');
        if (fields.size() < 3 || fields[0].startsWith('#') || fields[0].startsWith('@') ||
            !hostMatches(fields[0], label))
            continue;
        if (fields[1] == type && fields[2] == base64)
            return 0;
        recorded = true;
    }
    if (recorded) {
        s.trustProblem =
            QStringLiteral("the server's host key %1 is not the one recorded for %2 in %3; it may "
                           "be an impostor (if the host really changed its key, remove the old "
                           "line from that file)")
                .arg(QString::fromLatin1(fingerprint), QString::fromUtf8(label), displayPath(file));
        return GIT_ECERTIFICATE;
    }
    const HostKeyQuestion question{QString::fromUtf8(label), QString::fromLatin1(fingerprint)};
    if (!s.options->trustNewHostKey || !s.options->trustNewHostKey(question)) {
        s.trustProblem =
            QStringLiteral("the server %1 is not in the known hosts (%2) and its key %3 was not "
                           "trusted")
                .arg(question.host, displayPath(file), question.fingerprint);
        return GIT_ECERTIFICATE;
    }
    if (!known.isEmpty() && !known.endsWith('\n'))
        known += '\n';
    QDir().mkpath(QFileInfo(file).path());
    if (Status kept = writeFileAtomically(file, known + label + ' ' + type + ' ' + base64 + '\n');
        !kept) {
        s.trustProblem = kept.error();
        return GIT_ECERTIFICATE;
    }
    return 0;
}

int certificateCheck(git_cert* cert, int valid, const char* host, void* payload) {
    auto& s = *static_cast<Session*>(payload);
    if (cert->cert_type == GIT_CERT_HOSTKEY_LIBSSH2)
        return checkHostKey(s, reinterpret_cast<const git_cert_hostkey*>(cert));
    // libgit2 keeps its reason for a failed check only when we pass it through.
    if (!valid)
        s.untrustedHost = QString::fromUtf8(host);
    return GIT_PASSTHROUGH;
}

// libgit2 trusts the system's certificate authorities; SSL_CERT_FILE and
// SSL_CERT_DIR name others, as they do for the other TLS programs. Set once
// they stay for the process, as the environment normally does.
Status useCertificateLocations() {
    static std::mutex lock;
    static QByteArray applied;
    const QByteArray file = qgetenv("SSL_CERT_FILE");
    const QByteArray dir = qgetenv("SSL_CERT_DIR");
    const QByteArray wanted = file + '\n' + dir;
    const std::lock_guard guard(lock);
    if ((file.isEmpty() && dir.isEmpty()) || wanted == applied)
        return Status();
    if (git_libgit2_opts(GIT_OPT_SET_SSL_CERT_LOCATIONS,
                         file.isEmpty() ? nullptr : file.constData(),
                         dir.isEmpty() ? nullptr : dir.constData()) != 0)
        return Status::failure(
            QStringLiteral("The certificate authorities named by SSL_CERT_FILE (%1) and "
                           "SSL_CERT_DIR (%2) could not be read: %3")
                .arg(QString::fromLocal8Bit(file), QString::fromLocal8Bit(dir), lastError()));
    applied = wanted;
    return Status();
}

QStringList defaultKeys() {
    QStringList keys;
    for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        const QString path = QDir::homePath() + QStringLiteral("/.ssh/") + QLatin1String(name);
        if (QFileInfo(path).isFile())
            keys << path;
    }
    return keys;
}

int credentials(git_credential** out, const char* url, const char* userFromUrl, unsigned allowed,
                void* payload) {
    (void)url;
    auto& s = *static_cast<Session*>(payload);
    const GitOptions& o = *s.options;
    const QByteArray user = userFromUrl && *userFromUrl ? QByteArray(userFromUrl)
                            : s.target->user.isEmpty()  ? QByteArray("x-access-token")
                                                        : s.target->user.toUtf8();
    if (allowed & GIT_CREDENTIAL_USERNAME)
        return git_credential_username_new(out, user.constData());
    const int attempt = s.credentialTries++;
    if (allowed & GIT_CREDENTIAL_USERPASS_PLAINTEXT) {
        if (attempt > 0 || o.secret.isEmpty()) {
            s.credentialsRefused = true;
            return GIT_EAUTH;
        }
        return git_credential_userpass_plaintext_new(out, user.constData(),
                                                     o.secret.toUtf8().constData());
    }
    if (allowed & GIT_CREDENTIAL_SSH_KEY) {
        const QStringList keys = o.keyFile.isEmpty() ? defaultKeys() : QStringList{o.keyFile};
        if (attempt < keys.size()) {
            const QByteArray key = QFile::encodeName(keys[attempt]);
            const QByteArray pub = key + ".pub";
            const QByteArray passphrase = o.secret.toUtf8();
            return git_credential_ssh_key_new(
                out, user.constData(),
                QFileInfo::exists(QString::fromLocal8Bit(pub)) ? pub.constData() : nullptr,
                key.constData(), passphrase.isEmpty() ? nullptr : passphrase.constData());
        }
        if (o.keyFile.isEmpty() && attempt == keys.size() &&
            qEnvironmentVariableIsSet("SSH_AUTH_SOCK"))
            return git_credential_ssh_key_from_agent(out, user.constData());
    }
    s.credentialsRefused = true;
    return GIT_EAUTH;
}

int transferProgress(const git_indexer_progress* stats, void* payload) {
    (void)stats;
    const auto& s = *static_cast<Session*>(payload);
    return s.request->cancelled && s.request->cancelled() ? GIT_EUSER : 0;
}

int pushProgress(unsigned current, unsigned total, size_t bytes, void* payload) {
    (void)current;
    (void)total;
    (void)bytes;
    const auto& s = *static_cast<Session*>(payload);
    return s.request->cancelled && s.request->cancelled() ? GIT_EUSER : 0;
}

int pushUpdate(const char* refname, const char* status, void* payload) {
    (void)refname;
    if (status)
        static_cast<Session*>(payload)->rejected = QString::fromUtf8(status);
    return 0;
}

// Each connection starts its list of keys afresh.
git_remote_callbacks callbacksFor(Session& s) {
    s.credentialTries = 0;
    s.credentialsRefused = false;
    s.untrustedHost.clear();
    git_remote_callbacks callbacks{};
    git_remote_init_callbacks(&callbacks, GIT_REMOTE_CALLBACKS_VERSION);
    callbacks.credentials = credentials;
    callbacks.certificate_check = certificateCheck;
    callbacks.transfer_progress = transferProgress;
    callbacks.push_transfer_progress = pushProgress;
    callbacks.push_update_reference = pushUpdate;
    callbacks.payload = &s;
    return callbacks;
}

QString folderLabel(const GitTarget& t) {
    return t.folder.isEmpty() ? QStringLiteral("/") : t.folder;
}

// Every file below folder in tree, by its path below the folder.
Files filesUnder(git_repository* repo, git_tree* tree, const QString& folder) {
    Files files;
    if (!tree)
        return files;
    struct Walk {
        git_repository* repo;
        QByteArray folder;
        Files* files;
    } walk{repo, folder.toUtf8(), &files};
    git_tree_walk(
        tree, GIT_TREEWALK_PRE,
        [](const char* root, const git_tree_entry* e, void* payload) -> int {
            auto& w = *static_cast<Walk*>(payload);
            const QByteArray path = QByteArray(root) + git_tree_entry_name(e);
            if (git_tree_entry_type(e) == GIT_OBJECT_TREE)
                // Only folders on the way to ours, or inside it, are walked into.
                return (w.folder.startsWith(path + '/') || (path + '/').startsWith(w.folder)) ? 0
                                                                                              : 1;
            if (!path.startsWith(w.folder))
                return 0;
            Entry entry;
            git_oid_cpy(&entry.id, git_tree_entry_id(e));
            entry.mode = unsigned(git_tree_entry_filemode(e));
            git_odb* odb = nullptr;
            size_t size = 0;
            git_object_t type{};
            if (git_repository_odb(&odb, w.repo) == 0) {
                if (git_odb_read_header(&size, &type, odb, &entry.id) == 0)
                    entry.size = qint64(size);
                git_odb_free(odb);
            }
            w.files->insert(QString::fromUtf8(path.mid(w.folder.size())), entry);
            return 0;
        },
        &walk);
    return files;
}

Result<Files> builtFiles(git_repository* repo, const QString& outputFolder) {
    using R = Result<Files>;
    if (!QFileInfo(outputFolder).isDir())
        return R::failure(QStringLiteral("The built funnel %1 is missing; build it first.")
                              .arg(displayPath(outputFolder)));
    Files files;
    QDirIterator it(outputFolder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return R::failure(QStringLiteral("The built file %1 could not be read: %2")
                                  .arg(displayPath(path), file.errorString()));
        const QByteArray bytes = file.readAll();
        Entry entry;
        entry.size = bytes.size();
        if (git_blob_create_from_buffer(&entry.id, repo, bytes.constData(), size_t(bytes.size())))
            return R::failure(QStringLiteral("The built file %1 could not be stored: %2")
                                  .arg(displayPath(path), lastError()));
        files.insert(QDir(outputFolder).relativeFilePath(path), entry);
    }
    return files;
}

PublishPlan planOf(const Files& before, const Files& after, const QStringList& pages) {
    PublishPlan plan;
    QList<PlannedChange> pageChanges;
    for (auto it = after.begin(); it != after.end(); ++it) {
        const auto old = before.find(it.key());
        if (old != before.end() && git_oid_equal(&old->id, &it->id) && old->mode == it->mode) {
            ++plan.unchanged;
            continue;
        }
        const PlannedChange change{old == before.end() ? PlannedChange::Kind::Add
                                                       : PlannedChange::Kind::Replace,
                                   it.key(), it->size};
        plan.bytesToSend += it->size;
        (pages.contains(it.key()) ? pageChanges : plan.changes) << change;
    }
    plan.changes << pageChanges;
    for (auto it = before.begin(); it != before.end(); ++it)
        if (!after.contains(it.key()))
            plan.changes << PlannedChange{PlannedChange::Kind::Remove, it.key(), it->size};
    return plan;
}

struct Changes {
    QStringList added, replaced, removed;
    explicit Changes(const PublishPlan& plan) {
        for (const PlannedChange& c : plan.changes)
            (c.kind == PlannedChange::Kind::Add       ? added
             : c.kind == PlannedChange::Kind::Replace ? replaced
                                                      : removed)
                << c.path;
    }
    // "2 added, 1 replaced, 1 removed", the empty kinds left out.
    QStringList counts() const {
        QStringList counts;
        for (const auto& [label, list] :
             {std::pair{"added", &added}, {"replaced", &replaced}, {"removed", &removed}})
            if (!list->isEmpty())
                counts << QStringLiteral("%1 %2").arg(list->size()).arg(QLatin1String(label));
        return counts;
    }
};

QString commitMessage(const GitTarget& t, const GitOptions& o, const PublishPlan& plan,
                      const QString& undone) {
    const Changes changes(plan);
    const QStringList counts = changes.counts();
    const QString name = o.funnelName.isEmpty() ? QStringLiteral("the funnel") : o.funnelName;
    QString message = (undone.isEmpty() ? QStringLiteral("Publish %1: ")
                                        : QStringLiteral("Undo the last publish of %1: "))
                          .arg(name) +
                      counts.join(QStringLiteral(", ")) + QStringLiteral("\n\n");
    if (!undone.isEmpty())
        message += QStringLiteral("Puts %1 back as it was before %2.\n\n")
                       .arg(folderLabel(t), undone.left(12));
    for (const auto& [label, list] : {std::pair{"Added", &changes.added},
                                      {"Replaced", &changes.replaced},
                                      {"Removed", &changes.removed}})
        if (!list->isEmpty())
            message += QLatin1String(label) + QStringLiteral(": ") +
                       list->join(QStringLiteral(", ")) + u'\n';
    return message + u'\n' + QLatin1String(kFolderTrailer) + folderLabel(t) + u'\n';
}

// The branch's tip after a fetch, or null when the branch does not exist.
struct Fetched {
    Commit tip;
    bool exists = false;
};

class GitPublisher {
public:
    GitPublisher(const GitTarget& t, const GitOptions& o, const PublishRequest& r)
        : m_target(t), m_options(o), m_request(r) {
        m_session.target = &t;
        m_session.options = &o;
        m_session.request = &r;
        const QUrl url =
            t.https || t.remoteUrl.startsWith(QLatin1String("ssh://"))
                ? QUrl(t.remoteUrl)
                : QUrl(QStringLiteral("ssh://") +
                       QString(t.remoteUrl).replace(t.remoteUrl.indexOf(u':'), 1, u'/'));
        m_session.host = url.host();
        m_session.port = url.port(22);
        m_tracking = QStringLiteral("refs/remotes/origin/%1").arg(t.branch).toUtf8();
    }

    Status open() {
        static std::once_flag once;
        std::call_once(once, [] { git_libgit2_init(); });
        if (Status trusted = useCertificateLocations(); !trusted)
            return trusted;
        const QByteArray key =
            QCryptographicHash::hash(m_target.remoteUrl.toUtf8(), QCryptographicHash::Sha1).toHex();
        const QString folder =
            m_options.cacheFolder + QStringLiteral("/") + QString::fromLatin1(key.left(16));
        QDir().mkpath(m_options.cacheFolder);
        const QByteArray path = QFile::encodeName(folder);
        if (git_repository_open_bare(m_repo.out(), path.constData()) != 0 &&
            git_repository_init(m_repo.out(), path.constData(), 1) != 0)
            return Status::failure(QStringLiteral("The copy of the repository in %1 could not be "
                                                  "opened: %2")
                                       .arg(displayPath(folder), lastError()));
        const QByteArray url = m_target.remoteUrl.toUtf8();
        // The address may have been edited since the copy was made.
        if (git_remote_lookup(m_remote.out(), m_repo, "origin") == 0) {
            git_remote_set_url(m_repo, "origin", url.constData());
            git_remote_free(m_remote.p);
            m_remote.p = nullptr;
        }
        if (git_remote_lookup(m_remote.out(), m_repo, "origin") != 0 &&
            git_remote_create(m_remote.out(), m_repo, "origin", url.constData()) != 0)
            return Status::failure(QStringLiteral("The repository address %1 was not taken: %2")
                                       .arg(m_target.remoteUrl, lastError()));
        return Status();
    }

    // The message for a failed fetch or push, by what the callbacks saw.
    QString why(const QString& doing, int code) const {
        const QString where =
            QStringLiteral("%1 (branch %2)").arg(m_target.remoteUrl, m_target.branch);
        if (!m_session.trustProblem.isEmpty())
            return QStringLiteral("Could not %1 %2: %3.").arg(doing, where, m_session.trustProblem);
        if (!m_session.untrustedHost.isEmpty())
            return QStringLiteral("Could not %1 %2: the certificate of %3 does not verify (%4), "
                                  "so the connection was refused. If the server is your own, "
                                  "add its certificate authority to the system's, or name its "
                                  "file in SSL_CERT_FILE.")
                .arg(doing, where, m_session.untrustedHost, lastError());
        if (m_session.credentialsRefused || code == GIT_EAUTH)
            return m_target.https
                       ? QStringLiteral("Could not %1 %2: the server refused the access token "
                                        "(enter a token that may push to this repository).")
                             .arg(doing, where)
                       : QStringLiteral("Could not %1 %2: the server refused the SSH key%3 (add "
                                        "its public key to the account or repository).")
                             .arg(doing, where,
                                  m_options.keyFile.isEmpty()
                                      ? QString()
                                      : QLatin1Char(' ') + displayPath(m_options.keyFile));
        if (code == GIT_EUSER)
            return QStringLiteral("Cancelled; nothing was changed on %1.").arg(where);
        const QString error = lastError();
        // The fetch just before found the repository: a push that ends early lost its connection.
        if (doing == QLatin1String("push to") &&
            (error.contains(QLatin1String("EOF"), Qt::CaseInsensitive) ||
             error.contains(QLatin1String("connection"), Qt::CaseInsensitive)))
            return QStringLiteral("Could not push to %1: the connection ended before the server "
                                  "confirmed the push (%2). The branch may or may not hold the "
                                  "new commit; publish again to finish, nothing is lost. If it "
                                  "happens every time, check that this account may push to the "
                                  "repository.")
                .arg(where, error);
        if (error.contains(QLatin1String("not found"), Qt::CaseInsensitive) ||
            error.contains(QLatin1String("does not appear"), Qt::CaseInsensitive) ||
            error.contains(QLatin1String("early EOF"), Qt::CaseInsensitive) ||
            error.contains(QLatin1String("404")))
            return QStringLiteral("Could not %1 %2: the repository was not found, or this account "
                                  "may not read it (%3).")
                .arg(doing, where, error);
        return QStringLiteral("Could not %1 %2: %3.").arg(doing, where, error);
    }

    Result<std::unique_ptr<Fetched>> fetch() {
        using R = Result<std::unique_ptr<Fetched>>;
        // A stale copy of a branch deleted on the server must not pass for it.
        Reference old;
        if (git_reference_lookup(old.out(), m_repo, m_tracking.constData()) == 0)
            git_reference_delete(old);
        git_fetch_options fetchOptions{};
        git_fetch_options_init(&fetchOptions, GIT_FETCH_OPTIONS_VERSION);
        fetchOptions.callbacks = callbacksFor(m_session);
        fetchOptions.prune = GIT_FETCH_NO_PRUNE;
        fetchOptions.download_tags = GIT_REMOTE_DOWNLOAD_TAGS_NONE;
        const QByteArray spec = "+refs/heads/" + m_target.branch.toUtf8() + ':' + m_tracking;
        char* specs[] = {const_cast<char*>(spec.constData())};
        const git_strarray refspecs{specs, 1};
        if (const int code = git_remote_fetch(m_remote, &refspecs, &fetchOptions, nullptr))
            return R::failure(why(QStringLiteral("fetch"), code));
        auto fetched = std::make_unique<Fetched>();
        git_oid tip;
        if (git_reference_name_to_id(&tip, m_repo, m_tracking.constData()) == 0) {
            if (git_commit_lookup(fetched->tip.out(), m_repo, &tip) != 0)
                return R::failure(QStringLiteral("The fetched branch %1 could not be read: %2")
                                      .arg(m_target.branch, lastError()));
            fetched->exists = true;
        }
        return fetched;
    }

    // The tip's tree with the folder holding exactly files.
    Result<git_oid> treeWith(git_commit* tip, const Files& files) {
        using R = Result<git_oid>;
        Index index;
        Tree base;
        if (git_index_new(index.out()) != 0 || (tip && (git_commit_tree(base.out(), tip) != 0 ||
                                                        git_index_read_tree(index, base) != 0)))
            return R::failure(
                QStringLiteral("The branch's files could not be read: %1").arg(lastError()));
        if (m_target.folder.isEmpty()) {
            git_index_clear(index);
        } else {
            const QByteArray folder = m_target.folder.chopped(1).toUtf8();
            git_index_remove_directory(index, folder.constData(), 0);
            git_index_remove(index, folder.constData(), 0); // a file where the folder goes
        }
        for (auto it = files.begin(); it != files.end(); ++it) {
            const QByteArray path = (m_target.folder + it.key()).toUtf8();
            git_index_entry entry{};
            entry.mode = it->mode;
            entry.id = it->id;
            entry.path = path.constData();
            entry.file_size = uint32_t(it->size);
            if (git_index_add(index, &entry) != 0)
                return R::failure(QStringLiteral("The file %1 could not be committed: %2")
                                      .arg(it.key(), lastError()));
        }
        git_oid tree;
        if (git_index_write_tree_to(&tree, index, m_repo) != 0)
            return R::failure(
                QStringLiteral("The new tree could not be written: %1").arg(lastError()));
        return tree;
    }

    Files folderFiles(git_commit* commit) {
        Tree tree;
        if (commit && git_commit_tree(tree.out(), commit) == 0)
            return filesUnder(m_repo, tree, m_target.folder);
        return {};
    }

    // Fetches, builds the commit the desired files make on the tip, pushes; a
    // refused push (the branch moved) starts again on the new tip.
    PublishReport run(const std::function<Result<Files>(git_commit* tip, QString* undone)>& desired,
                      bool undo) {
        PublishReport report;
        report.undo = undo;
        if (Status opened = open(); !opened) {
            report.message = opened.error();
            return report;
        }
        const QString where =
            QStringLiteral("branch %1 of %2").arg(m_target.branch, m_target.remoteUrl);
        QString lastRefusal;
        for (int attempt = 0; attempt < std::max(1, m_options.pushAttempts); ++attempt) {
            if (m_request.progress)
                m_request.progress({0, 1, QString(), 0, 0});
            auto fetched = fetch();
            if (!fetched) {
                report.message = fetched.error();
                return failed(report);
            }
            git_commit* tip = (*fetched)->exists ? (*fetched)->tip.p : nullptr;
            QString undone;
            const auto files = desired(tip, &undone);
            if (!files) {
                report.message = files.error();
                return report;
            }
            const auto tree = treeWith(tip, *files);
            if (!tree) {
                report.message = tree.error();
                return report;
            }
            report.plan = planOf(folderFiles(tip), *files, m_request.pages);
            report.unchanged = report.plan.unchanged;
            if (tip && git_oid_equal(git_commit_tree_id(tip), &*tree)) {
                report.outcome = m_request.dryRun ? PublishReport::Outcome::Planned
                                                  : PublishReport::Outcome::Published;
                report.message =
                    QStringLiteral("Nothing changed: %1 already holds %2; no commit made")
                        .arg(where, folderLabel(m_target));
                return report;
            }
            if (m_request.dryRun) {
                report.outcome = PublishReport::Outcome::Planned;
                report.message = QStringLiteral("Dry run: %1 on %2; nothing was committed.")
                                     .arg(report.plan.summary(), where);
                return report;
            }
            if (attempt == 0 && m_request.confirm && !m_request.confirm(report.plan)) {
                report.outcome = PublishReport::Outcome::Cancelled;
                report.message = QStringLiteral("Cancelled; nothing was committed.");
                return report;
            }
            git_oid commit;
            if (Status made = makeCommit(&commit, tip, *tree,
                                         commitMessage(m_target, m_options, report.plan, undone));
                !made) {
                report.message = made.error();
                return report;
            }
            m_session.rejected.clear();
            git_push_options pushOptions{};
            git_push_options_init(&pushOptions, GIT_PUSH_OPTIONS_VERSION);
            pushOptions.callbacks = callbacksFor(m_session);
            const QByteArray spec = "refs/tandrel/publish:refs/heads/" + m_target.branch.toUtf8();
            char* specs[] = {const_cast<char*>(spec.constData())};
            const git_strarray refspecs{specs, 1};
            const int code = git_remote_push(m_remote, &refspecs, &pushOptions);
            if (code == 0 && m_session.rejected.isEmpty()) {
                Reference moved;
                git_reference_create(moved.out(), m_repo, m_tracking.constData(), &commit, 1,
                                     nullptr);
                if (!tip)
                    report.notes << QStringLiteral("The branch %1 did not exist; it was made "
                                                   "holding only the funnel.")
                                        .arg(m_target.branch);
                return published(report, commit, where);
            }
            if (code != 0 && code != GIT_ENONFASTFORWARD) {
                report.message = why(QStringLiteral("push to"), code);
                return failed(report);
            }
            lastRefusal = code ? lastError() : m_session.rejected;
            // A hook or a protected branch refuses again however often it is asked.
            static const QRegularExpression moved(
                QStringLiteral("fast-forward|fetch first|stale|lock|failed to update"),
                QRegularExpression::CaseInsensitiveOption);
            if (!code && !moved.match(lastRefusal).hasMatch()) {
                report.message =
                    QStringLiteral("The server refused the update of %1: %2; nothing was changed.")
                        .arg(where, lastRefusal);
                return report;
            }
        }
        report.message = QStringLiteral("Not published: %1 kept changing while publishing (%2); "
                                        "nothing was forced. Publish again.")
                             .arg(where, lastRefusal);
        return report;
    }

private:
    // A cancel shows as a failed fetch or push; it is said as what it was.
    PublishReport& failed(PublishReport& report) const {
        if (m_request.cancelled && m_request.cancelled())
            report.outcome = PublishReport::Outcome::Cancelled;
        return report;
    }

    Status makeCommit(git_oid* commit, git_commit* parent, const git_oid& treeId,
                      const QString& message) {
        Tree tree;
        Signature who;
        if (git_signature_default(who.out(), m_repo) != 0 &&
            git_signature_now(who.out(), "Tandrel", "tandrel@localhost") != 0)
            return Status::failure(lastError());
        const git_commit* parents[] = {parent};
        const QByteArray text = message.toUtf8();
        Reference ref;
        if (git_tree_lookup(tree.out(), m_repo, &treeId) != 0 ||
            git_commit_create(commit, m_repo, nullptr, who, who, "UTF-8", text.constData(), tree,
                              parent ? 1 : 0, parents) != 0 ||
            git_reference_create(ref.out(), m_repo, "refs/tandrel/publish", commit, 1, nullptr) !=
                0)
            return Status::failure(
                QStringLiteral("The commit could not be made: %1").arg(lastError()));
        return Status();
    }

    PublishReport& published(PublishReport& report, const git_oid& commit, const QString& where) {
        report.outcome = PublishReport::Outcome::Published;
        for (const PlannedChange& c : report.plan.changes) {
            if (c.kind == PlannedChange::Kind::Remove) {
                report.oldPagesRemoved += m_request.pages.contains(c.path) ? 1 : 0;
                continue;
            }
            (m_request.pages.contains(c.path) ? report.pagesSent : report.otherSent) += 1;
            report.bytesSent += c.size;
        }
        char hex[GIT_OID_HEXSZ + 1] = {};
        git_oid_tostr(hex, sizeof hex, &commit);
        report.message =
            QStringLiteral("%1 %2 in commit %3 (files: %4, %5 unchanged)")
                .arg(report.undo ? QStringLiteral("Undone on") : QStringLiteral("Published to"),
                     where, QString::fromLatin1(hex).left(12),
                     Changes(report.plan).counts().join(QStringLiteral(", ")))
                .arg(report.plan.unchanged);
        if (!m_request.pageUrls.isEmpty())
            report.notes << QStringLiteral("The host builds the site from the branch; the pages "
                                           "show the change once it has (often within a minute).");
        return report;
    }

    const GitTarget& m_target;
    const GitOptions& m_options;
    const PublishRequest& m_request;
    Session m_session;
    Repo m_repo;
    Remote m_remote;
    QByteArray m_tracking;

public:
    git_repository* repo() const { return m_repo; }
};

} // namespace

QString GitTarget::text() const {
    return remoteUrl + u'#' + branch + (folder.isEmpty() ? QString() : u'/' + folder.chopped(1));
}

bool isGitAddress(const QString& text) {
    const QString t = text.trimmed();
    for (const char* scheme : {"https://", "http://", "ssh://", "git://"})
        if (t.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    return scpLike().match(t).hasMatch();
}

Result<GitTarget> parseGitTarget(const QString& text) {
    using R = Result<GitTarget>;
    const QString t = text.trimmed();
    const qsizetype hash = t.indexOf(u'#');
    const QString base = hash < 0 ? t : t.left(hash);
    const QString fragment = hash < 0 ? QString() : t.mid(hash + 1);
    GitTarget target;
    if (base.startsWith(QLatin1String("https://"), Qt::CaseInsensitive) ||
        base.startsWith(QLatin1String("ssh://"), Qt::CaseInsensitive)) {
        const QUrl url(base);
        if (!url.isValid() || url.host().isEmpty() || url.path().length() < 2)
            return R::failure(QStringLiteral("The repository address %1 names no server and "
                                             "repository.")
                                  .arg(base));
        if (!url.password().isEmpty())
            return R::failure(QStringLiteral("Leave the token out of the repository address; "
                                             "enter it in the password box instead."));
        target.https = url.scheme().toLower() == QLatin1String("https");
        target.user = url.userName();
    } else if (const auto m = scpLike().match(base); m.hasMatch()) {
        target.user = m.captured(1);
    } else {
        return R::failure(QStringLiteral("The repository address %1 must be like "
                                         "git@host:user/repo.git or https://host/user/repo.git "
                                         "(http:// would send the token unencrypted).")
                              .arg(base));
    }
    target.remoteUrl = base;
    target.branch = fragment.section(u'/', 0, 0);
    if (target.branch.isEmpty())
        return R::failure(QStringLiteral("Name the branch after \"#\", such as %1#gh-pages or "
                                         "%1#main/docs.")
                              .arg(base));
    static const QRegularExpression badBranch(
        QStringLiteral("[\\s~^:?*\\[\\\\]|\\.\\.|@\\{|\\.lock$|^[.-]"));
    if (badBranch.match(target.branch).hasMatch())
        return R::failure(
            QStringLiteral("The branch name %1 is not one git allows.").arg(target.branch));
    const QStringList parts = fragment.section(u'/', 1).split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts)
        if (part == QLatin1String("..") || part == QLatin1String(".") ||
            part.compare(QLatin1String(".git"), Qt::CaseInsensitive) == 0)
            return R::failure(
                QStringLiteral("The folder in the repository cannot hold \"%1\".").arg(part));
    target.folder = parts.isEmpty() ? QString() : parts.join(u'/') + u'/';
    return target;
}

Result<QString> testGitConnection(const GitTarget& target, const GitOptions& options) {
    const PublishRequest request;
    GitPublisher publisher(target, options, request);
    if (Status opened = publisher.open(); !opened)
        return Result<QString>::failure(opened.error());
    const auto fetched = publisher.fetch();
    if (!fetched)
        return Result<QString>::failure(fetched.error());
    return (*fetched)->exists
               ? QStringLiteral("Connected: branch %1 of %2 can be read.")
                     .arg(target.branch, target.remoteUrl)
               : QStringLiteral("Connected to %2; it has no branch %1 yet, which the first "
                                "publish creates.")
                     .arg(target.branch, target.remoteUrl);
}

PublishReport publishToGit(const GitTarget& target, const GitOptions& options,
                           const PublishRequest& request) {
    GitPublisher publisher(target, options, request);
    return publisher.run(
        [&](git_commit*, QString*) { return builtFiles(publisher.repo(), request.outputFolder); },
        false);
}

PublishReport undoGitPublish(const GitTarget& target, const GitOptions& options,
                             const PublishRequest& request) {
    GitPublisher publisher(target, options, request);
    const QString trailer = QLatin1String(kFolderTrailer) + folderLabel(target) + u'\n';
    return publisher.run(
        [&](git_commit* tip, QString* undone) -> Result<Files> {
            // The last commit of ours for this folder along the branch's first parents.
            git_commit* at = tip;
            Commit walked;
            for (int depth = 0; at && depth < 10000; ++depth) {
                if (QString::fromUtf8(git_commit_message(at)).endsWith(trailer)) {
                    *undone = QString::fromLatin1(git_oid_tostr_s(git_commit_id(at)));
                    Commit parent;
                    if (git_commit_parentcount(at) > 0 &&
                        git_commit_parent(parent.out(), at, 0) != 0)
                        return Result<Files>::failure(lastError());
                    return publisher.folderFiles(parent);
                }
                Commit next;
                if (git_commit_parentcount(at) == 0 || git_commit_parent(next.out(), at, 0) != 0)
                    break;
                std::swap(walked.p, next.p);
                at = walked;
            }
            return Result<Files>::failure(
                QStringLiteral("Nothing to undo: branch %1 of %2 has no publish of %3 by Tandrel.")
                    .arg(target.branch, target.remoteUrl, folderLabel(target)));
        },
        true);
}

} // namespace tandrel
