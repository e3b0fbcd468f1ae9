#include "frmcovercreator.h"

#include "controls.h"
#include "desktop.h"
#include "modcolorpicker.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace tandrel;

namespace {

const QString Caption = QStringLiteral("Zudu Ruvaz Evuvodi");
const QSize ThumbnailSize(40, 45);
// Panel 1 sits 50 twips below panel 0.
const int PanelGap = qRound(50.0 / TwipsPerPixel);

const char* const StyleSheet =
    "frmCoverCreator { background: #f5f6f8; }"
    "QLabel[heading=\"true\"] { color: #1d2733; font-weight: 600; padding-top: 4px; }"
    "QLabel[hint=\"true\"] { color: #5b6672; }"
    "QLabel[warning=\"true\"] { color: #8a4b00; background: #fff4e0; border: 1px solid #f0d3a0;"
    "  border-radius: 4px; padding: 6px 8px; }"
    "QFrame[panel=\"true\"] { background: #ffffff; border: 1px solid #d6dbe1; border-radius: 6px; }"
    "QFrame[panel=\"true\"][inactive=\"true\"] { background: #eef0f3; }"
    "QLabel[panelTitle=\"true\"] { padding: 7px 10px; font-weight: 600; color: #5b6672; border: "
    "none; }"
    "QLabel[panelTitle=\"true\"][expanded=\"true\"] { color: #1458a8; border-bottom: 1px solid "
    "#e4e8ed; }"
    "QLabel[link=\"true\"] { color: #1458a8; text-decoration: underline; }"
    "QListWidget { background: #ffffff; border: 1px solid #d6dbe1; border-radius: 6px; padding: "
    "2px; }"
    "QListWidget::item { padding: 2px; }"
    "QListWidget::item:selected { background: #dbe8f8; color: #1d2733; }"
    "QFrame#picFrame { background: #ffffff; border: 1px solid #c9d0d8; }"
    "QPushButton { padding: 6px 16px; border: 1px solid #c3cad3; border-radius: 5px; background: "
    "#ffffff;"
    "  color: #1d2733; }"
    "QPushButton:hover { background: #f0f3f7; }"
    "QPushButton[primary=\"true\"] { background: #1764c0; border-color: #1458a8; color: #ffffff;"
    "  font-weight: 600; }"
    "QPushButton[primary=\"true\"]:hover { background: #1458a8; }";

QLabel* heading(const QString& text) {
    auto* label = new QLabel(text);
    label->setProperty("heading", true);
    return label;
}

ClickLabel* link(const QString& text, const QString& name) {
    auto* label = new ClickLabel(text);
    label->setObjectName(name);
    label->setProperty("link", true);
    return label;
}

} // namespace

CoverPictureBox::CoverPictureBox(const CoverCanvas& canvas, QWidget* parent)
    : QWidget(parent), m_canvas(canvas) {
    setFixedSize(CoverWidth, CoverHeight);
    setCursor(Qt::CrossCursor);
}

void CoverPictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_canvas.image());
}

void CoverPictureBox::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    const QPointF at = event->position();
    if (!rect().contains(at.toPoint()))
        return;
    emit mouseUp(event->button(), event->modifiers(), pixelsToTwips(at.x()), pixelsToTwips(at.y()));
}

frmCoverCreator::frmCoverCreator(const AppPaths& paths, QWidget* parent)
    : QDialog(parent), m_paths(paths), m_library(paths.imageLibraryDir()) {
    setObjectName(QStringLiteral("frmCoverCreator"));
    setWindowTitle(Caption);
    buildWindow();
    Form_Load();
}

