#pragma once

#include <QColor>
#include <QString>

// The windows' colours, named by the part they play. Each role has a light and
// a dark shade; the style sheets write "@role" and get the shade of the desktop.
namespace tandrel::theme {

// Dark when the desktop's palette is (its window colour darker than its text) or
// GNOME prefers dark, unless TANDREL_THEME says "light" or "dark". Decided once,
// at the first call.
bool isDark();
// The colour of ROLE in the shade in use; black for a name no role has.
QColor color(const char* role);
// The style sheet with every "@role" replaced by its colour.
QString resolve(const QString& styleSheet);
// Gives the application the palette of the shade in use, so message boxes and
// the desktop's dialogs match the windows.
void applyToApplication();

} // namespace tandrel::theme
