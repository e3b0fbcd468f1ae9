#pragma once

#include "apppaths.h"
#include "articlefiles.h"
#include "synonymdb.h"

#include <QWidget>

#include <array>
#include <future>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;

namespace tandrel {
class ClickLabel;
} // namespace tandrel

// "Swiftword": rewrites an article into spin syntax from the synonym file,
// keeps that spin text, previews and exports variants, saves the result.
class frmQuickSpinner : public QWidget {
    Q_OBJECT
public:
    // articles: the paths of the five articles, empty where none is chosen.
    frmQuickSpinner(const tandrel::AppPaths& paths, const std::array<QString, 5>& articles,
                    QWidget* parent = nullptr);
    ~frmQuickSpinner() override;

    bool synonymsLoaded() const { return m_synonyms.has_value(); }
    // Where the protected words are kept between runs.
    QString settingsFile() const { return m_paths.join(QStringLiteral("tandrel.ini")); }

    // True when nothing typed in the window would be lost, or the user lets it go.
    bool mayDiscardEdits();
    // Closes without asking again, after mayDiscardEdits.
    void closeDiscarding();

signals:
    // The user chose the file of article index here; whoever keeps the paths
    // for the run takes it.
    void articleChosen(int index, const QString& path);

public slots:
    void Form_Load();
    void optArticles_Click(int index);
    void lblChooseArticle_Click(int index);
    void txtArticle_Change();
    void vbtnConvert_Click();
    void vbtnLoad_Click();
    void vbtnPreview_Click();
    void vbtnCopy_Click();
    void cmdCopyPreview_Click();
    void vbtnSave_Click();
    void vbtnSaveAs_Click();
    void vbtnExport_Click();
    void txtProtected_Change();
    void chkKeepOriginal_Click();
    void optTier_Click();
    void Command1_Click();
    void Timer1_Timer();
    void tmrPleaseWait_Timer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    // Blocks until the synonym file is read: a rewrite never runs on a partial set.
    const tandrel::SynonymDb& synonyms();
    void startLoading();
    void takeLoadedSynonyms();
    // A result belongs to the article it was made from: both go together.
    void showArticle(const QString& path, const tandrel::LoadedArticle& article);
    bool resultIsEmpty(const QString& nothingDone);
    void keepSetting(const QString& key, const QVariant& value, const QString& what);
    // Asks question (when given; the encoding note is added), then writes the result.
    void writeResult(const QString& path, const QString& question);

    tandrel::AppPaths m_paths;
    std::future<tandrel::Result<tandrel::SynonymDb>> m_loading;
    std::optional<tandrel::SynonymDb> m_synonyms;
    QString m_loadError;
    // What the window last put in the article and result boxes, to tell edits.
    QString m_loadedArticle;
    QString m_lastResult;
    tandrel::ArticleFormat m_format;
    int m_selected = -1; // the option whose article the boxes hold
    bool m_discarding = false;

    QLabel* Label3 = nullptr;
    std::array<QRadioButton*, 5> optArticles{};
    std::array<tandrel::ClickLabel*, 5> lblChooseArticle{};
    QLabel* lblSelected = nullptr;
    QLabel* Label1 = nullptr;
    QPlainTextEdit* txtArticle = nullptr;
    QPushButton* vbtnConvert = nullptr;
    QPushButton* vbtnLoad = nullptr;
    QLabel* lblPleaseWait = nullptr;
    QLabel* lblProtected = nullptr;
    QLineEdit* txtProtected = nullptr;
    QCheckBox* chkKeepOriginal = nullptr;
    QRadioButton* optCareful = nullptr; // beside Rewrite: which synonym groups it uses
    QRadioButton* optBold = nullptr;
    QSpinBox* spnMinDifference = nullptr; // the export's floor, per cent of words
    QLabel* lblVariants = nullptr;
    // The figures of the last rewrite with each tier, while the article and
    // its options stay the same, so the line can set one beside the other.
    struct TierFigures {
        QString input;
        QString text;
    };
    std::array<TierFigures, 2> m_tierFigures;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* txtRewritten = nullptr;
    QPushButton* vbtnSave = nullptr;
    QPushButton* vbtnSaveAs = nullptr;
    QPushButton* vbtnExport = nullptr;
    QPushButton* vbtnCopy = nullptr;
    QLabel* Label7 = nullptr;
    QPlainTextEdit* txtPreview = nullptr;
    QPushButton* vbtnPreview = nullptr;
    QPushButton* cmdCopyPreview = nullptr;
    QPushButton* Command1 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* tmrPleaseWait = nullptr;
};
