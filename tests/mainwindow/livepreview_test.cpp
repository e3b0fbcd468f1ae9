#include "funnelfile.h"
#include "livepreview.h"
#include "modcopy.h"
#include "myfunnels.h"
#include "testfiles.h"
#include "textfiles.h"
#include "themegallery.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace tandrel;
using namespace tandrel::test;

// The live preview beside the sections, and the list of saved funnels.
class LivePreviewTest : public QObject, WindowFixture {
    Q_OBJECT

    QVariant js(const QString& script) {
        QVariant result;
        bool done = false;
        find<QWebEngineView>("webPreview")->page()->runJavaScript(script, [&](const QVariant& v) {
            result = v;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000))
            qWarning("No answer to %s", qPrintable(script));
        return result;
    }
    // Room for the preview, which then builds the first page.
    void openPreview() {
        window->resize(1600, 820);
        QSignalSpy shown(find<LivePreview>("livePreview"), &LivePreview::pageShown);
        if (!find<QPushButton>("cmdLivePreview")->isChecked())
            find<QPushButton>("cmdLivePreview")->click();
        QVERIFY(shown.wait(30000));
    }
    bool nextPage() {
        return QSignalSpy(find<LivePreview>("livePreview"), &LivePreview::pageShown).wait(20000);
    }

private slots:
    void init() { openFixture(); }
    void cleanup() { closeFixture(); }

    void followsTypingAndKeepsTheLastGoodPage() {
        openPreview();
        const auto note = [this] { return find<QLabel>("lblPreviewNote")->text(); };
        QVERIFY2(note().contains("stand-ins for the funnel address, the opt-in form, the cover"),
                 qPrintable(note()));
        type("txtFunnel_LeadLine1", "Grow Your List Today");
        QVERIFY(nextPage());
        QVERIFY(js("document.body.innerText").toString().contains("Grow Your List Today"));
        // Without its templates the build fails: the page stays, the note says why.
        QVERIFY(QDir(app->path() + "/templates").removeRecursively());
        type("txtFunnel_LeadLine1", "A Headline Never Shown");
        QTRY_VERIFY_WITH_TIMEOUT(note().startsWith("Not updated: "), 5000);
        QVERIFY(js("document.body.innerText").toString().contains("Grow Your List Today"));
    }

    // A new fragment alone would keep the version on screen: the switch loads the page again.
    void showsEachVersionOfASplitTest() {
        QTemporaryDir shipped;
        for (const QString sub : {"templates", "snippets"})
            QVERIFY(modCopy::CopyFolder(shippedDataDir() + '/' + sub, shipped.filePath(sub)));
        openWindow(shipped.path());
        FunnelSettings s = window->settings();
        s.splitTest.others = {PageVersion{"Headline B", {}, {}}, PageVersion{"Headline C", {}, {}}};
        window->setSettings(s);
        openPreview();
        auto* versions = find<QComboBox>("cboPreviewVersion");
        QVERIFY(versions->isVisibleTo(window.get()) && versions->count() == 3);
        const auto headline = [this] { return js("document.querySelector('h1').innerText"); };
        QCOMPARE(headline().toString(), window->settings().txtFunnel_LeadLine1);
        versions->setCurrentIndex(2);
        emit versions->activated(2);
        QVERIFY(nextPage());
        QCOMPARE(headline().toString(), "Headline C");
    }

    void phoneAndDesktopLayOutAtTheirWidths() {
        openPreview();
        QVERIFY(find<QPushButton>("optPhone")->isChecked());
        const auto width = [this] { return js("window.innerWidth").toInt(); };
        QTRY_VERIFY2(qAbs(width() - LivePreview::kPhoneWidth) <= 2,
                     qPrintable(QString::number(width())));
        find<QPushButton>("optDesktop")->click();
        QTRY_VERIFY2(qAbs(width() - LivePreview::kDesktopWidth) <= 2,
                     qPrintable(QString::number(width())));
        // Shown, and on a desktop, again at the next start.
        openWindow();
        QVERIFY(find<QPushButton>("optDesktop")->isChecked());
        window->resize(1600, 820);
        QVERIFY(find<QPushButton>("cmdLivePreview")->isChecked());
        find<QPushButton>("cmdLivePreview")->click();
        QVERIFY(!find("livePreview")->isVisible());
    }

