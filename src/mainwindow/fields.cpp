#include "frmmass.h"

#include "publishpanel.h"

#include "controls.h"
#include "desktop.h"
#include "modcolorpicker.h"
#include "pastecheck.h"
#include "tools.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

// The binding table between FunnelSettings and the controls, and the editors
// that change values without typing.

using namespace tandrel;

namespace {

const QString kNoSelectedImage = QStringLiteral("No Selected Image");
const QString kNoSelectedFile = QStringLiteral("No Selected File");

} // namespace

template <typename Control, typename Signal>
void frmMass::bind(Control* control, Signal changed,
                   std::function<void(const FunnelSettings&)> show,
                   std::function<void(FunnelSettings&)> take) {
    connect(control, changed, this, &frmMass::edited);
    m_bindings.push_back({std::move(show), std::move(take)});
}

void frmMass::bindFields() {
    const auto line = [this](QLineEdit* edit, QString FunnelSettings::*member) {
        bind(
            edit, &QLineEdit::textChanged,
            [edit, member](const auto& s) { edit->setText(s.*member); },
            [edit, member](auto& s) { s.*member = edit->text(); });
    };
    const auto check = [this](QCheckBox* box, int FunnelSettings::*member) {
        bind(
            box, &QCheckBox::toggled,
            [box, member](const auto& s) { box->setChecked(s.*member == 1); },
            [box, member](auto& s) { s.*member = box->isChecked() ? 1 : 0; });
    };
    // Option 1 checked means 1; anything else shows option 0.
    const auto options = [this](std::array<QRadioButton*, 2> option, int FunnelSettings::*member) {
        bind(
            option[1], &QRadioButton::toggled,
            [option, member](const auto& s) { option[s.*member == 1 ? 1 : 0]->setChecked(true); },
            [option, member](auto& s) { s.*member = option[1]->isChecked() ? 1 : 0; });
    };

    line(txtFunnelUrl, &FunnelSettings::txtFunnelUrl);
    options(optBackground, &FunnelSettings::optBackground);
    for (int i = 0; i < 6; ++i) {
        // Swatches change through setSwatch, which reports the edit itself.
        m_bindings.push_back(
            {[this, i](const auto& s) { setSwatch(i, s.lblColorPicker[i]); },
             [this, i](auto& s) { s.lblColorPicker[i] = lblColorPicker[i]->tag(); }});
    }
    for (int i = 0; i < 3; ++i) {
        m_bindings.push_back({[this, i](const auto& s) {
                                  setChosenFile(i, s.lblSelectedFile[i].caption);
                                  lblSelectedFile[i]->setTag(s.lblSelectedFile[i].tag);
                              },
                              [this, i](auto& s) {
                                  const QString tag = lblSelectedFile[i]->tag();
                                  s.lblSelectedFile[i] = {
                                      tag.isEmpty() ? QString() : lblSelectedFile[i]->text(), tag};
                              }});
    }
    line(txtFooterNew, &FunnelSettings::txtFooterNew);
    bind(
        cboLanguage, &QComboBox::currentIndexChanged,
        [this](const auto& s) {
            cboLanguage->setCurrentIndex(std::max(0, cboLanguage->findData(s.language)));
        },
        [this](auto& s) { s.language = cboLanguage->currentData().toString(); });
    line(txtFunnel_LeadLine1, &FunnelSettings::txtFunnel_LeadLine1);
    line(txtFunnel_Instructions, &FunnelSettings::txtFunnel_Instructions);
    line(txtFunnel_Privacy, &FunnelSettings::txtFunnel_Privacy);
    bind(
        cboCols, &QComboBox::currentIndexChanged,
        [this](const auto& s) { cboCols->setCurrentIndex(s.cboCols == 0 ? 0 : 1); },
        [this](auto& s) { s.cboCols = cboCols->currentIndex() == 0 ? 0 : 1; });
    check(chkProgressBar, &FunnelSettings::chkProgressBar);
    bind(
        txtoptinForm, &QPlainTextEdit::textChanged,
        [this](const auto& s) { txtoptinForm->setPlainText(s.txtoptinForm); },
        [this](auto& s) { s.txtoptinForm = txtoptinForm->toPlainText(); });
    bind(
        optFormLayout[1], &QRadioButton::toggled,
        [this](const auto& s) { optFormLayout[s.tidyOptinForm ? 0 : 1]->setChecked(true); },
        [this](auto& s) { s.tidyOptinForm = optFormLayout[0]->isChecked(); });
    bind(
        optAction[1], &QRadioButton::toggled,
        [this](const auto& s) {
            optAction[s.optAction == 0 ? 0 : 1]->setChecked(true);
            txtRedirectUrl->setEnabled(s.optAction != 0);
        },
        [this](auto& s) { s.optAction = optAction[0]->isChecked() ? 0 : 1; });
    line(txtRedirectUrl, &FunnelSettings::txtRedirectUrl);
    line(txtBeforeRedirectMsg1, &FunnelSettings::txtBeforeRedirectMsg1);
    line(txtBeforeRedirectMsg2, &FunnelSettings::txtBeforeRedirectMsg2);
    line(txtThanks, &FunnelSettings::txtThanks);
    line(txtFunnel_YouTubeID, &FunnelSettings::txtFunnel_YouTubeID);
    check(chkAutoplay, &FunnelSettings::chkAutoplay);
    line(txtDownloadText, &FunnelSettings::txtDownloadText);
    line(txtFileDownloadUrl, &FunnelSettings::txtFileDownloadUrl);
    bind(
        m_publish->findChild<QLineEdit*>(QStringLiteral("txtPublishTo")), &QLineEdit::textChanged,
        [this](const auto& s) { m_publish->setAddress(s.publishTo); },
        [this](auto& s) { s.publishTo = m_publish->address(); });
}