QWidget* frmCoverCreator::buildLinePanel(int index) {
    lblMenu[index] = new ClickLabel(index == 0 ? QStringLiteral(" Text Line #1")
                                               : QStringLiteral(" Text Line #2"));
    lblMenu[index]->setObjectName(indexed("lblMenu", index));
    qFrame[index] = new CollapsiblePanel(lblMenu[index]);
    qFrame[index]->setObjectName(indexed("qFrame", index));

    txtAdText[index] = new QLineEdit;
    txtAdText[index]->setObjectName(indexed("txtAdText", index));
    txtAdText[index]->setPlaceholderText(index == 0 ? QStringLiteral("Your headline")
                                                    : QStringLiteral("A second line"));
    cboFontName[index] = new QComboBox;
    cboFontName[index]->setObjectName(indexed("cboFontName", index));
    cboFontName[index]->setMaxVisibleItems(16);
    // Editable, so that a size between the listed ones can be typed.
    cboFontSize[index] = new QComboBox;
    cboFontSize[index]->setObjectName(indexed("cboFontSize", index));
    cboFontSize[index]->setEditable(true);
    cboFontSize[index]->setInsertPolicy(QComboBox::NoInsert);
    cboFontSize[index]->setFixedWidth(80);
    lblColorPicker[index] = new ColorSwatch;
    lblColorPicker[index]->setObjectName(indexed("lblColorPicker", index));
    lblColorPicker[index]->setColorValue(QStringLiteral("255,255,255"));
    txtAdPositionX[index] = new QLineEdit;
    txtAdPositionX[index]->setObjectName(indexed("txtAdPositionX", index));
    txtAdPositionY[index] = new QLineEdit;
    txtAdPositionY[index]->setObjectName(indexed("txtAdPositionY", index));
    for (QLineEdit* box : {txtAdPositionX[index], txtAdPositionY[index]}) {
        box->setFixedWidth(64);
        box->setToolTip(QStringLiteral("In twips: 15 to a pixel"));
    }
    lblClickHere[index] = link(QStringLiteral("Click Here"), indexed("lblClickHere", index));

    auto* position = new QHBoxLayout;
    position->setSpacing(6);
    auto* x = new QLabel(QStringLiteral("X"));
    auto* y = new QLabel(QStringLiteral("Y"));
    x->setProperty("hint", true);
    y->setProperty("hint", true);
    position->addWidget(x);
    position->addWidget(txtAdPositionX[index]);
    position->addSpacing(4);
    position->addWidget(y);
    position->addWidget(txtAdPositionY[index]);
    position->addSpacing(8);
    position->addWidget(lblClickHere[index]);
    position->addStretch();

    auto* grid = new QGridLayout(qFrame[index]->body());
    grid->setContentsMargins(12, 10, 12, 12);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    const auto label = [&](int row, const QString& text) {
        grid->addWidget(new QLabel(text), row, 0);
    };
    label(0, QStringLiteral("Line Text:"));
    grid->addWidget(txtAdText[index], 0, 1);
    label(1, QStringLiteral("Font Name:"));
    grid->addWidget(cboFontName[index], 1, 1);
    label(2, QStringLiteral("Font Size:"));
    grid->addWidget(cboFontSize[index], 2, 1, Qt::AlignLeft);
    label(3, QStringLiteral("Font Color:"));
    grid->addWidget(lblColorPicker[index], 3, 1, Qt::AlignLeft);
    label(4, QStringLiteral("Position:"));
    grid->addLayout(position, 4, 1);
    grid->setColumnStretch(1, 1);

    connect(txtAdText[index], &QLineEdit::textChanged, this,
            [this, index] { txtAdText_Change(index); });
    connect(cboFontName[index], &QComboBox::activated, this,
            [this, index] { cboFontName_Click(index); });
    connect(cboFontSize[index], &QComboBox::activated, this,
            [this, index] { cboFontSize_Click(index); });
    connect(cboFontSize[index]->lineEdit(), &QLineEdit::returnPressed, this,
            [this, index] { cboFontSize_Click(index); });
    connect(lblColorPicker[index], &ClickLabel::clicked, this,
            [this, index] { lblColorPicker_Click(index); });
    connect(lblClickHere[index], &ClickLabel::clicked, this,
            [this, index] { lblClickHere_Click(index); });
    connect(lblMenu[index], &ClickLabel::clicked, this, [this, index] { lblMenu_Click(index); });
    connect(qFrame[index], &CollapsiblePanel::expandCollapse, this,
            [this, index] { qFrame_ExpandCollapse(index); });
    return qFrame[index];
}

