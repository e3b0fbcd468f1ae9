#pragma once

#include "apppaths.h"
#include "funnelsettings.h"
#include "recoverystore.h"
#include "tandrelversion.h"

#include <QDateTime>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QHBoxLayout;
class QVBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTimer;
class LivePreview;
class ThemeGallery;
class PublishPanel;

namespace tandrel {
class ClickLabel;
class CollapsiblePanel;
class ColorSwatch;
class TagLabel;
struct BuildOutcome;
} // namespace tandrel

// The main window: five sections holding one funnel's settings, and the build.
class frmMass : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kProductName = "Tandrel";
    static constexpr const char* kVersion = tandrel::kVersion;
    static constexpr const char* kProjectWebPage = "https://tandrel.app/";

    explicit frmMass(const tandrel::AppPaths& paths, QWidget* parent = nullptr);
    ~frmMass() override;

    // What the build reads, taken from the controls at this moment.
    tandrel::FunnelSettings settings() const;
    // Sets every field as given; the page addresses are taken as they are, never drawn anew.
    void setSettings(const tandrel::FunnelSettings& settings);

    // Changes since the funnel was last saved, opened or started empty.
    bool hasUnsavedChanges() const;
    // Where this window keeps its unsaved values for the next start after a crash;
    // empty until it first needs one. Each running window holds its own.
    QString recoveryFile() const { return m_recovery.path(); }
    // Offers, one by one, the recovery files of windows that did not end normally
    // (never one a running window holds); true when one was taken back.
    bool offerRecovery();

    int shownSection() const;
    QString headCode() const { return m_kept.headCode; }

    // The spinner's five article paths live here for the run.
    std::array<tandrel::TagLabel*, 5> lblSelected{};

public slots:
    void Form_Load();
    void ShowSection(int index);
    void lblMenu_Click(int index);
    void qMenu_ExpandCollapse(int index);
    void Label50_Click(int index);
    void tmrReminder_Timer();
    void txtFunnelUrl_Change();
    void lblColorPicker_Click(int index);
    void lblApply_Click(int index);
    void cmdFileSelect_Click(int index);
    void Label40_Click();
    void Label45_Click();
    void lblHead_Click();
    void Label63_Click();
    void Command4_Click();
    void cmdPro_Click();
    void cmdSplitTest_Click();
    void lblBy_Click();
    void cmdBuildFunnel_Click();
    void cmdOpenOutput_Click();
    // Builds into a folder of its own and opens the opt-in page in the browser.
    void cmdPreview_Click();
    // What the last build's pages tell others about their visitors.
    void cmdPrivacyReport_Click();
    void cmdSaveFunnel_Click();
    void cmdSaveFunnelAs_Click();
    void cmdOpenFunnel_Click();
    // The funnels saved or opened here, each with its live address and last publish.
    void cmdMyFunnels_Click();
    // The live preview beside the sections, or the sections alone.
    void showLivePreview(bool shown);

    void cmdSpinner_Click();
    // The user manual in the browser, at the part named (an anchor of its page).
    void showManual(const QString& topic = QString());

public:
    // The open-file dialog of the file buttons: the full path, or empty text when cancelled.
    QString ShowOpenFileDialog(bool imagesOnly);