FunnelSettings frmMass::settings() const {
    // The page addresses and the dialogs' values live in m_hidden.
    FunnelSettings s = m_hidden;
    for (const Binding& binding : m_bindings)
        binding.take(s);
    return s;
}

void frmMass::setSettings(const FunnelSettings& s) {
    {
        // The saved page numbers stand: no new draw while the values are set.
        const QScopedValueRollback loading(m_loading, true);
        m_hidden = s;
        for (const Binding& binding : m_bindings)
            binding.show(s);
        lblVideoWarning->hide();
    }
    showPageAddresses();
    // Warnings and the opt-in box follow the new address.
    ShowSection(shownSection());
    edited();
}

// ---- Funnel address and page addresses ----

void frmMass::txtFunnelUrl_Change() {
    if (m_loading)
        return;
    m_hidden.txtFunnelUrl = txtFunnelUrl->text();
    m_hidden.drawFunnelLinks();
    showPageAddresses();
}

void frmMass::showPageAddresses() {
    const bool missing = isFunnelUrlMissing();
    const QString placeholder =
        QStringLiteral("Missing: enter the funnel address under General Info first");
    for (QLineEdit* box : {txtCapture_Url, txtDownloadUrl}) {
        box->setPlaceholderText(placeholder);
        box->setToolTip(missing ? placeholder : QString());
    }
    txtCapture_Url->setText(missing ? QString() : m_hidden.txtCapture_Url);
    txtDownloadUrl->setText(missing ? QString() : m_hidden.txtDownloadUrl);

    const bool known = m_knownThankYou > 0 && m_knownDownload > 0;
    const bool changed = known && (m_hidden.thankYouPageNumber != m_knownThankYou ||
                                   m_hidden.downloadPageNumber != m_knownDownload);
    lblAddressNotice->setVisible(changed && !missing);
    cmdRestoreAddresses->setVisible(changed && !missing);
    lblAddressNotice->parentWidget()
        ->findChild<QWidget*>(QStringLiteral("urlTips"))
        ->setHidden(changed && !missing);
    if (changed && !missing)
        lblAddressNotice->setText(
            QStringLiteral("The page addresses changed to %1 and %2: give your autoresponder the "
                           "new thank-you page address, or keep the previous ones.")
                .arg(m_hidden.thankYouPageFile, m_hidden.downloadPageFile));
}

void frmMass::checkVideoField() {
    const QString typed = txtFunnel_YouTubeID->text();
    const std::optional<QString> id = videoIdFromPaste(typed);
    if (id && *id != typed)
        txtFunnel_YouTubeID->setText(*id);
    const bool junk = !typed.trimmed().isEmpty() && !id;
    lblVideoWarning->setText(junk ? QStringLiteral("This is neither a video id nor a video page "
                                                   "address; the page will not play it.")
                                  : QString());
    lblVideoWarning->setVisible(junk);
}

// ---- Field editors ----

void frmMass::setSwatch(int index, const QString& value) {
    lblColorPicker[index]->setColorValue(value);
    edited();
}

