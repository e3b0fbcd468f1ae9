#include "splittestdialog.h"

#include "sectionparts.h"

#include "controls.h"
#include "desktop.h"
#include "optinform.h"
#include "tools.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

using namespace tandrel;
using namespace tandrel::parts;

SplitTestDialog::SplitTestDialog(const FunnelSettings& s, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSplitTest"));
    setWindowTitle(QStringLiteral("Split Test"));
    const SplitTest& test = s.splitTest;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        text(QStringLiteral("Each visitor sees one version at random and keeps it on return. "
                            "An empty box shows version A's value; the button text replaces the "
                            "form's own."),
             this, "hint"));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(8);
    const char* const rows[] = {"", "Headline:", "Cover:", "", "Button text:"};
    for (int r = 1; r < 5; ++r)
        grid->addWidget(new QLabel(QLatin1String(rows[r]), this), r, 0);
    for (int v = 0; v < kVersions; ++v) {
        const QString name = SplitTest::name(v);
        const PageVersion shown =
            v == 0 ? PageVersion{s.txtFunnel_LeadLine1, s.lblSelectedFile[CoverImage], {}}
                   : test.others.value(v - 1);
        chkVersion[v] =
            named(new QCheckBox(QStringLiteral("Version ") + name, this), indexed("chkVersion", v));
        chkVersion[v]->setChecked(v < test.count());
        txtVersionHeadline[v] =
            named(new QLineEdit(shown.headline, this), indexed("txtVersionHeadline", v));
        txtVersionHeadline[v]->setCursorPosition(0); // a long headline shows its start
        lblVersionThumbnail[v] = thumbnail(indexed("lblVersionThumbnail", v), this);
        lblVersionCover[v] = named(new QLabel(this), indexed("lblVersionCover", v));
        lblVersionCover[v]->setProperty("role", QStringLiteral("hint"));
        lblVersionCover[v]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        txtVersionButton[v] =
            named(new QLineEdit(v == 0 ? test.buttonText : shown.buttonText, this),
                  indexed("txtVersionButton", v));
        txtVersionButton[v]->setPlaceholderText(v == 0 ? QStringLiteral("The form's own")
                                                       : QStringLiteral("As version A"));
        auto* cover = new QHBoxLayout;
        cover->addWidget(lblVersionThumbnail[v]);
        cover->addWidget(lblVersionCover[v], 1);
        auto* coverButtons = new QHBoxLayout;
        coverButtons->setSpacing(6);
        if (v == 0) {
            // A is the page itself: its headline and cover are edited in the section.
            chkVersion[v]->setEnabled(false);
            txtVersionHeadline[v]->setReadOnly(true);
            txtVersionHeadline[v]->setToolTip(
                QStringLiteral("Version A is the page's own headline and cover"));
        } else {
            txtVersionHeadline[v]->setPlaceholderText(QStringLiteral("As version A"));
            cmdVersionCover[v] = named(new QPushButton(QStringLiteral("Select Image"), this),
                                       indexed("cmdVersionCover", v));
            cmdVersionCoverClear[v] = named(new QPushButton(QStringLiteral("Use A's Cover"), this),
                                            indexed("cmdVersionCoverClear", v));
            connect(cmdVersionCover[v], &QPushButton::clicked, this, [this, v] { chooseCover(v); });
            connect(cmdVersionCoverClear[v], &QPushButton::clicked, this,
                    [this, v] { showCover(v, QString()); });
            connect(chkVersion[v], &QCheckBox::toggled, this, &SplitTestDialog::showEnabled);
            coverButtons->addWidget(cmdVersionCover[v]);
            coverButtons->addWidget(cmdVersionCoverClear[v]);
        }
        coverButtons->addStretch();
        grid->addWidget(chkVersion[v], 0, v + 1);
        grid->addWidget(txtVersionHeadline[v], 1, v + 1);
        grid->addLayout(cover, 2, v + 1);
        grid->addLayout(coverButtons, 3, v + 1);
        grid->addWidget(txtVersionButton[v], 4, v + 1);
        grid->setColumnStretch(v + 1, 1);
        grid->setColumnMinimumWidth(v + 1, 250);
        showCover(v, shown.cover.caption);
    }
    layout->addLayout(grid);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(10);
    txtVersionField = named(new QLineEdit(test.field, this), QStringLiteral("txtVersionField"));
    txtVersionField->setToolTip(
        QStringLiteral("The hidden field that sends the version's name (A, B or C) with each "
                       "sign-up; create a field of this name at your autoresponder"));
    cboVersionTag = named(new QComboBox(this), QStringLiteral("cboVersionTag"));
    cboVersionTag->addItem(QStringLiteral("(none)"), QString());
    m_formFields = formFieldNames(s.txtoptinForm);
    QStringList names = m_formFields;
    if (!test.tagField.isEmpty() && !names.contains(test.tagField))
        names << test.tagField;
    for (const QString& field : names)
        cboVersionTag->addItem(field, field);
    cboVersionTag->setCurrentIndex(std::max(0, cboVersionTag->findData(test.tagField)));
    cboVersionTag->setToolTip(
        QStringLiteral("A field your form already has, such as its tags: the version's name is "
                       "added to its value"));
    fields->addWidget(new QLabel(QStringLiteral("Send the version's name as the field:"), this), 0,
                      0);
    fields->addWidget(txtVersionField, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Also add it to the form's field:"), this), 1, 0);
    fields->addWidget(cboVersionTag, 1, 1);
    fields->setColumnStretch(2, 1);
    layout->addLayout(fields);
    layout->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* accept = button(QStringLiteral("Accept"), QStringLiteral("Command1"), this);
    accept->setDefault(true);
    auto* cancel = button(QStringLiteral("Cancel"), QStringLiteral("Command2"), this);
    buttons->addWidget(accept);
    buttons->addWidget(cancel);
    connect(accept, &QPushButton::clicked, this, &SplitTestDialog::accepted);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addLayout(buttons);
    showEnabled();
}

