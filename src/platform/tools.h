#pragma once

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

namespace tandrel {

// Every occurrence, left to right, never rescanning inserted text.
// mode 0 matches exactly, mode 1 ignores letter case. An empty find text changes nothing.
QString StrReplace(const QString& text, const QString& find, const QString& replacement, int mode);

// folder true: a folder exists at path; false: a file does.
bool FileExists(const QString& path, bool folder);

// The name after the last "/" or "\" of a path.
QString GetFileName(const QString& path);

// One item per separator-delimited part, in order; empty parts make no item.
QStringList SplitToList(const QString& text, const QString& separator);

// A whole number from 0 to bound - 1.
int RandomNumber(int bound);
// Makes every later random choice of the process repeatable.
void seedRandomNumbers(quint64 seed);
QRandomGenerator& randomGenerator();

} // namespace tandrel
