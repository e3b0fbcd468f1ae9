#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;

// "Add Code": the HEAD code of the opt-in page. Starts from the current code
// each time; only Accept changes it.
class frmHead : public QDialog {
    Q_OBJECT
public:
    explicit frmHead(const QString& headCode, QWidget* parent = nullptr);
    QString headCode() const;

public slots:
    void Command1_Click();
    void Command2_Click();

private:
    QPlainTextEdit* txtHEADCode;
};

// "Free Hosting": pages of free web-hosting providers.
class frmFreeWebsites : public QDialog {
    Q_OBJECT
public:
    explicit frmFreeWebsites(QWidget* parent = nullptr);
    struct Host {
        QString name, url, how;
    };
    static const QList<Host>& hosts();

public slots:
    void List1_DblClick();
    void Command1_Click();

private:
    QListWidget* List1;
};

// "Privacy Report": what the built pages tell others about their visitors, one line each.
class frmPrivacyReport : public QDialog {
    Q_OBJECT
public:
    frmPrivacyReport(const QString& summary, const QStringList& lines, QWidget* parent = nullptr);
};

// "Retargeting / Back Control": the tracking code placed on the opt-in page
// and where a visitor who presses Back is sent.
class frmPro : public QDialog {
    Q_OBJECT
public:
    frmPro(const QString& retargetingCode, bool backControl, const QString& backUrl,
           QWidget* parent = nullptr);
    QString retargetingCode() const;
    bool backControl() const;
    QString backUrl() const;

public slots:
    void Command1_Click();
    void Command2_Click();

private:
    QPlainTextEdit* txtRetargeting;
    QCheckBox* chkBackControl;
    QLineEdit* txtBackUrl;
};
