#pragma once

#include "apppaths.h"
#include "synonymdb.h"

#include <QWidget>

#include <array>
#include <future>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tandrel {
class ClickLabel;
class TagLabel;
} // namespace tandrel

// "Swiftword": rewrites an article into spin syntax from the synonym file,
// previews variants and saves the result over the article.
class frmQuickSpinner : public QWidget {
    Q_OBJECT
public:
    // articles: the main window's five article labels; their tags hold the
    // paths, which outlive this window.
    frmQuickSpinner(const tandrel::AppPaths& paths,
                    const std::array<tandrel::TagLabel*, 5>& articles, QWidget* parent = nullptr);
    ~frmQuickSpinner() override;

    // The spin text the last rewrite left (the working text before any preview).
    QString lastSpinText() const { return m_lastSpinText; }
    bool synonymsLoaded() const { return m_synonyms.has_value(); }

public slots:
    void Form_Load();
    void ArrangeControls();
    void optArticles_Click(int index);
    void lblChooseArticle_Click(int index);
    void txtArticle_Change();
    void vbtnConvert_Click();
    void vbtnLoad_Click();
    void vbtnPreview_Click();
    void vbtnCopy_Click();
    void cmdCopyPreview_Click();
    void vbtnSave_Click();
    void Command1_Click();
    void Timer1_Timer();
    void tmrPleaseWait_Timer();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Blocks until the synonym file is read: a rewrite never runs on a partial set.
    const tandrel::SynonymDb& synonyms();
    void startLoading();
    void takeLoadedSynonyms();

    tandrel::AppPaths m_paths;
    std::array<tandrel::TagLabel*, 5> m_articles;
    std::future<tandrel::Result<tandrel::SynonymDb>> m_loading;
    std::optional<tandrel::SynonymDb> m_synonyms;
    QString m_loadError;
    QString m_lastSpinText;

    QLabel* Label3 = nullptr;
    std::array<QRadioButton*, 5> optArticles{};
    std::array<tandrel::ClickLabel*, 5> lblChooseArticle{};
    QLabel* lblSelected = nullptr;
    QLabel* Label1 = nullptr;
    QPlainTextEdit* txtArticle = nullptr;
    QPushButton* vbtnConvert = nullptr;
    QPushButton* vbtnLoad = nullptr;
    QLabel* lblPleaseWait = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* txtRewritten = nullptr;
    QPushButton* vbtnSave = nullptr;
    QPushButton* vbtnCopy = nullptr;
    QLabel* Label7 = nullptr;
    QPlainTextEdit* txtPreview = nullptr;
    QPushButton* vbtnPreview = nullptr;
    QPushButton* cmdCopyPreview = nullptr;
    QPushButton* Command1 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* tmrPleaseWait = nullptr;
};