void SplitTestDialog::chooseCover(int v) {
    const QString path = desktop().openFile(
        this, QStringLiteral("Select the Cover of Version ") + SplitTest::name(v),
        QFileInfo(m_covers[v].isEmpty() ? m_covers[0] : m_covers[v]).absolutePath(),
        {QStringLiteral("All Pictures (*.jpg *.jpeg *.png *.gif *.webp)")});
    if (!path.isEmpty())
        showCover(v, path);
}

void SplitTestDialog::showCover(int v, const QString& path) {
    m_covers[v] = path;
    const QString shown = path.isEmpty() && v > 0 ? m_covers[0] : path;
    lblVersionCover[v]->setText(path.isEmpty() ? (v == 0 ? QStringLiteral("No Selected Image")
                                                         : QStringLiteral("Version A's cover"))
                                               : QFileInfo(path).fileName());
    lblVersionCover[v]->setToolTip(path);
    QImage small;
    if (!shown.isEmpty()) {
        QImageReader reader(shown);
        reader.setAutoTransform(true);
        if (reader.size().isValid())
            reader.setScaledSize(
                reader.size().scaled(lblVersionThumbnail[v]->size(), Qt::KeepAspectRatio));
        small = reader.read();
    }
    lblVersionThumbnail[v]->setPixmap(QPixmap::fromImage(small));
    lblVersionThumbnail[v]->setVisible(!small.isNull());
    if (cmdVersionCoverClear[v])
        cmdVersionCoverClear[v]->setEnabled(!path.isEmpty() && chkVersion[v]->isChecked());
}

// C only after B: the versions stay without gaps.
void SplitTestDialog::showEnabled() {
    if (!chkVersion[1]->isChecked())
        chkVersion[2]->setChecked(false);
    chkVersion[2]->setEnabled(chkVersion[1]->isChecked());
    for (int v = 1; v < kVersions; ++v) {
        const bool on = chkVersion[v]->isChecked();
        for (QWidget* w : std::initializer_list<QWidget*>{txtVersionHeadline[v], cmdVersionCover[v],
                                                          txtVersionButton[v]})
            w->setEnabled(on);
        cmdVersionCoverClear[v]->setEnabled(on && !m_covers[v].isEmpty());
    }
}

void SplitTestDialog::accepted() {
    if (txtVersionField->text().trimmed().isEmpty()) {
        desktop().message(this,
                          QStringLiteral("Please name the hidden field that sends the version's "
                                         "name to your autoresponder, such as \"version\"."),
                          QStringLiteral("Split Test"), MessageIcon::Information);
        return;
    }
    if (m_formFields.contains(txtVersionField->text().trimmed())) {
        desktop().message(this,
                          QStringLiteral("The form already has a field named \"%1\"; give the "
                                         "version's field another name.")
                              .arg(txtVersionField->text().trimmed()),
                          QStringLiteral("Split Test"), MessageIcon::Information);
        return;
    }
    accept();
}

SplitTest SplitTestDialog::splitTest() const {
    SplitTest test;
    test.buttonText = txtVersionButton[0]->text();
    for (int v = 1; v < kVersions && chkVersion[v]->isChecked(); ++v) {
        const QString& path = m_covers[v];
        test.others.append({txtVersionHeadline[v]->text(),
                            path.isEmpty() ? ChosenFile{} : ChosenFile{path, GetFileName(path)},
                            txtVersionButton[v]->text()});
    }
    test.field = txtVersionField->text().trimmed();
    test.tagField = cboVersionTag->currentData().toString();
    return test;
}
