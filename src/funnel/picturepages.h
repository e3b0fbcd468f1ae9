#pragma once

#include "pagefinish.h"
#include "pictures.h"

#include <QSize>
#include <QString>

namespace tandrel {

// Where the pages draw the cover and the background, in the stylesheet's CSS
// pixels, and what the browser is told so that it fetches the size it draws.
// Kept beside funnel.css's numbers: the cover's places and the layer that
// holds the background.

// A visitor's window: CSS pixels and device pixels per CSS pixel.
struct Viewport {
    QSize size;
    double dpr = 1;
};

// The phone the window's weight figure is for.
inline constexpr Viewport kPhone{QSize(360, 740), 3};

// layout is the funnel's cboCols; shown the cover's upright size.
QList<PictureCut> coverCuts(QSize shown, int layout);
int coverFallbackWidth(QSize shown, int layout);
// The sizes attribute of the cover on the given page.
QString coverSizes(PageKind kind, int layout, QSize shown);
// The <source> that offers the WebP sizes, empty when there are none.
QString coverSource(const ReadyPicture& cover, PageKind kind, int layout);
// The cover file a browser in this window fetches on the page.
const PictureFile* coverFetched(const ReadyPicture& cover, PageKind kind, int layout,
                                Viewport viewport);

QList<PictureCut> backgroundCuts(QSize shown);
// The rules that put the background picture on a layer fixed behind the page,
// each window fetching the size and shape it shows.
QString backgroundCss(const ReadyPicture& background);
const PictureFile* backgroundFetched(const ReadyPicture& background, Viewport viewport);

} // namespace tandrel
