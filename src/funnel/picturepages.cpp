#include "picturepages.h"

#include <QtMath>

#include <algorithm>
#include <limits>

namespace tandrel {

namespace {

constexpr double kNone = std::numeric_limits<double>::infinity();
constexpr int kPhoneBelow = 760; // funnel.css's phone layout ends here
constexpr double kExtremeShape = 3;

// One place a cover is drawn: funnel.css's --cover-max-width and --cover-max-height.
struct Place {
    double maxWidth;
    double heightShare; // of the window's height; 0: none
    double maxHeight;
};

// Strips never get here: the build sends their top, cut square.
enum class Shape { Normal, Banner };

Shape shapeOf(QSize shown) {
    if (shown.width() >= kExtremeShape * shown.height())
        return Shape::Banner;
    return Shape::Normal;
}

// The places on a page: the first for phones, the second (if any) from 760 px up.
QList<Place> placesOf(PageKind kind, int layout) {
    if (kind == PageKind::Download)
        return {{170, 0, 220}};
    if (layout == 0)
        return {{280, 0.17, 280}};
    return {{200, 0.34, kNone}, {420, 0.62, 520}};
}

double ratioOf(QSize shown) {
    return double(shown.width()) / shown.height();
}

// The width the picture may take without the window's height, as the stylesheet caps it.
double fixedCap(const Place& place, QSize shown, bool phone) {
    const double r = ratioOf(shown);
    double width = place.maxWidth;
    if (shapeOf(shown) == Shape::Banner && phone)
        return kNone; // the card's width
    if (shapeOf(shown) == Shape::Banner && place.maxWidth < 200)
        width = 420; // the download page's banner
    return std::min({width, place.maxHeight * r, 2.0 * shown.width()});
}

// The CSS width the browser reckons the cover at, from the sizes attribute.
double sizedWidth(PageKind kind, int layout, QSize shown, Viewport viewport) {
    const QList<Place> places = placesOf(kind, layout);
    const bool phone = viewport.size.width() < kPhoneBelow;
    if (phone && shapeOf(shown) == Shape::Banner)
        return viewport.size.width();
    const Place& place = places.size() > 1 && !phone ? places[1] : places[0];
    double width = fixedCap(place, shown, phone && places.size() > 1);
    if (place.heightShare > 0)
        width = std::min(width, place.heightShare * viewport.size.height() * ratioOf(shown));
    return std::min(width, double(viewport.size.width()));
}

QString px(double value) {
    return QString::number(qCeil(value));
}

QString sizesOf(const Place& place, QSize shown, bool phone, const QString& condition) {
    const double cap = fixedCap(place, shown, phone);
    const QString fixed = cap == kNone ? QStringLiteral("100vw") : px(cap) + QStringLiteral("px");
    const auto when = [&](const QString& more) {
        QStringList parts;
        if (!condition.isEmpty())
            parts << condition;
        if (!more.isEmpty())
            parts << more;
        return parts.join(QStringLiteral(" and "));
    };
    QStringList entries;
    if (place.heightShare > 0 && cap != kNone) {
        const double perHeight = place.heightShare * ratioOf(shown);
        entries << QStringLiteral("%1 %2vh").arg(
            when(QStringLiteral("(max-height: %1px)").arg(qFloor(cap / perHeight))),
            QString::number(perHeight * 100, 'f', 2));
    }
    const QString last = when(QString());
    entries << (last.isEmpty() ? fixed : last + u' ' + fixed);
    return entries.join(QStringLiteral(", "));
}

// Widths a little apart from each other, so whatever the browser needs, the
// next size up is never much more.
QList<int> ladder(QList<double> targets, int limit) {
    std::sort(targets.begin(), targets.end());
    QList<int> widths;
    for (double target : targets) {
        const int width = std::min(qCeil(target), limit);
        if (!widths.isEmpty()) {
            const int previous = widths.last();
            if (width <= previous * 1.08) {
                widths.last() = std::max(previous, width);
                continue;
            }
            const int steps = qCeil(std::log(double(width) / previous) / std::log(1.4));
            for (int step = 1; step < steps; ++step)
                widths << qRound(previous *
                                 std::pow(double(width) / previous, double(step) / steps));
        }
        widths << width;
    }
    return widths;
}

// The background's shapes: tall phones, squarer windows, and the wide rest. Behind
// the card a little softness on the densest screens goes unseen; the largest
// portrait cuts would cost a third of a cold build.
struct Layer {
    double aspect;     // of the cut, width / height
    double maxWindow;  // windows up to this width / height use it
    QList<int> widths; // the cuts made
    QList<int> sizes;  // windows by the CSS width the picture must cover
};

QList<Layer> layersOf(QSize shown) {
    const double own = ratioOf(shown);
    const double wide = own >= 4.0 / 3 ? own : 1.6;
    return {{wide, kNone, {1280, 1920, 2560}, {2560, 1920, 1600, 1280}},
            {3.0 / 4, 1.1, {768, 1152}, {1024, 800}},
            {9.0 / 16, 0.7, {540, 720, 1080}, {525, 460, 400}}};
}

QList<const PictureFile*> layerFiles(const ReadyPicture& picture, const Layer& layer) {
    QList<const PictureFile*> files;
    for (const PictureFile& file : picture.variants) {
        if (file.size.isEmpty())
            continue;
        if (std::abs(double(file.size.width()) / file.size.height() - layer.aspect) <
            0.03 * layer.aspect)
            files << &file;
    }
    std::sort(files.begin(), files.end(), [](const PictureFile* a, const PictureFile* b) {
        return a->size.width() < b->size.width();
    });
    return files;
}

// The files offered to a window that needs `width` CSS pixels, each with the
// device pixels per CSS pixel it suits; only the smallest that is big enough counts.
QList<std::pair<const PictureFile*, double>> offered(const QList<const PictureFile*>& files,
                                                     int width) {
    QList<std::pair<const PictureFile*, double>> options;
    for (const PictureFile* file : files) {
        const double density = double(file->size.width()) / width;
        if (density >= 0.9 || file == files.last())
            options.append({file, density});
    }
    return options;
}

QString layerRule(const PictureFile& file) {
    return QStringLiteral(".tf-photo::before{background-image:url(%1)}").arg(file.name);
}

const PictureFile* pick(const QList<std::pair<const PictureFile*, double>>& options, double dpr) {
    for (const auto& [file, density] : options) {
        if (density >= dpr)
            return file;
    }
    return options.isEmpty() ? nullptr : options.last().first;
}

} // namespace

QList<PictureCut> coverCuts(QSize shown, int layout) {
    if (shown.isEmpty())
        return {};
    QList<double> targets;
    const auto add = [&targets](double cap, bool shortWindows) {
        for (double density : {1.0, 2.0, 3.0})
            targets << cap * density;
        if (shortWindows)
            targets << cap * 0.6;
    };
    if (shapeOf(shown) == Shape::Banner)
        add(430, false); // a phone's card, the widest phones
    for (PageKind kind : {PageKind::Optin, PageKind::Download}) {
        const QList<Place> places = placesOf(kind, layout);
        for (qsizetype i = 0; i < places.size(); ++i) {
            const bool phone = i == 0 && places.size() > 1;
            const double cap = fixedCap(places[i], shown, phone);
            if (cap != kNone)
                add(cap, places[i].heightShare > 0);
        }
    }
    QList<PictureCut> cuts;
    for (int width : ladder(targets, shown.width()))
        cuts.append({width, 0});
    return cuts;
}

int coverFallbackWidth(QSize shown, int layout) {
    double widest = 0;
    for (const Place& place : placesOf(PageKind::Optin, layout))
        widest = std::max(widest, fixedCap(place, shown, false));
    return std::min(qCeil(2 * widest), shown.width());
}

QString coverSizes(PageKind kind, int layout, QSize shown) {
    const QList<Place> places = placesOf(kind, layout);
    const QString phone = QStringLiteral("(max-width: %1px)").arg(kPhoneBelow - 1);
    QStringList parts;
    if (shapeOf(shown) == Shape::Banner)
        parts << phone + QStringLiteral(" 100vw");
    else if (places.size() > 1)
        parts << sizesOf(places[0], shown, true, phone);
    parts << sizesOf(places.last(), shown, false, QString());
    return parts.join(QStringLiteral(", "));
}

QString coverSource(const ReadyPicture& cover, PageKind kind, int layout) {
    if (cover.variants.isEmpty())
        return QString();
    QStringList candidates;
    for (const PictureFile& file : cover.variants)
        candidates << QStringLiteral("%1 %2w").arg(file.name).arg(file.size.width());
    return QStringLiteral("<source type=\"image/webp\" srcset=\"%1\" sizes=\"%2\">")
        .arg(candidates.join(QStringLiteral(", ")), coverSizes(kind, layout, cover.shown));
}

const PictureFile* coverFetched(const ReadyPicture& cover, PageKind kind, int layout,
                                Viewport viewport) {
    if (cover.asIs)
        return &*cover.asIs;
    if (cover.variants.isEmpty())
        return cover.fallback ? &*cover.fallback : nullptr;
    const double needed = sizedWidth(kind, layout, cover.shown, viewport) * viewport.dpr;
    const PictureFile* best = nullptr;
    for (const PictureFile& file : cover.variants) {
        if (file.size.width() >= needed && (!best || file.size.width() < best->size.width()))
            best = &file;
    }
    if (best)
        return best;
    return &*std::max_element(
        cover.variants.begin(), cover.variants.end(),
        [](const PictureFile& a, const PictureFile& b) { return a.size.width() < b.size.width(); });
}

QList<PictureCut> backgroundCuts(QSize shown) {
    if (shown.isEmpty())
        return {};
    QList<PictureCut> cuts;
    for (const Layer& layer : layersOf(shown)) {
        const bool ownShape = layer.aspect == ratioOf(shown);
        for (int width : layer.widths)
            cuts.append({width, ownShape ? 0 : qRound(width / layer.aspect)});
    }
    return cuts;
}

QString backgroundCss(const ReadyPicture& background) {
    QStringList rules;
    if (background.asIs)
        rules << layerRule(*background.asIs);
    for (const Layer& layer : layersOf(background.shown)) {
        const QList<const PictureFile*> files = layerFiles(background, layer);
        if (files.isEmpty())
            continue;
        const QString shape =
            layer.maxWindow == kNone
                ? QString()
                : QStringLiteral("(max-aspect-ratio: %1/100)").arg(qRound(layer.maxWindow * 100));
        // Smaller windows come later and win; so do denser screens within each.
        for (qsizetype i = 0; i < layer.sizes.size(); ++i) {
            const int width = layer.sizes[i];
            QStringList window;
            if (!shape.isEmpty())
                window << shape;
            if (i > 0)
                window << QStringLiteral("(max-width: %1px) and (max-height: %2px)")
                              .arg(width)
                              .arg(qFloor(width / layer.aspect));
            const auto options = offered(files, width);
            for (qsizetype k = 0; k < options.size(); ++k) {
                QStringList conditions = window;
                if (k > 0)
                    conditions << QStringLiteral("(min-resolution: %1dppx)")
                                      .arg(QString::number(options[k - 1].second + 0.01, 'f', 2));
                const QString rule = layerRule(*options[k].first);
                rules << (conditions.isEmpty()
                              ? rule
                              : QStringLiteral("@media %1{%2}")
                                    .arg(conditions.join(QStringLiteral(" and ")), rule));
            }
        }
    }
    // The layer stays behind the page, the size of the window, while the page scrolls.
    rules.prepend(QStringLiteral(
        ".tf-photo::before{content:\"\";position:fixed;inset:0;z-index:-1;"
        "background-position:center;background-size:cover;background-repeat:no-repeat}"));
    return rules.join(u'\n');
}

const PictureFile* backgroundFetched(const ReadyPicture& background, Viewport viewport) {
    if (background.asIs)
        return &*background.asIs;
    const double window = double(viewport.size.width()) / viewport.size.height();
    const QList<Layer> layers = layersOf(background.shown);
    for (auto layer = layers.rbegin(); layer != layers.rend(); ++layer) {
        const QList<const PictureFile*> files = layerFiles(background, *layer);
        if (files.isEmpty() || window > layer->maxWindow + 1e-9)
            continue;
        int width = layer->sizes.first();
        for (int size : layer->sizes) {
            if (viewport.size.width() <= size &&
                viewport.size.height() <= qFloor(size / layer->aspect))
                width = size;
        }
        return pick(offered(files, width), viewport.dpr);
    }
    return nullptr;
}

} // namespace tandrel