void frmCoverCreator::buildWindow() {
    setStyleSheet(QLatin1String(StyleSheet));

    // Step 1: the image library.
    FileCovers = new QListWidget;
    FileCovers->setObjectName(QStringLiteral("FileCovers"));
    FileCovers->setIconSize(ThumbnailSize);
    FileCovers->setSelectionMode(QAbstractItemView::SingleSelection);
    FileCovers->setFixedHeight(150);
    lblRefreshImages = link(QStringLiteral("Refresh"), QStringLiteral("lblRefreshImages"));
    Command2 = new QPushButton(QStringLiteral("Open Folder"));
    Command2->setObjectName(QStringLiteral("Command2"));
    lblLibraryHint = new QLabel;
    lblLibraryHint->setObjectName(QStringLiteral("lblLibraryHint"));
    lblLibraryHint->setProperty("warning", true);
    lblLibraryHint->setWordWrap(true);
    lblLibraryHint->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* libraryButtons = new QHBoxLayout;
    libraryButtons->addWidget(lblRefreshImages);
    libraryButtons->addStretch();
    libraryButtons->addWidget(Command2);

    // Step 2: the two text lines, then which line a click on the picture moves.
    auto* panels = new QVBoxLayout;
    panels->setSpacing(PanelGap);
    panels->addWidget(buildLinePanel(0));
    panels->addWidget(buildLinePanel(1));

    optTextLine[1] = new QRadioButton(QStringLiteral("# 1"));
    optTextLine[1]->setObjectName(indexed("optTextLine", 1));
    optTextLine[2] = new QRadioButton(QStringLiteral("# 2"));
    optTextLine[2]->setObjectName(indexed("optTextLine", 2));
    auto* targets = new QButtonGroup(this);
    targets->addButton(optTextLine[1]);
    targets->addButton(optTextLine[2]);
    auto* target = new QHBoxLayout;
    target->setSpacing(14);
    auto* targetCaption =
        new QLabel(QStringLiteral("Your Click will change the Position of text line:"));
    targetCaption->setWordWrap(true);
    target->addWidget(targetCaption, 1);
    target->addWidget(optTextLine[1]);
    target->addWidget(optTextLine[2]);

    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    left->addWidget(heading(QStringLiteral("Step 1: Select an Image")));
    left->addWidget(FileCovers);
    left->addLayout(libraryButtons);
    left->addWidget(lblLibraryHint);
    left->addSpacing(6);
    left->addWidget(heading(QStringLiteral("Step 2: Add Some Content To It.")));
    left->addLayout(panels);
    left->addSpacing(4);
    left->addLayout(target);
    left->addStretch();

    // The canvas at 1:1 inside a thin frame.
    picTest = new CoverPictureBox(m_canvas);
    picTest->setObjectName(QStringLiteral("picTest"));
    auto* picFrame = new QFrame;
    picFrame->setObjectName(QStringLiteral("picFrame"));
    auto* picLayout = new QVBoxLayout(picFrame);
    picLayout->setContentsMargins(1, 1, 1, 1);
    picLayout->addWidget(picTest);
    auto* remember = new QLabel(QStringLiteral("Remember: This will be used as your cover image."));
    remember->setProperty("hint", true);

    auto* right = new QVBoxLayout;
    right->setSpacing(8);
    right->addWidget(picFrame);
    right->addWidget(remember);
    right->addStretch();

    Command1 = new QPushButton(QStringLiteral("Save Image and Use"));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setProperty("primary", true);
    cmdCanel = new QPushButton(QStringLiteral("Cancel"));
    cmdCanel->setObjectName(QStringLiteral("cmdCanel"));
    // Enter in a text box must not save and close the window.
    for (QPushButton* button : {Command1, cmdCanel, Command2})
        button->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(cmdCanel);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(20);
    auto* leftColumn = new QWidget;
    leftColumn->setLayout(left);
    leftColumn->setFixedWidth(360);
    left->setContentsMargins(0, 0, 0, 0);
    columns->addWidget(leftColumn, 0, Qt::AlignTop);
    columns->addLayout(right);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(20, 16, 20, 16);
    root->setSpacing(14);
    root->setSizeConstraint(QLayout::SetFixedSize);
    root->addLayout(columns);
    root->addLayout(buttons);

    connect(FileCovers, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            FileCovers_Click();
    });
    connect(lblRefreshImages, &ClickLabel::clicked, this, &frmCoverCreator::lblRefreshImages_Click);
    connect(Command2, &QPushButton::clicked, this, &frmCoverCreator::Command2_Click);
    connect(picTest, &CoverPictureBox::mouseUp, this, &frmCoverCreator::picTest_MouseUp);
    connect(Command1, &QPushButton::clicked, this, &frmCoverCreator::Command1_Click);
    connect(cmdCanel, &QPushButton::clicked, this, &frmCoverCreator::cmdCanel_Click);
}

