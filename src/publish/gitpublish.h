#pragma once

#include "publish.h"

namespace tandrel {

// A branch of a git repository and a folder in it: "git@host:user/repo.git#branch/folder",
// "ssh://git@host:port/path/repo.git#branch" or "https://host/user/repo.git#branch/folder".
struct GitTarget {
    QString remoteUrl; // as git takes it, without the fragment
    QString branch;
    QString folder; // "" the whole repository, else ending in "/"
    bool https = false;
    QString user; // "git" of git@host; for https the token's user, when given
    QString text() const;
};

// Whether the address is meant for a git host, so the git parser's messages apply.
bool isGitAddress(const QString& text);
Result<GitTarget> parseGitTarget(const QString& text);

struct GitOptions {
    QString secret;         // https: the access token; ssh: the key's passphrase
    QString keyFile;        // ssh: empty tries the usual keys in ~/.ssh, then the agent
    QString knownHostsFile; // ssh: empty ~/.ssh/known_hosts
    std::function<bool(const HostKeyQuestion&)> trustNewHostKey;
    QString cacheFolder;  // where the private copies of repositories are kept
    QString funnelName;   // named in the commit messages
    int pushAttempts = 3; // a push refused because the branch moved is built again on top
};

// Fetches the branch, commits a tree whose folder holds exactly the built
// files (the rest of the repository as it was), and pushes it, never by force.
// No change makes no commit; a dry run plans and writes nothing.
PublishReport publishToGit(const GitTarget& target, const GitOptions& options,
                           const PublishRequest& request);

// A new commit putting the folder back as it was before the last publish's
// (or undo's) commit; undoing an undo redoes.
PublishReport undoGitPublish(const GitTarget& target, const GitOptions& options,
                             const PublishRequest& request);

// Fetches the branch; the message says what was found.
Result<QString> testGitConnection(const GitTarget& target, const GitOptions& options);

} // namespace tandrel
