#pragma once

#include "funnelsettings.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Split Test": the opt-in page's versions side by side. Version A is the page's own
// headline and cover; B and C may bring their own, and each its button text. Starts
// from the funnel's values each time; only Accept changes them.
class SplitTestDialog : public QDialog {
    Q_OBJECT
public:
    SplitTestDialog(const tandrel::FunnelSettings& settings, QWidget* parent = nullptr);
    tandrel::SplitTest splitTest() const;

private:
    void chooseCover(int version);
    void showCover(int version, const QString& path);
    void showEnabled();
    void accepted();

    static constexpr int kVersions = tandrel::SplitTest::kMaxVersions;
    std::array<QCheckBox*, kVersions> chkVersion{};
    std::array<QLineEdit*, kVersions> txtVersionHeadline{};
    std::array<QLabel*, kVersions> lblVersionThumbnail{};
    std::array<QLabel*, kVersions> lblVersionCover{};
    std::array<QPushButton*, kVersions> cmdVersionCover{};
    std::array<QPushButton*, kVersions> cmdVersionCoverClear{};
    std::array<QLineEdit*, kVersions> txtVersionButton{};
    std::array<QString, kVersions> m_covers;
    QStringList m_formFields; // of the pasted form
    QLineEdit* txtVersionField = nullptr;
    QComboBox* cboVersionTag = nullptr;
};
