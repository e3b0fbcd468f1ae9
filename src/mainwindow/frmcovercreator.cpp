#include "frmcovercreator.h"

#include "controls.h"
#include "desktop.h"
#include "modcolorpicker.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
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
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

using namespace tandrel;

namespace {

const QString Caption = QStringLiteral("Zudu Ruvaz Evuvodi");
const QSize ThumbnailSize(40, 45);
// Panel 1 sits 50 twips below panel 0.
const int PanelGap = qRound(twipsToPixels(50));

QLabel* heading(const QString& text) {
    auto* label = new QLabel(text);
    label->setProperty("heading", true);
    return label;
}

// Decoded small where the format allows it, and cropped like the cover so its shape is kept.
QImage thumbnailOf(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && reader.transformation() == QImageIOHandler::TransformationNone)
        reader.setScaledSize(full.scaled(ThumbnailSize, Qt::KeepAspectRatioByExpanding));
    return fillCover(reader.read(), ThumbnailSize);
}

// The boxes show pixels of the cover; the design keeps twips.
QString pixelsOfTwips(const QString& twips) {
    const auto pixels = twipsTextToPixels(twips);
    return pixels ? twipsText(*pixels) : twips;
}

QString twipsOfPixels(const QString& pixels) {
    bool ok = false;
    const double value = pixels.trimmed().toDouble(&ok);
    return ok ? twipsText(pixelsToTwips(value)) : pixels;
}

// The thumbnails alone, in a grid; the name is the tooltip and what a screen reader says.
class ThumbnailOnly : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text.clear();
        option->features &= ~QStyleOptionViewItem::HasDisplay;
        option->decorationPosition = QStyleOptionViewItem::Top;
        option->decorationAlignment = Qt::AlignCenter;
    }
};

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

void CoverPictureBox::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    m_pressedAt = event->position();
    m_dragging = false;
    m_grabbed = -1;
    // Line 2 is drawn over line 1, so it is the one under the pointer where both are.
    for (int i : {1, 0}) {
        const auto& placed = m_canvas.placed(i);
        if (placed.drawn && placed.box.adjusted(-4, -4, 4, 4).contains(m_pressedAt)) {
            m_grabbed = i;
            m_anchorAtPress = placed.anchor;
            break;
        }
    }
}

void CoverPictureBox::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (m_grabbed < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    const QPointF moved = event->position() - m_pressedAt;
    if (!m_dragging && moved.manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragging = true;
    const QPointF to = m_anchorAtPress + moved;
    emit lineDragged(m_grabbed, std::round(pixelsToTwips(to.x())),
                     std::round(pixelsToTwips(to.y())));
}

void CoverPictureBox::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    const bool dragged = m_dragging;
    m_dragging = false;
    m_grabbed = -1;
    const QPointF at = event->position();
    if (dragged || !rect().contains(at.toPoint()))
        return;
    emit mouseUp(event->button(), event->modifiers(), pixelsToTwips(at.x()), pixelsToTwips(at.y()));
}

