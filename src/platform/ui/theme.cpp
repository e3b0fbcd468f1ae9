#include "theme.h"

#include <QApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>

namespace tandrel::theme {

namespace {

struct Role {
    const char* name;
    const char* light;
    const char* dark;
};

// The one palette of the program.
constexpr Role kRoles[] = {
    {"ground", "#f4f6fb", "#17151c"},      // behind everything
    {"surface", "#ffffff", "#221f29"},     // cards, boxes to type in
    {"surfaceAlt", "#eef1f7", "#2b2733"},  // read-only boxes, closed panels
    {"border", "#d9deea", "#3b3547"},      // cards and panels
    {"inputBorder", "#a7b0c2", "#5b546b"}, // boxes, buttons, swatches
    {"text", "#1f2633", "#e9e6f0"},
    {"muted", "#5b6477", "#aaa3b9"}, // hints
    {"disabled", "#8a93a6", "#6f6881"},
    {"disabledGround", "#eceff4", "#24212b"},
    {"heading", "#3b1a5a", "#dcc2f2"},
    {"accent", "#6d2e8c", "#8b45b3"}, // the chosen section, ticks, selection
    {"accentBorder", "#5a2375", "#a35fcb"},
    {"onAccent", "#ffffff", "#ffffff"},
    {"accentSoft", "#f1ecf8", "#33283f"}, // hover
    {"focus", "#2563eb", "#7fb0ff"},
    {"link", "#1d4ed8", "#93c5fd"},
    {"primary", "#f59e0b", "#f59e0b"}, // the Build button
    {"primaryBorder", "#d97706", "#fbbf24"},
    {"primaryHover", "#fbbf24", "#fcd34d"},
    {"onPrimary", "#1f1300", "#1f1300"},
    {"headerFrom", "#3b1a5a", "#241036"},
    {"headerTo", "#6d2e8c", "#4b2064"},
    {"onHeader", "#ffffff", "#f4ecfb"},
    {"onHeaderMuted", "#e7d9f3", "#cdb9dd"},
    {"important", "#9a3412", "#fb923c"},
    {"note", "#8a3b00", "#f3b47b"},
    {"warningGround", "#fff4e5", "#3a2913"},
    {"warningBorder", "#f5b86a", "#8c5a1d"},
    {"warningText", "#8a4b00", "#fcd29a"},
    {"noticeGround", "#eff6ff", "#172140"},
    {"noticeBorder", "#93c5fd", "#2f4f99"},
    {"noticeText", "#1e3a8a", "#c7dcff"},
    {"reminder", "#e11d48", "#fb5577"},
    {"welcomeGround", "#f6f0fb", "#271f31"},
    {"welcomeBorder", "#e6d8f3", "#3f3150"},
    {"missing", "#b91c1c", "#f87171"},
    {"present", "#15803d", "#4ade80"},
    {"tooltipGround", "#fffbe8", "#2b2733"},
};

std::optional<bool> g_dark;

// GNOME keeps its dark preference where Qt 6.4 does not look: in GTK_THEME or its settings.
bool gnomePrefersDark() {
    if (qEnvironmentVariable("GTK_THEME").endsWith(QLatin1String(":dark")))
        return true;
    const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (gsettings.isEmpty())
        return false;
    QProcess ask;
    ask.start(gsettings, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"),
                          QStringLiteral("color-scheme")});
    if (!ask.waitForFinished(1000)) {
        ask.kill();
        ask.waitForFinished(100);
        return false;
    }
    return ask.readAllStandardOutput().contains("prefer-dark");
}

} // namespace

bool isDark() {
    if (!g_dark) {
        const QByteArray chosen = qgetenv("TANDREL_THEME").toLower();
        if (chosen == "dark" || chosen == "light") {
            g_dark = chosen == "dark";
        } else {
            const QPalette desktop = QGuiApplication::palette();
            g_dark = desktop.color(QPalette::Window).lightness() <
                         desktop.color(QPalette::WindowText).lightness() ||
                     gnomePrefersDark();
        }
    }
    return *g_dark;
}

QColor color(const char* role) {
    const bool dark = isDark();
    for (const Role& r : kRoles) {
        if (qstrcmp(r.name, role) == 0)
            return QColor(QLatin1String(dark ? r.dark : r.light));
    }
    return Qt::black;
}