void frmCoverCreator::Form_Load() {
    fillImageList();

    const QStringList families = QFontDatabase::families();
    int verdana = 0;
    for (int i = 0; i < 2; ++i)
        cboFontName[i]->clear();
    for (const QString& family : families) {
        if (QFontDatabase::isPrivateFamily(family))
            continue;
        if (family == QLatin1String("Verdana"))
            verdana = cboFontName[0]->count();
        for (int i = 0; i < 2; ++i)
            cboFontName[i]->addItem(family);
    }
    for (int i = 0; i < 2; ++i)
        cboFontName[i]->setCurrentIndex(cboFontName[i]->count() > 0 ? verdana : -1);

    txtAdPositionX[0]->setText(QStringLiteral("50"));
    txtAdPositionY[0]->setText(QStringLiteral("500"));
    txtAdPositionX[1]->setText(QStringLiteral("50"));
    txtAdPositionY[1]->setText(QStringLiteral("700"));

    for (int i = 0; i < 2; ++i) {
        cboFontSize[i]->clear();
        for (int size = 8; size <= 34; size += 2)
            cboFontSize[i]->addItem(QString::number(size));
        cboFontSize[i]->setCurrentIndex(cboFontSize[i]->findText(QStringLiteral("16")));
    }

    ArrangePanels(0);

    if (FileCovers->count() > 0)
        FileCovers->setCurrentRow(0);
}

void frmCoverCreator::fillImageList() {
    FileCovers->clear();
    for (const QString& name : m_library.pictures()) {
        QImageReader reader(m_library.pathOf(name));
        reader.setScaledSize(ThumbnailSize);
        const QImage thumbnail = reader.read();
        auto* item = new QListWidgetItem(name, FileCovers);
        if (!thumbnail.isNull())
            item->setIcon(QIcon(QPixmap::fromImage(thumbnail)));
    }

    const QString folder = displayPath(m_library.folder());
    if (!m_library.exists()) {
        lblLibraryHint->setText(
            QStringLiteral("The image library folder \"%1\" does not exist yet. Press Open Folder "
                           "to create it, put your .jpg pictures (400x450) into it, then press "
                           "Refresh.")
                .arg(folder));
    } else {
        lblLibraryHint->setText(
            QStringLiteral("No pictures yet. Put your .jpg pictures (400x450) into the folder "
                           "\"%1\", then press Refresh.")
                .arg(folder));
    }
    lblLibraryHint->setVisible(FileCovers->count() == 0);
}

QString frmCoverCreator::selectedImagePath() const {
    const QListWidgetItem* item = FileCovers->currentItem();
    return item ? m_library.pathOf(item->text()) : QString();
}

CoverLine frmCoverCreator::line(int index) const {
    CoverLine line;
    line.text = txtAdText[index]->text();
    line.fontName = cboFontName[index]->currentText();
    line.fontSize = cboFontSize[index]->currentText();
    line.color = lblColorPicker[index]->color();
    line.x = txtAdPositionX[index]->text();
    line.y = txtAdPositionY[index]->text();
    return line;
}

