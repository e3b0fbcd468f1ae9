#pragma once

#include <QRandomGenerator>
#include <QString>

namespace tandrel {

// One variant of a text in spin syntax: every group "{a|b|...}" becomes one
// of its alternatives, each equally likely; inner groups are resolved first.
// A brace without its partner and a "|" outside any group stay as they are.
// Uses the platform generator unless given another, so seeding makes it repeatable.
QString Spin(const QString& text);
QString Spin(const QString& text, QRandomGenerator& generator);

} // namespace tandrel
