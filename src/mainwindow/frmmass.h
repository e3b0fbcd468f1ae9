#pragma once

#include "apppaths.h"

#include <QWidget>

class frmMass : public QWidget {
    Q_OBJECT
public:
    explicit frmMass(const tandrel::AppPaths& paths, QWidget* parent = nullptr);

private:
    tandrel::AppPaths m_paths;
};
