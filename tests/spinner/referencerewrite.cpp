#include "referencerewrite.h"

#include "spin.h"
#include "tools.h"
#include "wordcount.h"

namespace tandrel::test {

namespace {

// The window's working controls, as the rewrite drives them.
struct Controls {
    QStringList lstReglas;
    int selectedRule = -1;
    QStringList lstItems;
    QString lblReglaSinTerminoOriginal;
    QString spinnerText;
    qint64 replacementCount = 0;
};

void LoadRule(Controls& c, const QString& line) {
    if (line.isEmpty() || line.at(0) != u'{' || line.at(line.size() - 1) != u'}')
        return;
    QString bare = StrReplace(line, QStringLiteral("{"), QString(), 1);
    bare = StrReplace(bare, QStringLiteral("}"), QString(), 1);
    c.lstItems = SplitToList(bare, QStringLiteral("|"));
}

void RuleWithoutTerm(Controls& c, const QString& term) {
    const QString t = term.toLower();
    QString l = c.lstReglas.at(c.selectedRule);
    l = StrReplace(l, QStringLiteral("{") + t + QStringLiteral("|"), QStringLiteral("{"), 1);
    l = StrReplace(l, QStringLiteral("|") + t + QStringLiteral("|"), QStringLiteral("|"), 1);
    l = StrReplace(l, QStringLiteral("|") + t + QStringLiteral("}"), QStringLiteral("}"), 1);
    c.lblReglaSinTerminoOriginal = l;
}

QString ReplaceText(Controls& c, QString text, const QString& find, QString replacement) {
    QString result;
    QString rest = text;
    const qsizetype l = find.size();
    for (;;) {
        const qsizetype p = rest.indexOf(find, 0, Qt::CaseInsensitive) + 1;
        if (p == 0)
            return result + rest;
        replacement = StrReplace(replacement, QStringLiteral(" "), QStringLiteral("%%"), 1);
        result = result + rest.left(p - 1) + replacement;
        rest = rest.mid(p + l - 1);
        c.replacementCount = c.replacementCount + 1;
    }
}

} // namespace

ReferenceResult referenceReescribir(const QString& article, const QStringList& ruleLines) {
    Controls c;
    c.lstReglas = ruleLines;
    c.spinnerText = Spin(article);
    const qint64 words = count_words(c.spinnerText);
    const QString ends[4] = {QStringLiteral(" "), QStringLiteral(","), QStringLiteral("."),
                             QStringLiteral(":")};
    const qsizetype rules = c.lstReglas.size();
    for (qsizetype i = 0; i < rules; ++i) {
        c.selectedRule = int(i);
        LoadRule(c, c.lstReglas.at(i));
        const qsizetype items = c.lstItems.size();
        for (qsizetype j = 0; j < items; ++j) {
            const QString term = c.lstItems.at(j);
            for (const QString& end : ends) {
                const QString search = QStringLiteral(" ") + term + end;
                if (c.spinnerText.toLower().contains(search, Qt::CaseSensitive)) {
                    RuleWithoutTerm(c, term);
                    c.spinnerText =
                        ReplaceText(c, c.spinnerText, search,
                                    QStringLiteral(" ") + c.lblReglaSinTerminoOriginal + end);
                }
            }
        }
    }
    c.spinnerText = StrReplace(c.spinnerText, QStringLiteral("%%"), QStringLiteral(" "), 1);

    ReferenceResult result;
    result.spinText = c.spinnerText;
    result.replacementCount = c.replacementCount;
    result.wordCount = words;
    result.report = QString::number(c.replacementCount) + QStringLiteral(" Replacements on ") +
                    QString::number(words) + QStringLiteral(" words.");
    return result;
}

} // namespace tandrel::test