    // Each theme drawn from the funnel's own page; a click chooses one, the preview follows,
    // the funnel keeps it, and a funnel saved before themes opens in classic.
    void galleryChoosesTheThemeAndTheFunnelKeepsIt() {
        QTemporaryDir shipped;
        for (const QString sub : {"templates", "snippets", "themes"})
            QVERIFY(modCopy::CopyFolder(shippedDataDir() + '/' + sub, shipped.filePath(sub)));
        openWindow(shipped.path());
        auto* gallery = find<ThemeGallery>("themeGallery");
        QSignalSpy drawn(gallery, &ThemeGallery::picturesDrawn);
        openPreview();
        QTRY_VERIFY_WITH_TIMEOUT(!drawn.isEmpty() && !gallery->busy(), 120000);
        auto* list = find<QListWidget>("lstThemes");
        QVERIFY(list->count() >= 7);
        QCOMPARE(list->currentItem()->data(Qt::UserRole).toString(), "classic");
        QListWidgetItem* bold = nullptr;
        for (int i = 0; i < list->count(); ++i) {
            QVERIFY2(!list->item(i)->icon().isNull(), qPrintable(list->item(i)->text()));
            if (list->item(i)->data(Qt::UserRole) == "bold")
                bold = list->item(i);
        }
        // Pictures of real pages: classic's and bold's differ on the desktop and on the phone
        // (above the names), so neither view showed the page before.
        const auto picture = [](QListWidgetItem* item, QPoint at, QSize size) {
            return item->icon()
                .pixmap(ThemeGallery::kThumbnail)
                .toImage()
                .copy(QRect(at, size - QSize(0, 16)));
        };
        const int phoneAt = ThemeGallery::kThumbnail.width() - ThemeGallery::kPhonePart.width();
        for (const auto& [at, size] : {std::pair{QPoint(), ThemeGallery::kDesktopPart},
                                       std::pair{QPoint(phoneAt, 0), ThemeGallery::kPhonePart}})
            QVERIFY(picture(bold, at, size) != picture(list->item(0), at, size));
        list->scrollToItem(bold);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(bold).center());
        // The preview's page is built in the chosen theme.
        const auto shownSheet = [this] {
            const QUrl page = find<QWebEngineView>("webPreview")->url();
            return fileBytes(QFileInfo(page.toLocalFile()).dir().filePath("funnel.css"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(shownSheet().contains("/* Theme: bold */"), 30000);
        const QString file = app->path("themed.funnel.json");
        desk->files << file;
        window->cmdSaveFunnel_Click();
        QCOMPARE(loadFunnelFile(file)->theme, "bold");
        const QString old = app->path("old.funnel.json");
        QVERIFY(SaveTextFile(old, "{\"headline\": \"Saved before themes\"}"));
        desk->files << old;
        window->cmdOpenFunnel_Click();
        QCOMPARE(window->settings().theme, "classic");
        QCOMPARE(list->currentItem()->data(Qt::UserRole).toString(), "classic");
        desk->files << file;
        window->cmdOpenFunnel_Click();
        QCOMPARE(list->currentItem()->data(Qt::UserRole).toString(), "bold");
    }

    void myFunnelsListsSavedFunnelsAndOpensOne() {
        const QString file = app->path() + "/mine.funnel.json";
        window->setSettings(completeSettings(app->makePicture("cover.jpg")));
        const QString address = window->settings().txtFunnelUrl;
        desk->files << file;
        window->cmdSaveFunnel_Click();
        edit("txtThanks")->setText("Not saved");
        desk->saveChoices << SaveChoice::Discard;
        whenDialogOpens([&](QDialog* dialog) {
            auto* list = dialog->findChild<QTreeWidget*>("lstFunnels");
            QCOMPARE(list->topLevelItemCount(), 1);
            QCOMPARE(list->topLevelItem(0)->text(0), "mine.funnel.json");
            QCOMPARE(list->topLevelItem(0)->text(2), "not yet");
            auto* link = qobject_cast<QLabel*>(list->itemWidget(list->topLevelItem(0), 1));
            QVERIFY(link && link->text().contains("href=\"" + address + "\""));
            dialog->findChild<QPushButton*>("cmdOpenListed")->click();
        });
        find<QPushButton>("cmdMyFunnels")->click();
        QCOMPARE(desk->last().text, "Save changes to mine.funnel.json?");
        QCOMPARE(edit("txtThanks")->text(), completeSettings({}).txtThanks);
        // Gone from the disk: marked, not opened, and removed on request.
        QVERIFY(QFile::remove(file));
        whenDialogOpens([](QDialog* dialog) {
            auto* list = dialog->findChild<QTreeWidget*>("lstFunnels");
            QVERIFY(list->topLevelItem(0)->text(0).endsWith("(no longer exists)"));
            QVERIFY(!dialog->findChild<QPushButton*>("cmdOpenListed")->isEnabled());
            dialog->findChild<QPushButton*>("cmdForgetListed")->click();
            QCOMPARE(list->topLevelItemCount(), 0);
            dialog->reject();
        });
        find<QPushButton>("cmdMyFunnels")->click();
        QVERIFY(FunnelList(app->path() + "/tandrel.ini").entries().isEmpty());
    }
};

TANDREL_TEST(LivePreviewTest)
#include "livepreview_test.moc"