namespace {

// The drop-down arrow in the hint colour. Style sheets take images only from
// files, so it is drawn once per run into a folder that goes with the program.
QString downArrowImage() {
    static QTemporaryDir folder;
    static const QString path = [] {
        QImage image(24, 16, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(color("muted"), 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath chevron;
        chevron.moveTo(1.5, 1.8);
        chevron.lineTo(6, 6.2);
        chevron.lineTo(10.5, 1.8);
        p.drawPath(chevron);
        p.end();
        const QString file = folder.filePath(QStringLiteral("down-arrow@2x.png"));
        return folder.isValid() && image.save(file) ? file : QString();
    }();
    return path;
}

// Check boxes and radio buttons (checkBox, checkBoxChecked, radio, radioChecked), drawn
// in the palette's roles: Fusion outlines them in a shade of the window colour, which a
// dark palette turns nearly black on a dark box.
QString indicatorImage(const QString& name) {
    static QTemporaryDir folder;
    static QHash<QString, QString> made;
    if (const auto known = made.constFind(name); known != made.constEnd())
        return *known;
    const bool radio = name.startsWith(QLatin1String("radio"));
    const bool checked = name.contains(QLatin1String("Checked"));
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color(checked ? "accentBorder" : "muted"), 1.3));
    p.setBrush(color(checked ? "accent" : "surface"));
    const QRectF box(1.5, 1.5, 13, 13);
    if (radio) {
        p.drawEllipse(box);
        if (checked) {
            p.setPen(Qt::NoPen);
            p.setBrush(color("onAccent"));
            p.drawEllipse(box.center(), 3, 3);
        }
    } else {
        p.drawRoundedRect(box, 2.5, 2.5);
        if (checked) {
            p.setPen(QPen(color("onAccent"), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            QPainterPath tick;
            tick.moveTo(4.6, 8.2);
            tick.lineTo(7, 10.6);
            tick.lineTo(11.6, 5.4);
            p.setBrush(Qt::NoBrush);
            p.drawPath(tick);
        }
    }
    p.end();
    const QString file = folder.filePath(name + QStringLiteral("@2x.png"));
    return made[name] = folder.isValid() && image.save(file) ? file : QString();
}

} // namespace

QString resolve(const QString& styleSheet) {
    static const QRegularExpression token(QStringLiteral("@([A-Za-z]+)"));
    QString out;
    qsizetype last = 0;
    for (auto it = token.globalMatch(styleSheet); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(styleSheet).mid(last, m.capturedStart() - last);
        const QString role = m.captured(1);
        out += role == QLatin1String("downArrowImage") ? downArrowImage()
               : role.endsWith(QLatin1String("Image")) ? indicatorImage(role.chopped(5))
                                                       : color(role.toLatin1().constData()).name();
        last = m.capturedEnd();
    }
    out += QStringView(styleSheet).mid(last);
    return out;
}

void applyToApplication() {
    QPalette p;
    const auto set = [&p](std::initializer_list<QPalette::ColorRole> roles, const char* name) {
        for (QPalette::ColorRole role : roles)
            p.setColor(role, color(name));
    };
    set({QPalette::Window, QPalette::Button, QPalette::AlternateBase}, "ground");
    set({QPalette::Base}, "surface");
    set({QPalette::WindowText, QPalette::Text, QPalette::ButtonText}, "text");
    set({QPalette::ToolTipBase}, "tooltipGround");
    set({QPalette::ToolTipText}, "text");
    set({QPalette::PlaceholderText}, "disabled");
    set({QPalette::Highlight}, "accent");
    set({QPalette::HighlightedText}, "onAccent");
    set({QPalette::Link}, "link");
    set({QPalette::Light}, "surface");
    set({QPalette::Midlight}, "border");
    set({QPalette::Mid, QPalette::Dark}, "inputBorder");
    set({QPalette::Shadow}, "inputBorder");
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, color("disabled"));
    p.setColor(QPalette::Disabled, QPalette::Base, color("disabledGround"));
    QApplication::setPalette(p);
}

} // namespace tandrel::theme
