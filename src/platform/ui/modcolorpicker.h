#pragma once

#include <QColor>
#include <QString>

#include <optional>

class QWidget;

// The colour chooser shared by the main window and the cover creator.
namespace modColorPicker {

// A colour number holds red in its lowest byte, green in the next, blue in the third.
// Nothing when the user cancels.
std::optional<int> ShowColorDialog(QWidget* owner, const QColor& initial = Qt::white);

// Sets the module's components from a colour number.
void SplitColor(int colour);
int red();
int green();
int blue();

// "r,g,b" of the components, as swatches store it.
QString colorValue();

int colorNumber(const QColor& color);

} // namespace modColorPicker
