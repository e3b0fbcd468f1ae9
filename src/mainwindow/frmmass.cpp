#include "frmmass.h"

frmMass::frmMass(const tandrel::AppPaths& paths, QWidget* parent) : QWidget(parent), m_paths(paths) {
    setObjectName(QStringLiteral("frmMass"));
}
