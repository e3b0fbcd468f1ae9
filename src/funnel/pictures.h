#pragma once

#include "result.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

namespace tandrel {

// Every picture the pages show is written anew from its decoded pixels: upright,
// in sRGB, without the camera's or editor's metadata, in the sizes its places
// need. The same source and request always give the same bytes, so a republish
// sends only what changed.

// One file written beside the pages.
struct PictureFile {
    QString name; // e.g. "ebook-cover-600.webp"
    QByteArray bytes;
    QSize size; // pixels
};

// One size asked for. Height 0 keeps the picture's shape; otherwise the picture
// is cut to the box's shape around its centre first. Never larger than the
// picture: a box beyond it shrinks, shape kept, to fit.
struct PictureCut {
    int width = 0;
    int height = 0;
};

struct PictureRequest {
    QByteArray source;  // the user's file, read whole; the file itself is never touched
    QString sourcePath; // names the file in messages
    QString stem;       // the published names' base, already safe in an address
    QList<PictureCut> cuts;
    int fallbackWidth = 0; // the JPEG/PNG for browsers without WebP; 0: none
    // The part of the upright picture the cuts and the fallback are made of; empty: all of it.
    QRect region;
};

struct ReadyPicture {
    QSize shown; // the size, upright, of the whole picture or of its region
    bool transparent = false;
    // WebP, in the order of the cuts; cuts that come out the same size appear once.
    QList<PictureFile> variants;
    std::optional<PictureFile> fallback; // JPEG, or PNG when transparent
    // An animation is sent as it is, its metadata removed: no variants, no fallback.
    std::optional<PictureFile> asIs;
};

// Reads and re-encodes one picture, or takes the result from cacheDir (empty:
// no cache) when the same source was prepared the same way before.
Result<ReadyPicture> preparePicture(const PictureRequest& request, const QString& cacheDir);

inline constexpr QSize kSocialCardSize{1200, 630};

// The page's preview on social sites: the cover whole, never cut, centred on
// the page's background picture (when given) or colour. A JPEG.
Result<PictureFile> makeSocialCard(const QByteArray& cover, const QByteArray& background,
                                   QColor backdrop, const QString& name, const QString& cacheDir);

// Drops cache entries unused for maxAgeDays, then the least recently used beyond
// maxBytes; keep (an entry's key) stays. Both functions above call it after a store.
void prunePictureCache(const QString& cacheDir, const QString& keep = {},
                       qint64 maxBytes = 200LL * 1024 * 1024, int maxAgeDays = 30);

} // namespace tandrel
