#include "funnelsettings.h"

#include "tools.h"

namespace tandrel {

bool FunnelSettings::isFileRequired(int index) const {
    switch (index) {
    case BackgroundImage:
        return optBackground == 1;
    case CoverImage:
        return true;
    default:
        return false;
    }
}

bool FunnelSettings::isFunnelUrlMissing() const {
    return txtFunnelUrl.isEmpty() || txtFunnelUrl == QLatin1String("http://");
}

void FunnelSettings::deriveFunnelLinks(int thankYouNumber, int downloadNumber) {
    const QString base =
        txtFunnelUrl.endsWith(QLatin1Char('/')) ? txtFunnelUrl : txtFunnelUrl + QLatin1Char('/');
    thankYouPageNumber = thankYouNumber;
    downloadPageNumber = downloadNumber;
    thankYouPageFile = QStringLiteral("thanks%1.html").arg(thankYouNumber);
    downloadPageFile = QStringLiteral("download%1.html").arg(downloadNumber);
    txtCapture_Url = base + thankYouPageFile;
    txtDownloadUrl = base + downloadPageFile;
}

void FunnelSettings::drawFunnelLinks() {
    const int n1 = RandomNumber(100) + 1;
    const int n2 = RandomNumber(100) + 1;
    deriveFunnelLinks(n1, n2);
}

const FunnelField* findFunnelField(const QString& key) {
    for (const FunnelField& f : funnelFields()) {
        if (key == QLatin1String(f.key))
            return &f;
    }
    return nullptr;
}

void copyFieldsSetElsewhere(const FunnelSettings& from, FunnelSettings& to) {
    for (const FunnelField& f : funnelFields()) {
        if (f.setBy == SetBy::Elsewhere)
            std::visit([&](auto get) { get(to) = get(const_cast<FunnelSettings&>(from)); }, f.ref);
    }
    if (to.thankYouPageNumber > 0 && to.downloadPageNumber > 0)
        to.deriveFunnelLinks(to.thankYouPageNumber, to.downloadPageNumber);
}

QString firstDifferentField(const FunnelSettings& a, const FunnelSettings& b) {
    for (const FunnelField& f : funnelFields()) {
        const bool same = std::visit(
            [&](auto get) {
                return get(const_cast<FunnelSettings&>(a)) == get(const_cast<FunnelSettings&>(b));
            },
            f.ref);
        if (!same)
            return QLatin1String(f.key);
    }
    return {};
}

QString pageBodyTag(const FunnelSettings& settings) {
    if (settings.optBackground == 0)
        return QStringLiteral("<body style=\"background-color:rgb(%1);\">")
            .arg(settings.lblColorPicker[BackgroundColor]);
    return QStringLiteral("<body style=\"background-image:url('%1')\">")
        .arg(settings.lblSelectedFile[BackgroundImage].tag);
}

} // namespace tandrel
