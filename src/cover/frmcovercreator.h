#pragma once

#include "apppaths.h"
#include "covercanvas.h"
#include "imagelibrary.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace tandrel {
class ClickLabel;
class CollapsiblePanel;
class ColorSwatch;
} // namespace tandrel

// Shows the cover canvas at 1:1 and reports where a mouse button was released over it.
class CoverPictureBox : public QWidget {
    Q_OBJECT
public:
    CoverPictureBox(const tandrel::CoverCanvas& canvas, QWidget* parent = nullptr);

signals:
    // x and y in twips from the canvas's top-left corner.
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const tandrel::CoverCanvas& m_canvas;
};

// Draws up to two lines of text on a library picture and saves the result as
// the application folder's temp_cover.jpg. Opened modally; nothing of it is
// remembered between openings.
class frmCoverCreator : public QDialog {
    Q_OBJECT
public:
    explicit frmCoverCreator(const tandrel::AppPaths& paths, QWidget* parent = nullptr);

    const tandrel::CoverCanvas& canvas() const { return m_canvas; }

signals:
    // temp_cover.jpg was written; path is its full path.
    void coverSaved(const QString& path);

private slots:
    void Form_Load();
    void FileCovers_Click();
    void lblRefreshImages_Click();
    void Command2_Click();
    void lblClickHere_Click(int index);
    void lblMenu_Click(int index);
    void qFrame_ExpandCollapse(int index);
    void txtAdText_Change(int index);
    void cboFontName_Click(int index);
    void cboFontSize_Click(int index);
    void lblColorPicker_Click(int index);
    void picTest_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void Command1_Click();
    void cmdCanel_Click();

private:
    void buildWindow();
    QWidget* buildLinePanel(int index);
    void Render();
    void PaintBackground(const QString& path);
    void ArrangePanels(int index);
    void fillImageList();
    QString selectedImagePath() const;
    tandrel::CoverLine line(int index) const;

    tandrel::AppPaths m_paths;
    tandrel::ImageLibrary m_library;
    tandrel::CoverCanvas m_canvas;

    QListWidget* FileCovers = nullptr;
    tandrel::ClickLabel* lblRefreshImages = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* lblLibraryHint = nullptr;
    tandrel::ClickLabel* lblMenu[2] = {};
    tandrel::CollapsiblePanel* qFrame[2] = {};
    QLineEdit* txtAdText[2] = {};
    QComboBox* cboFontName[2] = {};
    QComboBox* cboFontSize[2] = {};
    tandrel::ColorSwatch* lblColorPicker[2] = {};
    QLineEdit* txtAdPositionX[2] = {};
    QLineEdit* txtAdPositionY[2] = {};
    tandrel::ClickLabel* lblClickHere[2] = {};
    QRadioButton* optTextLine[3] = {}; // indexes 1 and 2, as the options read "# 1" and "# 2"
    CoverPictureBox* picTest = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdCanel = nullptr;
};
