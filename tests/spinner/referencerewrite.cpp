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

// The group for one replaced occurrence: its capitals carried over, and with
// keepOriginal the occurrence itself offered first.
QString caseKept(const QString& rule, const QString& occurrence, bool keepOriginal) {
    const QList<uint> points = occurrence.toUcs4();
    int letters = 0;
    int upper = 0;
    for (const uint c : points) {
        letters += QChar::isLetter(c) ? 1 : 0;
        upper += QChar::isLetter(c) && QChar::isUpper(c) ? 1 : 0;
    }
    QString group = rule;
    if (letters >= 2 && upper == letters) {
        group = rule.toUpper();
    } else if (!points.isEmpty() && QChar::isUpper(points.first())) {
        QList<uint> out = rule.toUcs4();
        const bool braced = rule.startsWith(u'{') && rule.endsWith(u'}');
        for (qsizetype i = out.size() - 1; i >= 0; --i) {
            if (braced ? i > 0 && (out[i - 1] == '{' || out[i - 1] == '|') : i == 0)
                out[i] = QChar::toUpper(out[i]);
        }
        group = QString::fromUcs4(reinterpret_cast<const char32_t*>(out.constData()), out.size());
    }
    if (!keepOriginal)
        return group;
    if (!(group.startsWith(u'{') && group.endsWith(u'}')))
        return QStringLiteral("{") + occurrence + QStringLiteral("|") + group + QStringLiteral("}");
    const QString inner = group.mid(1, group.size() - 2);
    if (inner.compare(occurrence, Qt::CaseInsensitive) == 0)
        return QStringLiteral("{") + occurrence + QStringLiteral("}");
    return QStringLiteral("{") + occurrence + QStringLiteral("|") + inner + QStringLiteral("}");
}

// With share, the space and end character stay in the text, where the search
// for the next occurrence starts.
QString ReplaceText(Controls& c, QString text, const QString& find, const QString& end,
                    bool keepOriginal, bool share) {
    QString result;
    QString rest = text;
    const qsizetype l = find.size();
    for (;;) {
        const qsizetype p = rest.indexOf(find, 0, Qt::CaseInsensitive) + 1;
        if (p == 0)
            return result + rest;
        const QString occurrence = rest.mid(p, l - 2);
        const QString group = caseKept(c.lblReglaSinTerminoOriginal, occurrence, keepOriginal);
        if (share) {
            result = result + rest.left(p) +
                     StrReplace(group, QStringLiteral(" "), QStringLiteral("%%"), 1);
            rest = rest.mid(p + l - 2);
        } else {
            const QString replacement = StrReplace(QStringLiteral(" ") + group + end,
                                                   QStringLiteral(" "), QStringLiteral("%%"), 1);
            result = result + rest.left(p - 1) + replacement;
            rest = rest.mid(p + l - 1);
        }
        c.replacementCount = c.replacementCount + 1;
    }
}

} // namespace

ReferenceResult referenceReescribir(const QString& article, const QStringList& ruleLines,
                                    bool keepOriginal, bool shareNeighbours) {
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
                        ReplaceText(c, c.spinnerText, search, end, keepOriginal, shareNeighbours);
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
