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
    {"ja", "\u65e5\u672c\u8a9e", false,
     "\u7121\u6599\u30ac\u30a4\u30c9\u306e\u8868\u7d19", "\u3042\u306a\u305f\u306e\u7121\u6599\u30ac\u30a4\u30c9\u306e\u8868\u7d19",
     "\u7121\u6599\u30ac\u30a4\u30c9", "\u3042\u308a\u304c\u3068\u3046\u3054\u3056\u3044\u307e\u3059\uff01", "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9",
     "\u3042\u3068\u5c11\u3057\u3067\u3059\uff01", "50% \u5b8c\u4e86",
     "\u6570\u79d2\u5f8c\u306b\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u30da\u30fc\u30b8\u304c\u81ea\u52d5\u7684\u306b\u958b\u304d\u307e\u3059\u3002", "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u30da\u30fc\u30b8\u3078\u9032\u3080",
     "\u3042\u3068 {n} \u79d2\u3067\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u30da\u30fc\u30b8\u3092\u958b\u304d\u307e\u3059\u2026", "\u3042\u3068 {n} \u79d2\u3067\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u30da\u30fc\u30b8\u3092\u958b\u304d\u307e\u3059\u2026",
     "\u3042\u3068 {n} \u79d2\u3067\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u30da\u30fc\u30b8\u3092\u958b\u304d\u307e\u3059\u2026",
     "\u6570\u79d2\u5f8c\u306b\u81ea\u52d5\u7684\u306b\u79fb\u52d5\u3057\u307e\u3059\u3002", "\u4eca\u3059\u3050\u79fb\u52d5\u3059\u308b",
     "\u3042\u3068 {n} \u79d2\u3067\u79fb\u52d5\u3057\u307e\u3059\u2026", "\u3042\u3068 {n} \u79d2\u3067\u79fb\u52d5\u3057\u307e\u3059\u2026", "\u3042\u3068 {n} \u79d2\u3067\u79fb\u52d5\u3057\u307e\u3059\u2026",
     "\u3053\u306e\u30da\u30fc\u30b8\u306b\u3068\u3069\u307e\u308b", "\u81ea\u52d5\u79fb\u52d5\u3092\u505c\u6b62\u3057\u307e\u3057\u305f\u3002\u6e96\u5099\u304c\u3067\u304d\u305f\u3089\u5148\u3078\u304a\u9032\u307f\u304f\u3060\u3055\u3044\u3002",
     "\u30a6\u30a7\u30eb\u30ab\u30e0\u52d5\u753b", "\u52d5\u753b\u3092\u518d\u751f"},
    {"zh-Hans", "\u7b80\u4f53\u4e2d\u6587", false,
     "\u514d\u8d39\u6307\u5357\u5c01\u9762", "\u4f60\u7684\u514d\u8d39\u6307\u5357\u5c01\u9762",
     "\u4f60\u7684\u514d\u8d39\u6307\u5357", "\u8c22\u8c22\uff01", "\u4f60\u7684\u4e0b\u8f7d",
     "\u5c31\u5feb\u5b8c\u6210\u4e86\uff01", "\u5df2\u5b8c\u6210 50%",
     "\u4e0b\u8f7d\u9875\u9762\u5c06\u5728\u51e0\u79d2\u949f\u540e\u81ea\u52a8\u6253\u5f00\u3002", "\u524d\u5f80\u4e0b\u8f7d\u9875\u9762",
     "{n} \u79d2\u540e\u6253\u5f00\u4e0b\u8f7d\u9875\u9762\u2026", "{n} \u79d2\u540e\u6253\u5f00\u4e0b\u8f7d\u9875\u9762\u2026",
     "{n} \u79d2\u540e\u6253\u5f00\u4e0b\u8f7d\u9875\u9762\u2026",
     "\u51e0\u79d2\u949f\u540e\u5c06\u81ea\u52a8\u8df3\u8f6c\u3002", "\u662f\u7684\uff0c\u73b0\u5728\u5c31\u53bb",
     "{n} \u79d2\u540e\u8df3\u8f6c\u2026", "{n} \u79d2\u540e\u8df3\u8f6c\u2026", "{n} \u79d2\u540e\u8df3\u8f6c\u2026",
     "\u7559\u5728\u6b64\u9875\u9762", "\u5df2\u505c\u6b62\u81ea\u52a8\u8df3\u8f6c\u3002\u51c6\u5907\u597d\u540e\u518d\u7ee7\u7eed\u3002",
     "\u6b22\u8fce\u89c6\u9891", "\u64ad\u653e\u89c6\u9891"},
    {"ko", "\ud55c\uad6d\uc5b4", false,
     "\ubb34\ub8cc \uac00\uc774\ub4dc \ud45c\uc9c0", "\ubb34\ub8cc \uac00\uc774\ub4dc \ud45c\uc9c0",
     "\ubb34\ub8cc \uac00\uc774\ub4dc", "\uac10\uc0ac\ud569\ub2c8\ub2e4!", "\ub2e4\uc6b4\ub85c\ub4dc",
     "\uac70\uc758 \ub2e4 \ub410\uc2b5\ub2c8\ub2e4!", "50% \uc644\ub8cc",
     "\uc7a0\uc2dc \ud6c4 \ub2e4\uc6b4\ub85c\ub4dc \ud398\uc774\uc9c0\uac00 \uc790\ub3d9\uc73c\ub85c \uc5f4\ub9bd\ub2c8\ub2e4.", "\ub2e4\uc6b4\ub85c\ub4dc \ud398\uc774\uc9c0\ub85c \uc774\ub3d9",
     "{n}\ucd08 \ud6c4 \ub2e4\uc6b4\ub85c\ub4dc \ud398\uc774\uc9c0\uac00 \uc5f4\ub9bd\ub2c8\ub2e4\u2026", "{n}\ucd08 \ud6c4 \ub2e4\uc6b4\ub85c\ub4dc \ud398\uc774\uc9c0\uac00 \uc5f4\ub9bd\ub2c8\ub2e4\u2026",
     "{n}\ucd08 \ud6c4 \ub2e4\uc6b4\ub85c\ub4dc \ud398\uc774\uc9c0\uac00 \uc5f4\ub9bd\ub2c8\ub2e4\u2026",
     "\uc7a0\uc2dc \ud6c4 \uc790\ub3d9\uc73c\ub85c \uc774\ub3d9\ud569\ub2c8\ub2e4.", "\ub124, \uc9c0\uae08 \uc774\ub3d9\ud560\uac8c\uc694",
     "{n}\ucd08 \ud6c4 \uc774\ub3d9\ud569\ub2c8\ub2e4\u2026", "{n}\ucd08 \ud6c4 \uc774\ub3d9\ud569\ub2c8\ub2e4\u2026", "{n}\ucd08 \ud6c4 \uc774\ub3d9\ud569\ub2c8\ub2e4\u2026",
     "\uc774 \ud398\uc774\uc9c0\uc5d0 \uba38\ubb34\ub974\uae30", "\uc790\ub3d9 \uc774\ub3d9\uc774 \uc911\uc9c0\ub418\uc5c8\uc2b5\ub2c8\ub2e4. \uc900\ube44\ub418\uba74 \uacc4\uc18d\ud558\uc138\uc694.",
     "\ud658\uc601 \uc601\uc0c1", "\uc601\uc0c1 \uc7ac\uc0dd"},
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
