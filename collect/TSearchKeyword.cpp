#include "collect/TSearchKeyword.h"

#include "net/PageText.h"

namespace {
// All of these are ASCII, so they are single bytes in code page 936, and none of them can be the second byte
// of a two-byte character there: escaping them per character never splits a character.
bool NeedsEscape(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x21 || u == 0x7F || QStringView(u"\"#%&+<>").contains(c);
}
} // namespace

QString TSearchKeyword::Escape(const QString& keyword)
{
    QString escaped;
    escaped.reserve(keyword.size());
    for (const QChar c : keyword) {
        if (NeedsEscape(c)) {
            escaped
                += QLatin1Char('%') + QString::number(c.unicode(), 16).rightJustified(2, QLatin1Char('0')).toUpper();
        } else {
            escaped += c;
        }
    }
    return escaped;
}

QString TSearchKeyword::MissingCharacter(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            return text.mid(i, 2);
        }
        if (text[i].isSurrogate() || !PageText::InCodePage(text[i].unicode())) {
            return QString(text[i]);
        }
    }
    return {};
}