frmCoverCreator::frmCoverCreator(const AppPaths& paths, const QString& coverFile,
                                 const QJsonObject& design, QWidget* parent)
    : QDialog(parent), m_paths(paths), m_coverFile(coverFile), m_library(paths.imageLibraryDir()) {
    setObjectName(QStringLiteral("frmCoverCreator"));
    setProperty("helpTopic", QStringLiteral("cover-creator"));
    setWindowTitle(Caption);
    loadCoverFonts(AppPaths::join(paths.dataDir(), QStringLiteral("fonts")));
    buildWindow();
    Form_Load();
    if (!design.isEmpty())
        applyDesign(design);
    m_savedDesign = this->design();
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
        box->setFixedWidth(54);
        box->setToolTip(QStringLiteral("Pixels from the cover's top-left corner (400 x 450)"));
    }
    lblClickHere[index] = link(QStringLiteral("Click Here"), indexed("lblClickHere", index));
    chkBold[index] = named(new QCheckBox(QStringLiteral("Bold")), indexed("chkBold", index));
    cboAlign[index] = named(new QComboBox, indexed("cboAlign", index));
    cboAlign[index]->addItems(
        {QStringLiteral("Left"), QStringLiteral("Centre"), QStringLiteral("Right")});
    cboEffect[index] = named(new QComboBox, indexed("cboEffect", index));
    cboEffect[index]->addItems(
        {QStringLiteral("No effect"), QStringLiteral("Shadow"), QStringLiteral("Outline")});
    chkShrink[index] =
        named(new QCheckBox(QStringLiteral("Shrink to fit")), indexed("chkShrink", index));
    chkShrink[index]->setToolTip(
        QStringLiteral("Makes the text smaller, down to 8 points, before it wraps"));
    lblContrast[index] = named(new QLabel, indexed("lblContrast", index));
    lblContrast[index]->setProperty("note", true);
    lblContrast[index]->setToolTip(
        QStringLiteral("Pick another colour, add a shadow or outline, or move the line"));
    // Its room is kept, so the window does not jump while the line is typed.
    QSizePolicy keep = lblContrast[index]->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    lblContrast[index]->setSizePolicy(keep);
    lblContrast[index]->hide();

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
    grid->setContentsMargins(12, 8, 12, 10);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    const auto label = [&](int row, const QString& text) {
        grid->addWidget(new QLabel(text), row, 0);
    };
    const auto pair = [](QWidget* first, QWidget* second) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        row->addWidget(first);
        row->addWidget(second);
        row->addStretch();
        return row;
    };
    label(0, QStringLiteral("Line Text:"));
    grid->addWidget(txtAdText[index], 0, 1);
    grid->addWidget(lblContrast[index], 1, 1);
    label(2, QStringLiteral("Font Name:"));
    grid->addWidget(cboFontName[index], 2, 1);
    label(3, QStringLiteral("Font Size:"));
    grid->addLayout(pair(cboFontSize[index], chkBold[index]), 3, 1);
    label(4, QStringLiteral("Font Color:"));
    grid->addLayout(pair(lblColorPicker[index], cboEffect[index]), 4, 1);
    label(5, QStringLiteral("Align:"));
    grid->addLayout(pair(cboAlign[index], chkShrink[index]), 5, 1);
    label(6, QStringLiteral("Position:"));
    grid->addLayout(position, 6, 1);
    grid->setColumnStretch(1, 1);

    connect(txtAdText[index], &QLineEdit::textChanged, this,
            [this, index] { txtAdText_Change(index); });
    connect(cboFontName[index], &QComboBox::activated, this,
            [this, index] { cboFontName_Click(index); });
    connect(cboFontSize[index], &QComboBox::activated, this,
            [this, index] { cboFontSize_Click(index); });
    connect(cboFontSize[index]->lineEdit(), &QLineEdit::returnPressed, this,
            [this, index] { cboFontSize_Click(index); });
    for (QLineEdit* box : {txtAdPositionX[index], txtAdPositionY[index]})
        connect(box, &QLineEdit::textEdited, this, [this] { Render(); });
    for (QCheckBox* box : {chkBold[index], chkShrink[index]})
        connect(box, &QCheckBox::toggled, this, [this] { Render(); });
    for (QComboBox* list : {cboAlign[index], cboEffect[index]})
        connect(list, &QComboBox::currentIndexChanged, this, [this] { Render(); });
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
    setStyleSheet(windowStyleSheet(QStringLiteral("frmcovercreator")));

    // Step 1: the image library.
    FileCovers = new QListWidget;
    FileCovers->setObjectName(QStringLiteral("FileCovers"));
    FileCovers->setIconSize(ThumbnailSize);
    FileCovers->setSelectionMode(QAbstractItemView::SingleSelection);
    // Seven to a row: the whole library of 14 to 21 pictures at a glance.
    FileCovers->setViewMode(QListView::IconMode);
    FileCovers->setFlow(QListView::LeftToRight);
    FileCovers->setWrapping(true);
    FileCovers->setResizeMode(QListView::Adjust);
    FileCovers->setMovement(QListView::Static);
    FileCovers->setGridSize(ThumbnailSize + QSize(8, 6));
    FileCovers->setItemDelegate(new ThumbnailOnly(FileCovers));
    FileCovers->setFixedHeight(3 * (ThumbnailSize.height() + 6) + 8);
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
    root->setContentsMargins(20, 12, 20, 12);
    root->setSpacing(10);
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
    connect(picTest, &CoverPictureBox::lineDragged, this, &frmCoverCreator::picTest_LineDragged);
    connect(Command1, &QPushButton::clicked, this, &frmCoverCreator::Command1_Click);
    connect(cmdCanel, &QPushButton::clicked, this, &frmCoverCreator::cmdCanel_Click);
}

void frmCoverCreator::Form_Load() {
    fillImageList();
    fillFontLists();
    {
        m_quiet = true;
        for (int i = 0; i < 2; ++i) {
            cboFontSize[i]->clear();
            for (int size = 8; size <= 34; size += 2)
                cboFontSize[i]->addItem(QString::number(size));
            showLine(i, defaultCoverLine(i));
        }
        m_quiet = false;
    }

    ArrangePanels(0);

    if (FileCovers->count() > 0)
        FileCovers->setCurrentRow(0);
    else
        Render();
}

