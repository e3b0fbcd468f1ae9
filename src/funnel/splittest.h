#pragma once

#include "funnelsettings.h"

#include <QString>

namespace tandrel {

// A split test on the opt-in page: a script in the head picks each visitor's version
// before anything is drawn and keeps it in the browser; the stylesheet then shows only
// that version's elements, which carry "tf-vs" and a "tf-for-X" class for each version
// they show in. Without the script, version A shows.

inline constexpr const char* kSplitTestHead = "[SPLIT_TEST]";

// Whether a version other than A brings its own headline or cover.
bool hasOwnHeadline(const PageVersion& version);
bool hasOwnCover(const PageVersion& version);

// The classes of an element of version A: it also shows in each version without its own.
QString versionAClasses(const SplitTest& test, bool (*hasOwn)(const PageVersion&));

// The headline of every version, each shown in its own versions; the bare headline
// without a split test.
QString versionedHeadline(const FunnelSettings& settings);

// The head's script and rules; empty without a split test.
QString splitTestHead(const FunnelSettings& settings);

// The browser's storage key that keeps the version of a visitor of this funnel.
QString versionStorageKey(const FunnelSettings& settings);

} // namespace tandrel
