#pragma once

#include "result.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>

class QPushButton;
class QTreeWidget;

// A funnel this user saved or opened, and where and when it went live.
struct KnownFunnel {
    QString file;
    QString address;     // the funnel address, where its opt-in page lives
    QDateTime published; // invalid until a publish from this program succeeds
};

// The funnels of the user's settings file, the most recently used first.
class FunnelList {
public:
    static constexpr int kLimit = 30;
    explicit FunnelList(QString settingsFile) : m_settingsFile(std::move(settingsFile)) {}

    QList<KnownFunnel> entries() const;
    // Saved or opened: it goes first, keeping its publish date.
    tandrel::Status remember(const QString& file, const QString& address);
    tandrel::Status recordPublish(const QString& file, const QString& address,
                                  const QDateTime& when);
    tandrel::Status forget(const QString& file);

private:
    tandrel::Status store(QList<KnownFunnel> entries) const;
    QString m_settingsFile;
};

// "My Funnels": the list, with each funnel's live address as a link.
class frmMyFunnels : public QDialog {
    Q_OBJECT
public:
    frmMyFunnels(const QString& settingsFile, QWidget* parent = nullptr);
    // The funnel to open once the dialog is accepted.
    QString chosenFile() const { return m_chosen; }

private:
    void fill();
    void selectionChanged();
    void openChosen();
    void forgetChosen();
    QString currentFile() const;

    FunnelList m_list;
    QTreeWidget* lstFunnels;
    QPushButton* cmdOpenListed;
    QPushButton* cmdForgetListed;
    QString m_chosen;
};