void frmCoverCreator::fillFontLists() {
    // One entry per family: the same family from two foundries reads "Name [Foundry]".
    static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]$"));
    QStringList families;
    for (QString family : QFontDatabase::families()) {
        if (QFontDatabase::isPrivateFamily(family))
            continue;
        family.remove(foundry);
        // Symbol fonts draw pictures in place of letters.
        const auto systems = QFontDatabase::writingSystems(family);
        if (systems.contains(QFontDatabase::Symbol) || !systems.contains(QFontDatabase::Latin))
            continue;
        if (!families.contains(family))
            families << family;
    }
    families.sort(Qt::CaseInsensitive);
    for (int i = 0; i < 2; ++i) {
        cboFontName[i]->clear();
        for (const QString& family : families) {
            cboFontName[i]->addItem(family);
            cboFontName[i]->setItemData(cboFontName[i]->count() - 1, QFont(family), Qt::FontRole);
        }
    }
}

void frmCoverCreator::showLine(int index, const CoverLine& line) {
    const bool wasQuiet = m_quiet;
    m_quiet = true;
    txtAdText[index]->setText(line.text);
    const int font = cboFontName[index]->findText(line.fontName);
    const int fallback = cboFontName[index]->findText(defaultCoverFont());
    cboFontName[index]->setCurrentIndex(font >= 0 ? font : std::max(0, fallback));
    cboFontSize[index]->setCurrentText(line.fontSize);
    lblColorPicker[index]->setColorValue(QStringLiteral("%1,%2,%3")
                                             .arg(line.color.red())
                                             .arg(line.color.green())
                                             .arg(line.color.blue()));
    txtAdPositionX[index]->setText(pixelsOfTwips(line.x));
    txtAdPositionY[index]->setText(pixelsOfTwips(line.y));
    chkBold[index]->setChecked(line.bold);
    cboAlign[index]->setCurrentIndex(int(line.align));
    cboEffect[index]->setCurrentIndex(int(line.effect));
    chkShrink[index]->setChecked(line.shrinkToFit);
    m_quiet = wasQuiet;
}

void frmCoverCreator::applyDesign(const QJsonObject& json) {
    const auto design = coverDesignFromJson(json);
    if (!design) {
        desktop().message(
            this,
            QStringLiteral("The saved cover design could not be used, so the cover starts "
                           "afresh: %1.")
                .arg(design.error()),
            QStringLiteral("Cover Design"), MessageIcon::Warning);
        return;
    }
    m_quiet = true;
    for (int i = 0; i < 2; ++i)
        showLine(i, design->lines[i]);
    m_quiet = false;
    // A saved design keeps the colours it was saved with.
    m_autoColour[0] = m_autoColour[1] = false;
    const auto found = FileCovers->findItems(design->picture, Qt::MatchExactly);
    if (!found.isEmpty() && found.first() != FileCovers->currentItem()) {
        FileCovers->setCurrentItem(found.first());
        return;
    }
    if (found.isEmpty() && !design->picture.isEmpty())
        showLibraryNote(QStringLiteral("The cover's picture \"%1\" is no longer in the image "
                                       "library; pick another one.")
                            .arg(design->picture));
    Render();
}

void frmCoverCreator::showLibraryNote(const QString& text) {
    lblLibraryHint->setText(text);
    lblLibraryHint->setVisible(!text.isEmpty());
}

CoverDesign frmCoverCreator::design() const {
    CoverDesign design;
    design.picture = FileCovers->currentItem() ? FileCovers->currentItem()->text() : QString();
    for (int i = 0; i < 2; ++i)
        design.lines[i] = line(i);
    return design;
}

void frmCoverCreator::reject() {
    // No is the default: Esc then Enter must not throw the design away.
    if (design() != m_savedDesign &&
        !desktop().questionDefaultNo(
            this,
            QStringLiteral("Close the cover creator and lose the changes to "
                           "this cover?"),
            QStringLiteral("Confirm"), MessageIcon::None))
        return;
    QDialog::reject();
}

