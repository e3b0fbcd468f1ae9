// Times one redraw of the cover with a line of text that has an outline or a
// shadow, at sizes from the list's largest (34 points) to a typed 1,000.
//
//   tandrel-bench-cover [--runs N]
//
// A size above what the 400 x 450 cover can show is drawn at that largest
// size; the figures say which size was drawn.

#include "covercanvas.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tandrel;

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    int runs = 5;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--runs"));
        at >= 0 && at + 1 < args.size())
        runs = std::max(1, args[at + 1].toInt());

    std::printf("One redraw of the cover, median of %d (milliseconds):\n", runs);
    std::printf("  %-8s %-8s %10s %10s %10s\n", "size", "drawn", "none", "outline", "shadow");
    for (const char* size : {"34", "100", "300", "1000"}) {
        std::printf("  %-8s %-8d", size, coverFontSize(QString::fromLatin1(size)).value_or(0));
        for (const CoverEffect effect :
             {CoverEffect::None, CoverEffect::Outline, CoverEffect::Shadow}) {
            CoverLine line{QStringLiteral("Grow"),    QStringLiteral("DejaVu Sans"),
                           QString::fromLatin1(size), QColor(255, 255, 255),
                           QStringLiteral("0"),       QStringLiteral("0")};
            line.effect = effect;
            CoverCanvas canvas;
            std::vector<double> times;
            for (int i = 0; i < runs; ++i) {
                QElapsedTimer timer;
                timer.start();
                canvas.render(line, CoverLine{});
                times.push_back(double(timer.nsecsElapsed()) / 1e6);
            }
            std::sort(times.begin(), times.end());
            std::printf(" %10.1f", times[times.size() / 2]);
        }
        std::printf("\n");
    }
    return 0;
}
