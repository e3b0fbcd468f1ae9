#include "pagewords.h"

namespace tandrel {

namespace {

// clang-format off
const PageWords kLanguages[] = {
    {"en", "English", false,
     "Cover of the free guide", "Cover of your free guide",
     "Your free guide", "Thank you!", "Your download",
     "Almost there!", "50% complete",
     "Your download page will open automatically in a few seconds.", "Take me to my download",
     "Opening your download page in {n} second\u2026", "Opening your download page in {n} seconds\u2026",
     "Opening your download page in {n} seconds\u2026",
     "You will be taken there automatically in a few seconds.", "Yes, take me there now",
     "Taking you there in {n} second\u2026", "Taking you there in {n} seconds\u2026", "Taking you there in {n} seconds\u2026",
     "Stay on this page", "Automatic redirect stopped. Continue whenever you are ready.",
     "Welcome video", "Play the video"},
    {"de", "Deutsch", false,
     "Titelbild des kostenlosen Ratgebers", "Titelbild Ihres kostenlosen Ratgebers",
     "Ihr kostenloser Ratgeber", "Vielen Dank!", "Ihr Download",
     "Fast geschafft!", "50 % erledigt",
     "Ihre Download-Seite \u00f6ffnet sich in wenigen Sekunden von selbst.", "Zu meinem Download",
     "Ihre Download-Seite \u00f6ffnet sich in {n} Sekunde\u2026", "Ihre Download-Seite \u00f6ffnet sich in {n} Sekunden\u2026",
     "Ihre Download-Seite \u00f6ffnet sich in {n} Sekunden\u2026",
     "Sie werden in wenigen Sekunden automatisch weitergeleitet.", "Ja, jetzt weiter",
     "Weiterleitung in {n} Sekunde\u2026", "Weiterleitung in {n} Sekunden\u2026", "Weiterleitung in {n} Sekunden\u2026",
     "Auf dieser Seite bleiben", "Automatische Weiterleitung gestoppt. Machen Sie weiter, wann Sie m\u00f6chten.",
     "Begr\u00fc\u00dfungsvideo", "Video abspielen"},
    {"es", "Espa\u00f1ol", false,
     "Portada de la gu\u00eda gratuita", "Portada de tu gu\u00eda gratuita",
     "Tu gu\u00eda gratuita", "\u00a1Gracias!", "Tu descarga",
     "\u00a1Ya casi est\u00e1!", "50 % completado",
     "Tu p\u00e1gina de descarga se abrir\u00e1 sola en unos segundos.", "Ir a mi descarga",
     "Abriendo tu p\u00e1gina de descarga en {n} segundo\u2026", "Abriendo tu p\u00e1gina de descarga en {n} segundos\u2026",
     "Abriendo tu p\u00e1gina de descarga en {n} segundos\u2026",
     "Te llevaremos all\u00ed autom\u00e1ticamente en unos segundos.", "S\u00ed, llevadme ahora",
     "Te llevamos en {n} segundo\u2026", "Te llevamos en {n} segundos\u2026", "Te llevamos en {n} segundos\u2026",
     "Quedarme en esta p\u00e1gina", "Redirecci\u00f3n autom\u00e1tica detenida. Contin\u00faa cuando quieras.",
     "V\u00eddeo de bienvenida", "Reproducir el v\u00eddeo"},
    {"fr", "Fran\u00e7ais", false,
     "Couverture du guide gratuit", "Couverture de votre guide gratuit",
     "Votre guide gratuit", "Merci\u00a0!", "Votre t\u00e9l\u00e9chargement",
     "Vous y \u00eates presque\u00a0!", "50\u00a0% termin\u00e9",
     "Votre page de t\u00e9l\u00e9chargement s\u2019ouvrira d\u2019elle-m\u00eame dans quelques secondes.",
     "Aller \u00e0 mon t\u00e9l\u00e9chargement",
     "Ouverture de votre page de t\u00e9l\u00e9chargement dans {n}\u00a0seconde\u2026",
     "Ouverture de votre page de t\u00e9l\u00e9chargement dans {n}\u00a0secondes\u2026",
     "Ouverture de votre page de t\u00e9l\u00e9chargement dans {n}\u00a0secondes\u2026",
     "Vous y serez conduit automatiquement dans quelques secondes.", "Oui, j\u2019y vais maintenant",
     "Redirection dans {n}\u00a0seconde\u2026", "Redirection dans {n}\u00a0secondes\u2026", "Redirection dans {n}\u00a0secondes\u2026",
     "Rester sur cette page", "Redirection automatique arr\u00eat\u00e9e. Continuez quand vous le souhaitez.",
     "Vid\u00e9o de bienvenue", "Lire la vid\u00e9o"},
    {"pt", "Portugu\u00eas", false,
     "Capa do guia gratuito", "Capa do seu guia gratuito",
     "O seu guia gratuito", "Obrigado!", "O seu download",
     "Quase l\u00e1!", "50% conclu\u00eddo",
     "A sua p\u00e1gina de download abre sozinha dentro de alguns segundos.", "Ir para o meu download",
     "A abrir a sua p\u00e1gina de download em {n} segundo\u2026", "A abrir a sua p\u00e1gina de download em {n} segundos\u2026",
     "A abrir a sua p\u00e1gina de download em {n} segundos\u2026",
     "Vai ser levado at\u00e9 l\u00e1 automaticamente dentro de alguns segundos.", "Sim, levem-me agora",
     "A lev\u00e1-lo em {n} segundo\u2026", "A lev\u00e1-lo em {n} segundos\u2026", "A lev\u00e1-lo em {n} segundos\u2026",
     "Ficar nesta p\u00e1gina", "Redirecionamento autom\u00e1tico parado. Continue quando quiser.",
     "V\u00eddeo de boas-vindas", "Reproduzir o v\u00eddeo"},
    {"nl", "Nederlands", false,
     "Omslag van de gratis gids", "Omslag van je gratis gids",
     "Je gratis gids", "Bedankt!", "Je download",
     "Bijna klaar!", "50% voltooid",
     "Je downloadpagina opent over een paar seconden vanzelf.", "Naar mijn download",
     "Je downloadpagina opent over {n} seconde\u2026", "Je downloadpagina opent over {n} seconden\u2026",
     "Je downloadpagina opent over {n} seconden\u2026",
     "Je wordt over een paar seconden automatisch doorgestuurd.", "Ja, breng me er nu heen",
     "Doorsturen over {n} seconde\u2026", "Doorsturen over {n} seconden\u2026", "Doorsturen over {n} seconden\u2026",
     "Op deze pagina blijven", "Automatisch doorsturen gestopt. Ga verder wanneer je wilt.",
     "Welkomstvideo", "Video afspelen"},
    {"ar", "\u0627\u0644\u0639\u0631\u0628\u064a\u0629", true,
     "\u063a\u0644\u0627\u0641 \u0627\u0644\u062f\u0644\u064a\u0644 \u0627\u0644\u0645\u062c\u0627\u0646\u064a",
     "\u063a\u0644\u0627\u0641 \u062f\u0644\u064a\u0644\u0643 \u0627\u0644\u0645\u062c\u0627\u0646\u064a",
     "\u062f\u0644\u064a\u0644\u0643 \u0627\u0644\u0645\u062c\u0627\u0646\u064a", "\u0634\u0643\u0631\u064b\u0627 \u0644\u0643!",
     "\u062a\u0646\u0632\u064a\u0644\u0643",
     "\u0623\u0648\u0634\u0643\u062a \u0639\u0644\u0649 \u0627\u0644\u0627\u0646\u062a\u0647\u0627\u0621!", "\u0627\u0643\u062a\u0645\u0644 50\u066a",
     "\u0633\u062a\u064f\u0641\u062a\u062d \u0635\u0641\u062d\u0629 \u0627\u0644\u062a\u0646\u0632\u064a\u0644 \u062a\u0644\u0642\u0627\u0626\u064a\u064b\u0627 \u062e\u0644\u0627\u0644 \u062b\u0648\u0627\u0646\u064d.",
     "\u062e\u0630\u0646\u064a \u0625\u0644\u0649 \u0627\u0644\u062a\u0646\u0632\u064a\u0644",
     "\u0641\u062a\u062d \u0635\u0641\u062d\u0629 \u0627\u0644\u062a\u0646\u0632\u064a\u0644 \u062e\u0644\u0627\u0644 \u062b\u0627\u0646\u064a\u0629 \u0648\u0627\u062d\u062f\u0629\u2026",
     "\u0641\u062a\u062d \u0635\u0641\u062d\u0629 \u0627\u0644\u062a\u0646\u0632\u064a\u0644 \u062e\u0644\u0627\u0644 \u062b\u0627\u0646\u064a\u062a\u064a\u0646\u2026",
     "\u0641\u062a\u062d \u0635\u0641\u062d\u0629 \u0627\u0644\u062a\u0646\u0632\u064a\u0644 \u062e\u0644\u0627\u0644 {n} \u062b\u0648\u0627\u0646\u064d\u2026",
     "\u0633\u062a\u0646\u062a\u0642\u0644 \u0625\u0644\u064a\u0647\u0627 \u062a\u0644\u0642\u0627\u0626\u064a\u064b\u0627 \u062e\u0644\u0627\u0644 \u062b\u0648\u0627\u0646\u064d.",
     "\u0646\u0639\u0645\u060c \u062e\u0630\u0646\u064a \u0627\u0644\u0622\u0646",
     "\u0627\u0644\u0627\u0646\u062a\u0642\u0627\u0644 \u062e\u0644\u0627\u0644 \u062b\u0627\u0646\u064a\u0629 \u0648\u0627\u062d\u062f\u0629\u2026",
     "\u0627\u0644\u0627\u0646\u062a\u0642\u0627\u0644 \u062e\u0644\u0627\u0644 \u062b\u0627\u0646\u064a\u062a\u064a\u0646\u2026",
     "\u0627\u0644\u0627\u0646\u062a\u0642\u0627\u0644 \u062e\u0644\u0627\u0644 {n} \u062b\u0648\u0627\u0646\u064d\u2026",
     "\u0627\u0644\u0628\u0642\u0627\u0621 \u0641\u064a \u0647\u0630\u0647 \u0627\u0644\u0635\u0641\u062d\u0629",
     "\u062a\u0648\u0642\u0641 \u0627\u0644\u0627\u0646\u062a\u0642\u0627\u0644 \u0627\u0644\u062a\u0644\u0642\u0627\u0626\u064a. \u062a\u0627\u0628\u0639 \u0645\u062a\u0649 \u0634\u0626\u062a.",
     "\u0641\u064a\u062f\u064a\u0648 \u0627\u0644\u062a\u0631\u062d\u064a\u0628", "\u062a\u0634\u063a\u064a\u0644 \u0627\u0644\u0641\u064a\u062f\u064a\u0648"},
    {"he", "\u05e2\u05d1\u05e8\u05d9\u05ea", true,
     "\u05db\u05e8\u05d9\u05db\u05ea \u05d4\u05de\u05d3\u05e8\u05d9\u05da \u05d4\u05d7\u05d9\u05e0\u05de\u05d9",
     "\u05db\u05e8\u05d9\u05db\u05ea \u05d4\u05de\u05d3\u05e8\u05d9\u05da \u05d4\u05d7\u05d9\u05e0\u05de\u05d9 \u05e9\u05dc\u05da",
     "\u05d4\u05de\u05d3\u05e8\u05d9\u05da \u05d4\u05d7\u05d9\u05e0\u05de\u05d9 \u05e9\u05dc\u05da", "\u05ea\u05d5\u05d3\u05d4!",
     "\u05d4\u05d4\u05d5\u05e8\u05d3\u05d4 \u05e9\u05dc\u05da",
     "\u05db\u05de\u05e2\u05d8 \u05e1\u05d9\u05d9\u05de\u05ea!", "50% \u05d4\u05d5\u05e9\u05dc\u05de\u05d5",
     "\u05d3\u05e3 \u05d4\u05d4\u05d5\u05e8\u05d3\u05d4 \u05d9\u05d9\u05e4\u05ea\u05d7 \u05de\u05e2\u05e6\u05de\u05d5 \u05d1\u05e2\u05d5\u05d3 \u05db\u05de\u05d4 \u05e9\u05e0\u05d9\u05d5\u05ea.",
     "\u05e7\u05d7\u05d5 \u05d0\u05d5\u05ea\u05d9 \u05dc\u05d4\u05d5\u05e8\u05d3\u05d4",
     "\u05d3\u05e3 \u05d4\u05d4\u05d5\u05e8\u05d3\u05d4 \u05d9\u05d9\u05e4\u05ea\u05d7 \u05d1\u05e2\u05d5\u05d3 \u05e9\u05e0\u05d9\u05d9\u05d4\u2026",
     "\u05d3\u05e3 \u05d4\u05d4\u05d5\u05e8\u05d3\u05d4 \u05d9\u05d9\u05e4\u05ea\u05d7 \u05d1\u05e2\u05d5\u05d3 {n} \u05e9\u05e0\u05d9\u05d5\u05ea\u2026",
     "\u05d3\u05e3 \u05d4\u05d4\u05d5\u05e8\u05d3\u05d4 \u05d9\u05d9\u05e4\u05ea\u05d7 \u05d1\u05e2\u05d5\u05d3 {n} \u05e9\u05e0\u05d9\u05d5\u05ea\u2026",
     "\u05ea\u05d5\u05e2\u05d1\u05e8\u05d5 \u05dc\u05e9\u05dd \u05d0\u05d5\u05d8\u05d5\u05de\u05d8\u05d9\u05ea \u05d1\u05e2\u05d5\u05d3 \u05db\u05de\u05d4 \u05e9\u05e0\u05d9\u05d5\u05ea.",
     "\u05db\u05df, \u05e7\u05d7\u05d5 \u05d0\u05d5\u05ea\u05d9 \u05e2\u05db\u05e9\u05d9\u05d5",
     "\u05de\u05e2\u05d1\u05e8 \u05d1\u05e2\u05d5\u05d3 \u05e9\u05e0\u05d9\u05d9\u05d4\u2026",
     "\u05de\u05e2\u05d1\u05e8 \u05d1\u05e2\u05d5\u05d3 {n} \u05e9\u05e0\u05d9\u05d5\u05ea\u2026",
     "\u05de\u05e2\u05d1\u05e8 \u05d1\u05e2\u05d5\u05d3 {n} \u05e9\u05e0\u05d9\u05d5\u05ea\u2026",
     "\u05dc\u05d4\u05d9\u05e9\u05d0\u05e8 \u05d1\u05d3\u05e3 \u05d4\u05d6\u05d4",
     "\u05d4\u05de\u05e2\u05d1\u05e8 \u05d4\u05d0\u05d5\u05d8\u05d5\u05de\u05d8\u05d9 \u05e0\u05e2\u05e6\u05e8. \u05d4\u05de\u05e9\u05d9\u05db\u05d5 \u05de\u05ea\u05d9 \u05e9\u05ea\u05e8\u05e6\u05d5.",
     "\u05e1\u05e8\u05d8\u05d5\u05df \u05e4\u05ea\u05d9\u05d7\u05d4", "\u05e0\u05d2\u05df \u05d0\u05ea \u05d4\u05e1\u05e8\u05d8\u05d5\u05df"},
};
// clang-format on

} // namespace

const PageWords* findPageWords(const QString& code) {
    for (const PageWords& words : kLanguages) {
        if (code == QLatin1String(words.code))
            return &words;
    }
    return nullptr;
}

const PageWords& pageWords(const QString& code) {
    const PageWords* words = findPageWords(code);
    return words ? *words : kLanguages[0];
}

QStringList pageLanguageCodes() {
    QStringList codes;
    for (const PageWords& words : kLanguages)
        codes.append(QLatin1String(words.code));
    return codes;
}

} // namespace tandrel
