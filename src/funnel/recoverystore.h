#pragma once

#include "apppaths.h"
#include "funnelsettings.h"
#include "result.h"

#include <QLockFile>
#include <QStringList>

#include <memory>
#include <optional>

namespace tandrel {

// What a window that did not end normally left for the next start.
struct LeftRecovery {
    QString path;
    QString funnelFile; // the saved file the values differ from; empty for a new funnel
    Result<FunnelSettings> settings = Result<FunnelSettings>::failure(QString());
    std::unique_ptr<QLockFile> lock; // held while it is offered and after it is adopted
};

// Where a window keeps its unsaved values for the next start after a crash:
// recovery.funnel.json for the first window, recovery-N.funnel.json for the others,
// each locked by the running window that writes it.
class RecoveryStore {
public:
    explicit RecoveryStore(AppPaths paths) : m_paths(std::move(paths)) {}

    // This store's file; empty until it first writes one or keeps a cover.
    QString path() const { return m_path; }
    // Claims a file on the first call; the failure is a sentence for the user.
    Status write(const QString& funnelFile, const FunnelSettings& settings);
    // Removes this store's file and its cover folder; the claim stays.
    void remove();

    // The folder, beside this store's file and locked with it, where the window keeps a
    // cover made for a funnel not saved since; made (and the file claimed) on request.
    QString coverDir() const;
    Result<QString> makeCoverDir();
    // Removes a left file the user did not take back, with its covers.
    static void discard(const QString& path);

    // The files other windows left, in name order; never this store's own.
    QStringList leftFiles() const;
    // The file locked and read; nothing while a running window holds it.
    std::optional<LeftRecovery> open(const QString& path) const;
    // The left file becomes this store's, in place of its own.
    void adopt(LeftRecovery&& left);

private:
    // The reason when no file could be claimed, empty once one is.
    QString claim();

    AppPaths m_paths;
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace tandrel
