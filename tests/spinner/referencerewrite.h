#pragma once

#include <QString>
#include <QStringList>

// The rewrite walked the slow, literal way: for every rule line, every term
// and every end character the whole working text is lower-cased and searched.
// Each replaced occurrence passes on its capitals to the group put in its
// place. The engine must give the same text and count on every input.
namespace tandrel::test {

struct ReferenceResult {
    QString spinText;
    qint64 replacementCount = 0;
    qint64 wordCount = 0;
    QString report;
};

ReferenceResult referenceReescribir(const QString& article, const QStringList& ruleLines,
                                    bool keepOriginal = false, bool shareNeighbours = false);

} // namespace tandrel::test
