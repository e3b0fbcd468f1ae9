#include "frmmass.h"
#include "themegallery.h"

#include "publishpanel.h"
#include "sectionparts.h"

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

template <typename T>
void frmMass::bindValue(const char* key, std::function<void(const T&)> show,
                        std::function<T()> take) {
    const FunnelField* field = findFunnelField(QString::fromLatin1(key));
    if (!field || field->setBy != SetBy::Control)
        qFatal("\"%s\" is no saved value a control sets", key);
    m_bindings.push_back({[field, show](const FunnelSettings& s) { show(field->of<T>(s)); },
                          [field, take](FunnelSettings& s) { field->of<T>(s) = take(); }});
}

template <typename T, typename Control, typename Signal>
void frmMass::bind(const char* key, Control* control, Signal changed,
                   std::function<void(const T&)> show, std::function<T()> take) {
    connect(control, changed, this, &frmMass::edited);
    bindValue<T>(key, std::move(show), std::move(take));
}

void frmMass::bindFields() {
    const auto line = [this](const char* key, QLineEdit* edit) {
        bind<QString>(
            key, edit, &QLineEdit::textChanged, [edit](const QString& v) { edit->setText(v); },
            [edit] { return edit->text(); });
    };
    const auto check = [this](const char* key, QCheckBox* box) {
        bind<int>(
            key, box, &QCheckBox::toggled, [box](int v) { box->setChecked(v == 1); },
            [box] { return box->isChecked() ? 1 : 0; });
    };
    // Option 1 checked means 1; anything else shows option 0.
    const auto options = [this](const char* key, std::array<QRadioButton*, 2> option) {
        bind<int>(
            key, option[1], &QRadioButton::toggled,
            [option](int v) { option[v == 1 ? 1 : 0]->setChecked(true); },
            [option] { return option[1]->isChecked() ? 1 : 0; });
    };
    // Swatches change through setSwatch, which reports the edit itself.
    const auto swatch = [this](const char* key, ColorIndex i) {
        bindValue<QString>(
            key, [this, i](const QString& v) { setSwatch(i, v); },
            [this, i] { return lblColorPicker[i]->tag(); });
    };
    // So do chosen files, through setChosenFile.
    const auto file = [this](const char* key, ChosenFileIndex i) {
        bindValue<ChosenFile>(
            key,
            [this, i](const ChosenFile& v) {
                setChosenFile(i, v.caption);
                lblSelectedFile[i]->setTag(v.tag);
            },
            [this, i] {
                const QString tag = lblSelectedFile[i]->tag();
                return ChosenFile{tag.isEmpty() ? QString() : lblSelectedFile[i]->text(), tag};
            });
    };

    // The address boxes start empty: a bare "http://" would stay unnoticed before an address.
    const auto address = [this](const char* key, QLineEdit* edit) {
        bind<QString>(
            key, edit, &QLineEdit::textChanged,
            [edit](const QString& v) { edit->setText(parts::unlessBareScheme(v)); },
            [edit] { return edit->text(); });
    };
    address("funnelUrl", txtFunnelUrl);
    options("backgroundImageUsed", optBackground);
    swatch("backgroundColor", BackgroundColor);
    swatch("footerColor", FooterColor);
    swatch("headlineColor", HeadlineColor);
    swatch("borderColor", BorderColor);
    swatch("instructionsColor", InstructionsColor);
    swatch("privacyColor", PrivacyColor);
    file("backgroundImage", BackgroundImage);
    file("coverImage", CoverImage);
    file("deliveryFile", DeliveryFile);
    line("footerText", txtFooterNew);
    bind<QString>(
        "language", cboLanguage, &QComboBox::currentIndexChanged,
        [this](const QString& v) {
            cboLanguage->setCurrentIndex(std::max(0, cboLanguage->findData(v)));
        },
        [this] { return cboLanguage->currentData().toString(); });
    bind<QString>(
        "theme", galThemes, &ThemeGallery::themeChosen,
        [this](const QString& v) { galThemes->setTheme(v); },
        [this] { return galThemes->theme(); });
    line("headline", txtFunnel_LeadLine1);
    line("instructions", txtFunnel_Instructions);
    line("privacy", txtFunnel_Privacy);
    bind<int>(
        "layoutColumns", cboCols, &QComboBox::currentIndexChanged,
        [this](int v) { cboCols->setCurrentIndex(v == 0 ? 0 : 1); },
        [this] { return cboCols->currentIndex() == 0 ? 0 : 1; });
    check("showProgressBar", chkProgressBar);
    bind<QString>(
        "optinForm", txtoptinForm, &QPlainTextEdit::textChanged,
        [this](const QString& v) { txtoptinForm->setPlainText(v); },
        [this] { return txtoptinForm->toPlainText(); });
    bind<bool>(
        "tidyOptinForm", optFormLayout[1], &QRadioButton::toggled,
        [this](bool v) { optFormLayout[v ? 0 : 1]->setChecked(true); },
        [this] { return optFormLayout[0]->isChecked(); });
    // The box edits the mapping of the value chosen beside it, and reports its own edits.
    bindValue<QJsonObject>(
        "campaignFields",
        [this](const QJsonObject& v) {
            m_campaignFields = v;
            showCampaignField();
        },
        [this] { return m_campaignFields; });
    bind<int>(
        "redirectToUrl", optAction[1], &QRadioButton::toggled,
        [this](int v) {
            optAction[v == 0 ? 0 : 1]->setChecked(true);
            txtRedirectUrl->setEnabled(v != 0);
        },
        [this] { return optAction[0]->isChecked() ? 0 : 1; });
    address("redirectUrl", txtRedirectUrl);
    line("softRedirect1", txtBeforeRedirectMsg1);
    line("softRedirect2", txtBeforeRedirectMsg2);
    line("thankYouHeadline", txtThanks);
    line("videoId", txtFunnel_YouTubeID);
    check("autoplay", chkAutoplay);
    line("downloadLinkTitle", txtDownloadText);
    address("downloadLinkUrl", txtFileDownloadUrl);
    bind<QString>(
        "publishTo", m_publish->findChild<QLineEdit*>(QStringLiteral("txtPublishTo")),
        &QLineEdit::textChanged, [this](const QString& v) { m_publish->setAddress(v); },
        [this] { return m_publish->address(); });
}

