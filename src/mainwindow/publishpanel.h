#pragma once

#include "apppaths.h"
#include "funnelsettings.h"

#include <QElapsedTimer>
#include <QGroupBox>

#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>

class QCheckBox;
class QFormLayout;
class QLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QThread;

namespace tandrel {
struct HostKeyQuestion;
struct PublishPlan;
struct PublishProgress;
struct PublishReport;
} // namespace tandrel

// The Publish group of the Build Funnel section: uploads the last build to
// the user's host on a worker thread, so the window stays responsive and the
// upload can be cancelled at any moment.
class PublishPanel : public QGroupBox {
    Q_OBJECT
public:
    PublishPanel(const tandrel::AppPaths& paths,
                 std::function<tandrel::FunnelSettings()> currentSettings,
                 QWidget* parent = nullptr);
    ~PublishPanel() override;

    QString address() const;
    // A remembered password for the address is filled in.
    void setAddress(const QString& address);
    // The last result no longer holds (a new build).
    void forgetResult();

signals:
    void finished();  // a publish or connection test ended
    void published(); // the pages are live

public slots:
    void cmdTestConnection_Click();
    void cmdPublish_Click();
    void cmdCancelPublish_Click();
    void cmdUndoPublish_Click();
    void showHistory();

private:
    enum class Job { Test, Publish, Undo };
    void start(Job job);
    void addressChanged();
    void showProgress(const tandrel::PublishProgress& progress);
    void jobEnded(bool ok, const QString& text, const QStringList& pageUrls = {});
    // The live pages, when given, as links after the message's first paragraph.
    void showResult(const QString& text, bool ok, const QStringList& pageUrls = {});
    bool askTrust(const tandrel::HostKeyQuestion& question);
    bool confirmPlan(const tandrel::PublishPlan& plan, bool newPages);
    // Asks on the window's thread and waits; false when the window closes meanwhile.
    bool askFromWorker(const std::function<bool()>& ask);
    QString keyringKey() const;
    QString settingsFile() const;
    QString keyFileSetting() const;
    QString s3Setting(const char* name) const;

    tandrel::AppPaths m_paths;
    std::function<tandrel::FunnelSettings()> m_currentSettings;
    QLineEdit* txtPublishTo;
    QLineEdit* txtPublishPassword;
    QLineEdit* txtPublishKey;
    QLineEdit* txtS3Endpoint;
    QLineEdit* txtS3Region;
    QCheckBox* chkS3PathStyle;
    QFormLayout* m_form;
    QLayout* m_s3Row;
    QLayout* m_keyRow;
    QSpinBox* spnConnections;
    QPushButton* cmdPublishKey;
    QCheckBox* chkRememberPassword;
    QLabel* lblPublishNote;
    QPushButton* cmdTestConnection;
    QPushButton* cmdPublish;
    QPushButton* cmdUndoPublish;
    QPushButton* cmdCancelPublish;
    QProgressBar* prgPublish;
    QLabel* lblPublishFile;
    QLabel* lblPublishResult;
    QPushButton* cmdCopyThanks;
    QString m_thanksUrl;
    // When the publish started, and (time, bytes sent) of its last seconds.
    QElapsedTimer m_clock;
    std::deque<std::pair<qint64, qint64>> m_samples;

    QThread* m_worker = nullptr;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_closing{false};
    // A host key question waiting for the user; answered "no" if the window closes.
    std::mutex m_questionMutex;
    std::optional<std::promise<bool>> m_pendingAnswer;
};