void frmCoverCreator::Render() {
    m_canvas.render(line(0), line(1), selectedImagePath());
    picTest->update();
}

void frmCoverCreator::PaintBackground(const QString& path) {
    m_canvas.paintBackground(path);
    picTest->update();
}

void frmCoverCreator::ArrangePanels(int index) {
    const int open = index == 0 ? 0 : 1;
    for (int i = 0; i < 2; ++i) {
        qFrame[i]->setExpanded(i == open);
        qFrame[i]->setInactive(i != open);
    }
    optTextLine[open + 1]->setChecked(true);
    // Panel 1 follows panel 0 through the layout; place it now, not on the next event.
    layout()->activate();
}

void frmCoverCreator::FileCovers_Click() {
    PaintBackground(selectedImagePath());
}

void frmCoverCreator::lblRefreshImages_Click() {
    const QString selected =
        FileCovers->currentItem() ? FileCovers->currentItem()->text() : QString();
    // The canvas keeps what it shows; only the list changes.
    const QSignalBlocker blocker(FileCovers);
    fillImageList();
    const auto found = FileCovers->findItems(selected, Qt::MatchExactly);
    if (!selected.isEmpty() && !found.isEmpty())
        FileCovers->setCurrentItem(found.first());
}

void frmCoverCreator::Command2_Click() {
    desktop().message(
        this,
        QStringLiteral(
            "If you want, you can add your own jpg images to this folder. Recommended Size: "
            "400x450"),
        QStringLiteral("Info"), MessageIcon::Information);
    const QString folder = m_library.folder();
    // A missing library is created so the user has a place to put pictures.
    if (!QDir().mkpath(folder)) {
        desktop().message(
            this,
            QStringLiteral("The folder \"%1\" could not be created.").arg(displayPath(folder)),
            QStringLiteral("Open Folder"), MessageIcon::Warning);
        return;
    }
    if (!desktop().openFolder(folder)) {
        desktop().message(
            this, QStringLiteral("The folder \"%1\" could not be opened.").arg(displayPath(folder)),
            QStringLiteral("Open Folder"), MessageIcon::Warning);
    }
}

void frmCoverCreator::lblClickHere_Click(int) {
    desktop().message(
        this,
        QStringLiteral("Please make a click on the image to set the position for this text line."),
        QStringLiteral("Text Position"), MessageIcon::Information);
}

void frmCoverCreator::lblMenu_Click(int index) {
    ArrangePanels(index);
}

void frmCoverCreator::qFrame_ExpandCollapse(int index) {
    ArrangePanels(index);
}

void frmCoverCreator::txtAdText_Change(int) {
    Render();
}

void frmCoverCreator::cboFontName_Click(int) {
    Render();
}

void frmCoverCreator::cboFontSize_Click(int) {
    Render();
}

void frmCoverCreator::lblColorPicker_Click(int index) {
    const auto chosen = modColorPicker::ShowColorDialog(this, lblColorPicker[index]->color());
    // Cancelling keeps the line's colour.
    if (!chosen)
        return;
    modColorPicker::SplitColor(*chosen);
    lblColorPicker[index]->setColorValue(modColorPicker::colorValue());
    Render();
}

void frmCoverCreator::picTest_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y) {
    const int target = optTextLine[1]->isChecked() ? 0 : 1;
    txtAdPositionX[target]->setText(twipsText(x));
    txtAdPositionY[target]->setText(twipsText(y));
    if (!txtAdText[0]->text().isEmpty())
        Render();
}

void frmCoverCreator::Command1_Click() {
    if (FileCovers->currentRow() < 0)
        return;
    const QString path = m_paths.coverFile();
    const Status saved = m_canvas.save(path);
    if (!saved) {
        desktop().message(this, saved.error(), QStringLiteral("Cover Not Saved"),
                          MessageIcon::Warning);
        return;
    }
    emit coverSaved(path);
    desktop().message(this, QStringLiteral("Done! Cover saved."), QStringLiteral("Done"),
                      MessageIcon::Information);
    accept();
}

void frmCoverCreator::cmdCanel_Click() {
    reject();
}
