#pragma once

#include "apppaths.h"
#include "covercanvas.h"
#include "coverdesign.h"
#include "imagelibrary.h"

#include <QDialog>
#include <QJsonObject>

class QCheckBox;
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

// Shows the cover canvas at 1:1, reports where a mouse button was released
// over it, and lets a drawn line be dragged.
class CoverPictureBox : public QWidget {
    Q_OBJECT
public:
    CoverPictureBox(const tandrel::CoverCanvas& canvas, QWidget* parent = nullptr);

signals:
    // x and y in twips from the canvas's top-left corner. Not sent at the end of a drag.
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    // Line index (0 or 1) dragged so that its position is now x, y in twips.
    void lineDragged(int index, double x, double y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const tandrel::CoverCanvas& m_canvas;
    int m_grabbed = -1; // the line under the pressed button
    bool m_dragging = false;
    QPointF m_pressedAt;
    QPointF m_anchorAtPress;
};

// Draws up to two lines of text on a library picture and saves the result as the
// funnel's cover. Opened modally with the design the funnel keeps; closing with changes
// not saved asks first.
class frmCoverCreator : public QDialog {
    Q_OBJECT
public:
    // coverFile: where "Save Image and Use" writes. design: as the saved funnel keeps it;
    // empty starts from the defaults.
    frmCoverCreator(const tandrel::AppPaths& paths, const QString& coverFile,
                    const QJsonObject& design = {}, QWidget* parent = nullptr);

    const tandrel::CoverCanvas& canvas() const { return m_canvas; }
    tandrel::CoverDesign design() const;
    QJsonObject designJson() const { return tandrel::coverDesignToJson(design()); }

    // Escape, the close box and Cancel come here.
    void reject() override;

signals:
    // The cover was written; path is its full path. design() is what it shows.
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
    void picTest_LineDragged(int index, double x, double y);
    void Command1_Click();
    void cmdCanel_Click();

private:
    void buildWindow();
    QWidget* buildLinePanel(int index);
    void Render();
    void PaintBackground(const QString& path);
    void ArrangePanels(int index);
    void fillImageList();
    void fillFontLists();
    void showLine(int index, const tandrel::CoverLine& line);
    void applyDesign(const QJsonObject& json);
    void pickLineColours();
    void showLibraryNote(const QString& text);
    QString selectedImagePath() const;
    tandrel::CoverLine line(int index) const;

    tandrel::AppPaths m_paths;
    QString m_coverFile;
    tandrel::ImageLibrary m_library;
    tandrel::CoverCanvas m_canvas;
    tandrel::CoverDesign m_savedDesign;  // what closing without a question keeps
    bool m_quiet = false;                // many controls change at once: one render after
    bool m_autoColour[2] = {true, true}; // the line's colour follows the picture

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
    QCheckBox* chkBold[2] = {};
    QComboBox* cboAlign[2] = {};
    QComboBox* cboEffect[2] = {};
    QCheckBox* chkShrink[2] = {};
    QLabel* lblContrast[2] = {};
    QRadioButton* optTextLine[3] = {}; // indexes 1 and 2, as the options read "# 1" and "# 2"
    CoverPictureBox* picTest = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdCanel = nullptr;
};
