#pragma once

#include "result.h"
#include "textfiles.h"
#include "tools.h"

#include <QLocale>
#include <QString>

namespace tandrel {

// A page larger than this is a mistake, never a funnel: placeholders typed
// into fields that later steps fill can multiply a page to gigabytes.
inline constexpr qint64 kPageLimit = 20LL * 1024 * 1024;

// The working text of one page; every step sees what the earlier ones inserted.
// Each step's size is worked out before it is done, so the first step that
// would pass the limit stops the page with its error.
class PageText {
public:
    PageText(const char* name, QString text)
        : m_name(name), m_text(std::move(text)), m_bytes(utf8Size(m_text)) {}
    // field names the value for the user.
    void replace(const QString& placeholder, const QString& value, const char* field) {
        if (!m_error.isEmpty())
            return;
        const qsizetype count = m_text.count(placeholder);
        if (count == 0)
            return;
        const qint64 grown = m_bytes + count * (utf8Size(value) - utf8Size(placeholder));
        if (grown > kPageLimit) {
            m_error =
                QStringLiteral("The %1 would grow to %2, more than the %3 a page may have: "
                               "the text of %4 is put in %5 times, once for each \"%6\" "
                               "on the page, most of them typed into other fields. Remove "
                               "the placeholders in brackets from your texts.")
                    .arg(QLatin1String(m_name), describeSize(grown), describeSize(kPageLimit),
                         QLatin1String(field), QLocale::system().toString(count), placeholder);
            return;
        }
        m_text = StrReplace(m_text, placeholder, value, 0);
        m_bytes = grown;
    }
    Result<QString> text() const {
        if (!m_error.isEmpty())
            return Result<QString>::failure(m_error);
        return m_text;
    }

private:
    static qint64 utf8Size(QStringView text) {
        qint64 bytes = 0;
        for (const QChar c : text)
            bytes += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 || c.isSurrogate() ? 2 : 3;
        return bytes;
    }
    const char* m_name;
    QString m_text;
    qint64 m_bytes;
    QString m_error;
};

} // namespace tandrel