void frmMass::lblColorPicker_Click(int index) {
    if (index < 0 || index > 5)
        return;
    const auto colour = modColorPicker::ShowColorDialog(this, lblColorPicker[index]->color());
    // Cancel keeps the swatch as it was.
    if (!colour)
        return;
    modColorPicker::SplitColor(*colour);
    setSwatch(index, modColorPicker::colorValue());
}

void frmMass::lblApply_Click(int index) {
    if (!desktop().question(this,
                            QStringLiteral("Apply this color to other fields (Lead Page Only)?"),
                            QStringLiteral("Confirm"), MessageIcon::None))
        return;
    struct Targets {
        int source;
        int first;
        int second;
    };
    Targets targets{};
    switch (index) {
    case 0:
        targets = {2, 4, 5};
        break;
    case 2:
        targets = {4, 2, 5};
        break;
    case 3:
        targets = {5, 2, 4};
        break;
    default:
        return;
    }
    const QString value = lblColorPicker[targets.source]->tag();
    setSwatch(targets.first, value);
    setSwatch(targets.second, value);
}

void frmMass::setChosenFile(int index, const QString& path) {
    lblSelectedFile[index]->setText(
        path.isEmpty() ? (index == DeliveryFile ? kNoSelectedFile : kNoSelectedImage) : path);
    lblSelectedFile[index]->setToolTip(path);
    lblSelectedFile[index]->setTag(path.isEmpty() ? QString() : GetFileName(path));
    if (index < int(lblThumbnail.size())) {
        QImage small;
        QString coverNote;
        if (!path.isEmpty()) {
            QImageReader reader(path);
            reader.setAutoTransform(true);
            QSize shown = reader.size();
            if (shown.isValid())
                reader.setScaledSize(
                    shown.scaled(lblThumbnail[index]->size(), Qt::KeepAspectRatio));
            if (reader.transformation() & QImageIOHandler::TransformationRotate90)
                shown.transpose();
            small = reader.read();
            if (index == CoverImage)
                coverNote = coverSizeNote(shown);
        }
        if (index == CoverImage)
            showNote(lblCoverWarning, coverNote);
        lblThumbnail[index]->setPixmap(QPixmap::fromImage(small));
        lblThumbnail[index]->setVisible(!small.isNull());
    }
    edited();
}

QString frmMass::ShowOpenFileDialog(bool imagesOnly) {
    // Every picture type first; the dialog matches extensions in any case.
    static const QStringList images{QStringLiteral("All Pictures (*.jpg *.jpeg *.png *.gif)"),
                                    QStringLiteral("Image Files (*.jpg *.JPG)"),
                                    QStringLiteral("Image Files (*.gif *.GIF)"),
                                    QStringLiteral("Image Files (*.png *.PNG)")};
    static const QStringList files{QStringLiteral("All Files (*.*)"),
                                   QStringLiteral("Zip Files (*.zip *.ZIP)"),
                                   QStringLiteral("PDF Files (*.pdf *.PDF)")};
    const QString start = txtLastPath->text().isEmpty() ? QDir::homePath() : txtLastPath->text();
    return desktop().openFile(this, QStringLiteral("Select File"), start,
                              imagesOnly ? images : files);
}

void frmMass::cmdFileSelect_Click(int index) {
    if (index < 0 || index > 2)
        return;
    const QString path = ShowOpenFileDialog(index != 2);
    if (path.isEmpty())
        return;
    setChosenFile(index, path);
    txtLastPath->setText(StrReplace(path, GetFileName(path), QString(), 0));
    // A picture chosen for the background is meant to be used; the colour stays one click away.
    if (index == BackgroundImage)
        optBackground[1]->setChecked(true);
}

void frmMass::useCover(const QString& path) {
    setChosenFile(CoverImage, path);
}

void frmMass::Label40_Click() {
    if (isFunnelUrlMissing()) {
        desktop().message(this,
                          QStringLiteral("Enter the funnel address under General Info first."),
                          QStringLiteral("Info"), MessageIcon::Information);
        return;
    }
    desktop().setClipboardText(txtCapture_Url->text());
    desktop().message(this, QStringLiteral("Done. Url copied to clipboard."),
                      QStringLiteral("Done"), MessageIcon::Information);
}

void frmMass::Label45_Click() {
    if (isFunnelUrlMissing()) {
        desktop().message(this,
                          QStringLiteral("Enter the funnel address under General Info first."),
                          QStringLiteral("Info"), MessageIcon::Information);
        return;
    }
    desktop().setClipboardText(txtDownloadUrl->text());
    desktop().message(this, QStringLiteral("Done. Url copied to clipboard."),
                      QStringLiteral("Done"), MessageIcon::Information);
}