void frmCoverCreator::fillImageList() {
    FileCovers->clear();
    for (const QString& name : m_library.pictures()) {
        const QImage thumbnail = thumbnailOf(m_library.pathOf(name));
        auto* item = new QListWidgetItem(name, FileCovers);
        item->setToolTip(name);
        if (!thumbnail.isNull())
            item->setIcon(QIcon(QPixmap::fromImage(thumbnail)));
    }

    const QString folder = displayPath(m_library.folder());
    if (!m_library.exists()) {
        lblLibraryHint->setText(
            QStringLiteral(
                "The image library folder \"%1\" does not exist yet. Press Open Folder "
                "to create it, put your .jpg or .png pictures (400x450) into it, then press "
                "Refresh.")
                .arg(folder));
    } else {
        lblLibraryHint->setText(
            QStringLiteral(
                "No pictures yet. Put your .jpg or .png pictures (400x450) into the folder "
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
    line.x = twipsOfPixels(txtAdPositionX[index]->text());
    line.y = twipsOfPixels(txtAdPositionY[index]->text());
    line.bold = chkBold[index]->isChecked();
    line.align = CoverAlign(std::max(0, cboAlign[index]->currentIndex()));
    line.effect = CoverEffect(std::max(0, cboEffect[index]->currentIndex()));
    line.shrinkToFit = chkShrink[index]->isChecked();
    return line;
}

void frmCoverCreator::Render() {
    if (m_quiet)
        return;
    m_canvas.render(line(0), line(1));
    for (int i = 0; i < 2; ++i) {
        const auto& placed = m_canvas.placed(i);
        const bool low = placed.drawn && placed.contrast < LegibleContrast;
        lblContrast[i]->setText(
            low ? QStringLiteral("Low contrast with the picture (%1:1)")
                      .arg(QString::number(std::floor(placed.contrast * 10) / 10, 'f', 1))
                : QString());
        lblContrast[i]->setVisible(low);
    }
    picTest->update();
}

void frmCoverCreator::PaintBackground(const QString& path) {
    const Status loaded = m_canvas.setBackground(path);
    if (!loaded)
        showLibraryNote(loaded.error());
    else if (FileCovers->count() > 0)
        showLibraryNote(QString());
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

// The lines are drawn on the new picture at once, so the saved cover shows what the boxes hold.
void frmCoverCreator::FileCovers_Click() {
    PaintBackground(selectedImagePath());
    pickLineColours();
    Render();
}

// Until the user picks a colour, each line is white or near black, whichever
// stands out more from the picture where the line lies.
void frmCoverCreator::pickLineColours() {
    if (!m_autoColour[0] && !m_autoColour[1])
        return;
    QImageReader reader(selectedImagePath());
    reader.setAutoTransform(true);
    const QImage picture = fillCover(reader.read(), QSize(CoverWidth, CoverHeight));
    if (picture.isNull())
        return;
    const QColor light(255, 255, 255), dark(24, 22, 28);
    for (int i = 0; i < 2; ++i) {
        if (!m_autoColour[i])
            continue;
        const CoverLine l = line(i);
        const double top = twipsTextToPixels(l.y).value_or(0);
        const int size = coverFontSize(l.fontSize).value_or(24);
        // Two lines of text at its size, across the picture inside the margin.
        const QRect under =
            QRect(CoverMargin, int(top), CoverWidth - 2 * CoverMargin, int(size * 2.7)) &
            picture.rect();
        double sum = 0;
        int count = 0;
        for (int y = under.top(); y <= under.bottom(); y += 3)
            for (int x = under.left(); x <= under.right(); x += 3, ++count)
                sum += relativeLuminance(picture.pixelColor(x, y));
        if (count == 0)
            continue;
        const double beneath = sum / count;
        const bool lightWins = contrastRatio(relativeLuminance(light), beneath) >=
                               contrastRatio(relativeLuminance(dark), beneath);
        const QColor chosen = lightWins ? light : dark;
        lblColorPicker[i]->setColorValue(
            QStringLiteral("%1,%2,%3").arg(chosen.red()).arg(chosen.green()).arg(chosen.blue()));
    }
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
            "If you want, you can add your own jpg or png images to this folder. Recommended Size: "
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
    m_autoColour[index] = false;
    Render();
}

void frmCoverCreator::picTest_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y) {
    const int target = optTextLine[1]->isChecked() ? 0 : 1;
    txtAdPositionX[target]->setText(twipsText(twipsToPixels(x)));
    txtAdPositionY[target]->setText(twipsText(twipsToPixels(y)));
    Render();
}

void frmCoverCreator::picTest_LineDragged(int index, double x, double y) {
    if (!optTextLine[index + 1]->isChecked())
        ArrangePanels(index);
    txtAdPositionX[index]->setText(twipsText(twipsToPixels(x)));
    txtAdPositionY[index]->setText(twipsText(twipsToPixels(y)));
    Render();
}

void frmCoverCreator::Command1_Click() {
    if (FileCovers->currentRow() < 0)
        return;
    const QString path = m_coverFile;
    // The window's cover folder goes with its unsaved changes, perhaps while this is open.
    QDir().mkpath(QFileInfo(path).absolutePath());
    const Status saved = m_canvas.save(path);
    if (!saved) {
        desktop().message(this, saved.error(), QStringLiteral("Cover Not Saved"),
                          MessageIcon::Warning);
        return;
    }
    m_savedDesign = design();
    emit coverSaved(path);
    desktop().message(this, QStringLiteral("Done! Cover saved."), QStringLiteral("Done"),
                      MessageIcon::Information);
    accept();
}

void frmCoverCreator::cmdCanel_Click() {
    reject();
}