public:
    // Sets chosen file 1 to a picture made elsewhere (the cover creator).
    void useCover(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Says why a build gave no funnel, showing the section that lacks a value; false then.
    bool reportUnbuilt(const tandrel::BuildOutcome& outcome);
    // A build's outcome in the status line, in place of what no longer holds.
    void showBuildResult(const tandrel::BuildOutcome& outcome);
    // One row of the binding table: a saved value (by its key in funnelFields()) and its
    // control.
    struct Binding {
        std::function<void(const tandrel::FunnelSettings&)> show;
        std::function<void(tandrel::FunnelSettings&)> take;
    };
    void bindFields();
    template <typename T>
    void bindValue(const char* key, std::function<void(const T&)> show, std::function<T()> take);
    template <typename T, typename Control, typename Signal>
    void bind(const char* key, Control* control, Signal changed, std::function<void(const T&)> show,
              std::function<T()> take);
    // Every edit passes here: title, recovery file and the notices follow.
    void edited();
    // What the window shows now counts as saved; a start keeps a crash's recovery file.
    void markClean(bool keepRecovery = false);
    void updateTitle();
    void writeRecovery();
    void removeRecovery();
    bool offerRecoveryFile(tandrel::LeftRecovery left);
    // Asks to save changes before they would be replaced; false when the user cancels.
    bool mayReplaceValues();
    // The spinner's edits, asked about before the window closes; then it closes too.
    bool mayCloseTools();
    void closeTools();
    // In place when the funnel has a file and no other name is asked for.
    bool saveFunnel(bool askName = false);
    // Where file dialogs start: the funnel's folder, or home for a new funnel.
    QString startFolder() const;
    // Opens a funnel file the user chose; the unsaved-changes question came before.
    void openFunnelFile(const QString& path);
    // In the user's list of funnels, after a save or an open, and after a publish.
    void rememberFunnel();
    void recordPublish();
    QString userSettingsFile() const;
    void keepPreviewState();
    // A cover the cover creator made (for this window, for the funnel's file, or the one
    // all funnels once shared), which a save copies beside the funnel under its name.
    bool isMadeCover(const QString& path) const;
    void showPageAddresses();
    // Tab follows the shown section's rows top to bottom, each left to right;
    // the first control of the section, if any.
    QWidget* orderTabs();
    void checkVideoField();

    // Header, menu, sections and status line across the window's present size.
    void placeParts();
    void placeEditors();
    // Shown as the user wants it where the window has room; force: placed anew.
    void placePreview(bool force);
    void buildHeader();
    void buildMenu();
    void buildStatusLine();
    QGroupBox* buildGeneralInfo();
    QGroupBox* buildLeadMagnet();
    void buildCampaignMapping(QWidget* optin, QHBoxLayout* formRow, QVBoxLayout* optinLayout);
    QGroupBox* buildAfterSubscription();
    QGroupBox* buildThankYou();
    QGroupBox* buildBuildSection();
    void setChosenFile(int index, const QString& path);
    void setSwatch(int index, const QString& value);
    bool isFunnelUrlMissing() const;
    // Shown whole below the sections; a warning stays until it is dismissed.
    void showStatus(const QString& text, bool warning = false);
    void refreshChecklist();
    void refreshSampleNotice();
    // The field with a note below it on how the page will read what was typed.
    // whenLeft: the note comes when the field is left, and goes as soon as it is mended.
    QWidget* withNote(QLineEdit* field, QString (*reading)(const QString&) = nullptr,
                      bool whenLeft = false);
    // A web address field: "https://" goes in front when it is left without a scheme,
    // and its note says what a browser could not follow.
    QWidget* addressField(QLineEdit* field);
    void showNote(QLabel* note, const QString& text);
    void placeLeadPanels();
    QHBoxLayout* addressRow(const QString& caption, QLineEdit* address, const QString& linkName,
                            void (frmMass::*copy)());

    tandrel::AppPaths m_paths;
    // The values no control sets (SetBy::Elsewhere): HEAD, retargeting and back-control
    // code, the cover design and the page numbers drawn with the funnel address. Its other
    // members stay at their defaults; settings() reads only these.
    tandrel::FunnelSettings m_kept;
    QString m_lastFunnelFile;     // saved to or opened from; empty for a new funnel
    QByteArray m_funnelFileStamp; // its content's hash when this window last read or wrote it
    std::vector<Binding> m_bindings;
    // What was last saved or opened; the unsaved mark compares against it.
    tandrel::FunnelSettings m_baseline;
    bool m_loading = false;
    bool m_dirty = false;
    // Page numbers the autoresponder may already know (after a save, open or build).
    int m_knownThankYou = 0;
    int m_knownDownload = 0;
    QTimer* tmrRecovery = nullptr;
    tandrel::RecoveryStore m_recovery;
    // The last preview's folder, removed with the window or the next preview.
    std::unique_ptr<QTemporaryDir> m_previewFolder;

    // The sections beside the live preview.
    QSplitter* m_split = nullptr;
    QWidget* m_editors = nullptr;
    LivePreview* m_livePreview = nullptr;
    QPushButton* cmdLivePreview = nullptr;
    bool m_previewPlaced = false;
    bool m_previewWanted = true;
    int m_previewWidth = 440;
    // A publish before the funnel had a file: its list entry gets it at the first save.
    QDateTime m_publishedUnsaved;

    // Header and menu
    QLabel* lblAppName = nullptr;
    tandrel::ClickLabel* lblBy = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* cmdDismissStatus = nullptr;
    static constexpr int kStatusLineHeight = 40;
    std::array<QFrame*, 5> qMenu{};
    std::array<tandrel::ClickLabel*, 5> lblMenu{};
    std::array<QGroupBox*, 5> frTab{};

    // Section 0
    QLineEdit* txtFunnelUrl = nullptr;
    std::array<QRadioButton*, 2> optBackground{};
    std::array<tandrel::ColorSwatch*, tandrel::PrivacyColor + 1> lblColorPicker{};
    std::array<QPushButton*, 3> cmdFileSelect{};
    std::array<tandrel::TagLabel*, tandrel::DeliveryFile + 1> lblSelectedFile{};
    std::array<QLabel*, 2> lblThumbnail{}; // background and cover
    QLineEdit* txtFooterNew = nullptr;
    QComboBox* cboLanguage = nullptr;
    ThemeGallery* galThemes = nullptr;
    // Beside the funnel address, the opt-in form, the cover and the video.
    std::array<QFrame*, 4> shreminder{};

    // Section 1
    std::array<tandrel::CollapsiblePanel*, 2> qLeadMagnet{};
    std::array<tandrel::ClickLabel*, 2> Label50{};
    QLabel* lblWarningOptinForm = nullptr;
    QLineEdit* txtFunnel_LeadLine1 = nullptr;
    QLineEdit* txtFunnel_Instructions = nullptr;
    QLineEdit* txtFunnel_Privacy = nullptr;
    std::array<tandrel::ClickLabel*, 4> lblApply{};
    QComboBox* cboCols = nullptr;
    QCheckBox* chkProgressBar = nullptr;
    QPlainTextEdit* txtoptinForm = nullptr;
    QLabel* lblCoverWarning = nullptr;
    std::array<QRadioButton*, 2> optFormLayout{}; // 0 tidy, 1 exactly as pasted
    QLabel* lblFormLayout = nullptr;
    // One campaign parameter at a time, and the form field that receives it.
    QComboBox* cboCampaignValue = nullptr;
    QLineEdit* txtCampaignField = nullptr;
    QLabel* lblNote_txtCampaignField = nullptr;
    QJsonObject m_campaignFields;
    void showCampaignField();
    QLineEdit* txtCapture_Url = nullptr;
    QLabel* lblAddressNotice = nullptr;
    QPushButton* cmdRestoreAddresses = nullptr;

    // Section 2
    QLabel* lblWarningAfterSubscription = nullptr;
    std::array<QRadioButton*, 2> optAction{};
    QLineEdit* txtRedirectUrl = nullptr;
    QLineEdit* txtBeforeRedirectMsg1 = nullptr;
    QLineEdit* txtBeforeRedirectMsg2 = nullptr;
    QLineEdit* txtDownloadUrl = nullptr;

    // Section 3
    QLineEdit* txtThanks = nullptr;
    QLineEdit* txtFunnel_YouTubeID = nullptr;
    QLabel* lblVideoWarning = nullptr;
    QCheckBox* chkAutoplay = nullptr;
    QLineEdit* txtDownloadText = nullptr;
    QLineEdit* txtFileDownloadUrl = nullptr;

    // Section 4
    QLabel* lblWarningFinal = nullptr;
    PublishPanel* m_publish = nullptr;
    QLabel* lblChecklist = nullptr;
    // Texts the last build still took from the samples, until each is changed.
    QLabel* lblSampleTexts = nullptr;
    QStringList m_builtSamples;

    QLineEdit* txtLastPath = nullptr;
    QTimer* tmrReminder = nullptr;
    // Ticks each reminder has blinked while its value is missing.
    int m_blinks[4] = {0, 0, 0, 0};
    static constexpr int kReminderBlinks = 24;
};
