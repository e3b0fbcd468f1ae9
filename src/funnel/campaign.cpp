#include "campaign.h"

#include "htmltext.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tandrel {

namespace {

constexpr qsizetype kLongestFieldName = 100;

// Reads the address (or, without a campaign there, what this visit stored), then fills
// every hidden field named like a parameter or as the user mapped it. Values are set as
// properties only; the fields added for a mapping are switched on once they have a value.
// The forms are filled now and again when sent, for forms a service's script redraws.
const char* const kScript = R"(<script data-tf-names="%2" data-tf-map="%3">
(function () {
  var me = document.currentScript;
  var names = JSON.parse(me.dataset.tfNames), map = JSON.parse(me.dataset.tfMap);
  var got = {}, found = false, query = new URLSearchParams(location.search);
  names.forEach(function (n) {
    var v = query.get(n);
    if (v) { got[n] = v.slice(0, %4); found = true; }
  });
  try {
    if (found) sessionStorage.setItem("%1", JSON.stringify(got));
    else got = JSON.parse(sessionStorage.getItem("%1")) || {};
  } catch (e) {}
  function fill(form) {
    if (!form || !form.elements) return;
    Array.prototype.forEach.call(form.elements, function (field) {
      if (field.type !== "hidden") return;
      var ours = field.getAttribute("data-tf-campaign");
      names.forEach(function (n) {
        var v = got[n];
        if (typeof v !== "string" || !(ours === n || (!ours && (field.name === n || field.name === map[n])))) return;
        field.value = v.slice(0, %4);
        if (ours) field.disabled = false;
      });
    });
  }
  Array.prototype.forEach.call(document.forms, fill);
  document.addEventListener("submit", function (e) { fill(e.target); }, true);
})();
</script>)";

QString compactJson(const QJsonDocument& document) {
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
}

} // namespace

const QStringList& campaignParameters() {
    static const QStringList names = {QStringLiteral("utm_source"),   QStringLiteral("utm_medium"),
                                      QStringLiteral("utm_campaign"), QStringLiteral("utm_term"),
                                      QStringLiteral("utm_content"),  QStringLiteral("gclid"),
                                      QStringLiteral("fbclid"),       QStringLiteral("ref")};
    return names;
}

QString campaignFieldNameProblem(const QString& name) {
    if (name.size() > kLongestFieldName)
        return QStringLiteral("it is longer than %1 characters").arg(kLongestFieldName);
    for (const QChar c : name) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return QStringLiteral("it holds a space or a control character");
        if (QStringView(u"\"'<>&").contains(c))
            return QStringLiteral("it holds %1, which no form field name needs").arg(c);
    }
    return QString();
}

bool isCampaignMapping(const QJsonObject& mapping) {
    for (auto it = mapping.begin(); it != mapping.end(); ++it) {
        if (!campaignParameters().contains(it.key()) || !it.value().isString())
            return false;
    }
    return true;
}

Result<CampaignMarkup> campaignMarkup(const QJsonObject& mapping, const QStringList& declared,
                                      bool hasForm) {
    CampaignMarkup markup;
    QJsonObject used;
    bool fills = false;
    for (const QString& parameter : campaignParameters()) {
        fills = fills || declared.contains(parameter);
        const QString name = mapping.value(parameter).toString();
        if (name.isEmpty())
            continue;
        if (const QString problem = campaignFieldNameProblem(name); !problem.isEmpty())
            return Result<CampaignMarkup>::failure(
                QStringLiteral("The field name \"%1\" given to send %2 cannot be used: %3.")
                    .arg(name, parameter, problem));
        used.insert(parameter, name);
        fills = fills || declared.contains(name) || hasForm;
        if (hasForm && !declared.contains(name))
            markup.fields += QStringLiteral("<input type=\"hidden\" name=\"%1\" "
                                            "data-tf-campaign=\"%2\" disabled>\n")
                                 .arg(escapeHtml(name), parameter);
    }
    if (!fills)
        return markup;
    markup.script = QString::fromLatin1(kScript).arg(
        QLatin1String(kCampaignStorageKey),
        escapeHtml(compactJson(QJsonDocument(QJsonArray::fromStringList(campaignParameters())))),
        escapeHtml(compactJson(QJsonDocument(used))), QString::number(kCampaignValueLimit));
    return markup;
}

} // namespace tandrel
