#pragma once

#include <QIcon>

// The menu row's icons, drawn here so they stay crisp at any scale and need no image files.
QIcon menuIcon(int section, const QColor& color);
