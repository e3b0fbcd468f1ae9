#include "myfunnels.h"

#include "controls.h"
#include "desktop.h"
#include "tools.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

using namespace tandrel;

QList<KnownFunnel> FunnelList::entries() const {
    QSettings kept(m_settingsFile, QSettings::IniFormat);
    // Read no further than the list is ever written.
    const int count = std::min(kept.beginReadArray(QStringLiteral("funnels")), kLimit);
    QList<KnownFunnel> list;
    for (int i = 0; i < count; ++i) {
        kept.setArrayIndex(i);
        KnownFunnel entry{
            kept.value(QStringLiteral("file")).toString(),
            kept.value(QStringLiteral("address")).toString(),
            QDateTime::fromString(kept.value(QStringLiteral("published")).toString(), Qt::ISODate)};
        if (!entry.file.isEmpty())
            list << entry;
    }
    kept.endArray();
    return list;
}

Status FunnelList::store(QList<KnownFunnel> list) const {
    QSettings kept(m_settingsFile, QSettings::IniFormat);
    kept.remove(QStringLiteral("funnels"));
    kept.beginWriteArray(QStringLiteral("funnels"));
    for (int i = 0; i < std::min(int(list.size()), kLimit); ++i) {
        kept.setArrayIndex(i);
        kept.setValue(QStringLiteral("file"), list[i].file);
        kept.setValue(QStringLiteral("address"), list[i].address);
        if (list[i].published.isValid())
            kept.setValue(QStringLiteral("published"), list[i].published.toString(Qt::ISODate));
    }
    kept.endArray();
    kept.sync();
    if (kept.status() != QSettings::NoError)
        return Status::failure(QStringLiteral("The list of your funnels could not be written to "
                                              "\"%1\".")
                                   .arg(displayPath(m_settingsFile)));
    return Status::success();
}

Status FunnelList::remember(const QString& given, const QString& address) {
    const QString file = QFileInfo(given).absoluteFilePath();
    QList<KnownFunnel> list = entries();
    KnownFunnel entry{file, address, {}};
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].file == file) {
            entry.published = list.takeAt(i).published;
            break;
        }
    }
    list.prepend(entry);
    return store(std::move(list));
}

Status FunnelList::recordPublish(const QString& given, const QString& address,
                                 const QDateTime& when) {
    const QString file = QFileInfo(given).absoluteFilePath();
    QList<KnownFunnel> list = entries();
    list.removeIf([&file](const KnownFunnel& e) { return e.file == file; });
    list.prepend({file, address, when});
    return store(std::move(list));
}

Status FunnelList::forget(const QString& file) {
    QList<KnownFunnel> list = entries();
    list.removeIf([&file](const KnownFunnel& e) { return e.file == file; });
    return store(std::move(list));
}

frmMyFunnels::frmMyFunnels(const QString& settingsFile, QWidget* parent)
    : QDialog(parent), m_list(settingsFile) {
    setObjectName(QStringLiteral("frmMyFunnels"));
    setWindowTitle(QStringLiteral("My Funnels"));
    auto* layout = new QVBoxLayout(this);
    lstFunnels = named(new QTreeWidget(this), QStringLiteral("lstFunnels"));
    lstFunnels->setHeaderLabels(
        {QStringLiteral("Funnel"), QStringLiteral("Live address"), QStringLiteral("Published")});
    lstFunnels->setRootIsDecorated(false);
    lstFunnels->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    lstFunnels->header()->setStretchLastSection(false);
    layout->addWidget(lstFunnels, 1);
    auto* buttons = new QHBoxLayout;
    cmdForgetListed =
        button(QStringLiteral("Remove from List"), QStringLiteral("cmdForgetListed"), this);
    buttons->addWidget(cmdForgetListed);
    buttons->addStretch();
    cmdOpenListed = button(QStringLiteral("Open"), QStringLiteral("cmdOpenListed"), this);
    cmdOpenListed->setDefault(true);
    auto* close = button(QStringLiteral("Close"), QStringLiteral("cmdCloseListed"), this);
    buttons->addWidget(cmdOpenListed);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdOpenListed, &QPushButton::clicked, this, &frmMyFunnels::openChosen);
    connect(cmdForgetListed, &QPushButton::clicked, this, &frmMyFunnels::forgetChosen);
    connect(lstFunnels, &QTreeWidget::itemDoubleClicked, this, &frmMyFunnels::openChosen);
    connect(lstFunnels, &QTreeWidget::currentItemChanged, this, &frmMyFunnels::selectionChanged);
    fill();
    resize(760, 380);
}

void frmMyFunnels::fill() {
    lstFunnels->clear();
    const QLocale locale;
    for (const KnownFunnel& funnel : m_list.entries()) {
        const bool exists = QFileInfo(funnel.file).isFile();
        auto* item = new QTreeWidgetItem(lstFunnels);
        const QString name = QFileInfo(funnel.file).fileName();
        item->setText(0, exists ? name : QStringLiteral("%1 (no longer exists)").arg(name));
        item->setToolTip(0, funnel.file);
        item->setData(0, Qt::UserRole, funnel.file);
        // Still chosen, to be removed from the list; never opened.
        item->setData(0, Qt::UserRole + 1, exists);
        if (!exists) {
            QFont font = item->font(0);
            font.setItalic(true);
            item->setFont(0, font);
            item->setForeground(0, palette().color(QPalette::Disabled, QPalette::Text));
        }
        item->setText(2, funnel.published.isValid()
                             ? locale.toString(funnel.published.toLocalTime(), QLocale::ShortFormat)
                             : QStringLiteral("not yet"));
        if (funnel.address.isEmpty())
            continue;
        // A link the browser opens; the row is still chosen by clicking beside it.
        auto* link =
            new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(funnel.address.toHtmlEscaped()),
                       lstFunnels);
        link->setTextFormat(Qt::RichText);
        link->setToolTip(funnel.address);
        connect(link, &QLabel::linkActivated, this, [this](const QString& address) {
            if (!desktop().openUrl(QUrl(address)))
                desktop().message(
                    this, QStringLiteral("%1 could not be opened in the browser.").arg(address),
                    QStringLiteral("My Funnels"), MessageIcon::Warning);
        });
        lstFunnels->setItemWidget(item, 1, link);
    }
    lstFunnels->resizeColumnToContents(0);
    lstFunnels->resizeColumnToContents(2);
    lstFunnels->setCurrentItem(lstFunnels->topLevelItem(0));
    selectionChanged();
}

QString frmMyFunnels::currentFile() const {
    const QTreeWidgetItem* item = lstFunnels->currentItem();
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

void frmMyFunnels::selectionChanged() {
    const QTreeWidgetItem* item = lstFunnels->currentItem();
    cmdOpenListed->setEnabled(item && item->data(0, Qt::UserRole + 1).toBool());
    cmdForgetListed->setEnabled(item);
}

void frmMyFunnels::openChosen() {
    const QTreeWidgetItem* item = lstFunnels->currentItem();
    if (!item || !item->data(0, Qt::UserRole + 1).toBool())
        return;
    m_chosen = currentFile();
    accept();
}

void frmMyFunnels::forgetChosen() {
    const QString file = currentFile();
    if (file.isEmpty())
        return;
    if (const Status forgotten = m_list.forget(file); !forgotten)
        desktop().message(this, forgotten.error(), QStringLiteral("My Funnels"),
                          MessageIcon::Warning);
    fill();
}