FunnelSettings frmMass::settings() const {
    // Only what the controls hold and the values set elsewhere: a control left out of the
    // table keeps its default here.
    FunnelSettings s;
    for (const Binding& binding : m_bindings)
        binding.take(s);
    copyFieldsSetElsewhere(m_kept, s);
    return s;
}

void frmMass::setSettings(const FunnelSettings& s) {
    {
        // The saved page numbers stand: no new draw while the values are set.
        const QScopedValueRollback loading(m_loading, true);
        m_kept = FunnelSettings{};
        copyFieldsSetElsewhere(s, m_kept);
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
    m_kept.drawFunnelLinks();
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
    const FunnelSettings s = settings();
    txtCapture_Url->setText(missing ? QString() : s.txtCapture_Url);
    txtDownloadUrl->setText(missing ? QString() : s.txtDownloadUrl);

    const bool known = m_knownThankYou > 0 && m_knownDownload > 0;
    const bool changed = known && (s.thankYouPageNumber != m_knownThankYou ||
                                   s.downloadPageNumber != m_knownDownload);
    lblAddressNotice->setVisible(changed && !missing);
    cmdRestoreAddresses->setVisible(changed && !missing);
    lblAddressNotice->parentWidget()
        ->findChild<QWidget*>(QStringLiteral("urlTips"))
        ->setHidden(changed && !missing);
    if (changed && !missing)
        lblAddressNotice->setText(
            QStringLiteral("The page addresses changed to %1 and %2: give your autoresponder the "
                           "new thank-you page address, or keep the previous ones.")
                .arg(s.thankYouPageFile, s.downloadPageFile));
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
    if (index < 0 || index >= int(lblColorPicker.size()))
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
        targets = {HeadlineColor, InstructionsColor, PrivacyColor};
        break;
    case 2:
        targets = {InstructionsColor, HeadlineColor, PrivacyColor};
        break;
    case 3:
        targets = {PrivacyColor, HeadlineColor, InstructionsColor};
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
    const QString start = txtLastPath->text().isEmpty() ? startFolder() : txtLastPath->text();
    return desktop().openFile(this, QStringLiteral("Select File"), start,
                              imagesOnly ? images : files);
}

void frmMass::cmdFileSelect_Click(int index) {
    if (index < 0 || index >= int(lblSelectedFile.size()))
        return;
    const QString path = ShowOpenFileDialog(index != DeliveryFile);
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
