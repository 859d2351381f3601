#include "library/TLibrarySql.h"

namespace {
void Add(TLibrarySql::TCondition* condition, const QString& part, const QVariantList& values)
{
    condition->Parts.append(part);
    condition->Values.append(values);
}

void AddSearch(TLibrarySql::TCondition* condition, const QString& search, const TLibrarySql::TSchema& schema)
{
    if (search.isEmpty()) {
        return;
    }
    if (schema.SearchIndex && TLibrarySql::CharacterCount(search) >= TLibrarySql::MinIndexedSearch) {
        Add(condition, QStringLiteral("id IN (SELECT rowid FROM goodslist_fts WHERE goodslist_fts MATCH ?)"),
            {TLibrarySql::SearchPhrase(search)});
        return;
    }
    const QString pattern = TLibrarySql::ContainsPattern(search);
    Add(condition,
        QStringLiteral("(title LIKE ? ESCAPE '\\' OR nick LIKE ? ESCAPE '\\' OR item_loc LIKE ? ESCAPE '\\')"),
        {pattern, pattern, pattern});
}

// Times are ISO 8601 texts of the local time they were stored at, so the texts of a range of days sort between
// its first day and the day after its last.
void AddDates(TLibrarySql::TCondition* condition, const QDate& from, const QDate& to,
              const TLibrarySql::TSchema& schema)
{
    if (!from.isValid() && !to.isValid()) {
        return;
    }
    if (!schema.CollectTime) {
        Add(condition, QStringLiteral("0"), {}); // no row of such a file has a collection time
        return;
    }
    if (from.isValid()) {
        Add(condition, QStringLiteral("collect_time >= ?"), {from.toString(Qt::ISODate)});
    }
    if (to.isValid()) {
        Add(condition, QStringLiteral("collect_time < ?"), {to.addDays(1).toString(Qt::ISODate)});
    }
}

void AddSeller(TLibrarySql::TCondition* condition, const TLibraryFilter& filter)
{
    if (!filter.BySeller) {
        return;
    }
    if (!filter.SellerId.isEmpty()) {
        Add(condition, QStringLiteral("user_id = ?"), {filter.SellerId});
        return;
    }
    Add(condition, QStringLiteral("coalesce(user_id, '') = '' AND coalesce(nick, '') = ?"), {filter.SellerNick});
}
} // namespace

QString TLibrarySql::TCondition::Sql(const char* lead) const
{
    return Parts.isEmpty() ? QString() : QLatin1String(lead) + Parts.join(QLatin1String(" AND "));
}

QString TLibrarySql::TCondition::Literal(const char* lead) const
{
    const QString sql = Sql(lead);
    QString written;
    qsizetype value = 0;
    for (const QChar c : sql) {
        // The parts are the program's own text: a "?" in them is always a placeholder.
        if (c == QLatin1Char('?') && value < Values.size()) {
            written += QuoteLiteral(Values.at(value++));
        } else {
            written += c;
        }
    }
    return written;
}

TLibrarySql::TCondition TLibrarySql::Where(const TLibraryFilter& filter, const TSchema& schema)
{
    TCondition condition;
    AddSearch(&condition, filter.Search.trimmed(), schema);
    if (filter.ByKeyword) {
        const TCondition keyword = OfKeyword(filter.Keyword);
        Add(&condition, keyword.Parts.join(QLatin1String(" AND ")), keyword.Values);
    }
    if (!filter.MinPrice.isNull()) {
        Add(&condition, QStringLiteral("view_price >= ?"), {filter.MinPrice.toDouble()});
    }
    if (!filter.MaxPrice.isNull()) {
        Add(&condition, QStringLiteral("view_price <= ?"), {filter.MaxPrice.toDouble()});
    }
    if (const QString location = filter.Location.trimmed(); !location.isEmpty()) {
        Add(&condition, QStringLiteral("item_loc LIKE ? ESCAPE '\\'"), {ContainsPattern(location)});
    }
    AddDates(&condition, filter.CollectFrom, filter.CollectTo, schema);
    AddSeller(&condition, filter);
    return condition;
}

QString TLibrarySql::ItemKey(const TSchema& schema, bool keysMissing)
{
    const QString computed = QStringLiteral("item_key(nid, detail_url, shopLink, id)");
    if (!schema.ItemKey) {
        return computed;
    }
    return keysMissing ? QStringLiteral("coalesce(item_key, %1)").arg(computed) : QStringLiteral("item_key");
}

QString TLibrarySql::SellerKey()
{
    return QStringLiteral(
        "CASE WHEN coalesce(user_id, '') <> '' THEN 'u' || user_id ELSE 'n' || coalesce(nick, '') END");
}

TLibrarySql::TCondition TLibrarySql::OfKeyword(const QString& keyword)
{
    TCondition condition;
    if (keyword.isEmpty()) {
        Add(&condition, QStringLiteral("(keyname = '' OR keyname IS NULL)"), {});
    } else {
        Add(&condition, QStringLiteral("keyname = ?"), {keyword});
    }
    return condition;
}

QString TLibrarySql::SearchPhrase(const QString& text)
{
    QString phrase = text;
    phrase.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + phrase + QLatin1Char('"');
}

QString TLibrarySql::ContainsPattern(const QString& text)
{
    QString pattern;
    pattern.reserve(text.size() + 2);
    pattern += QLatin1Char('%');
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\')) {
            pattern += QLatin1Char('\\');
        }
        pattern += c;
    }
    pattern += QLatin1Char('%');
    return pattern;
}

int TLibrarySql::CharacterCount(const QString& text)
{
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text.at(i).isLowSurrogate()) {
            ++count;
        }
    }
    return count;
}

QString TLibrarySql::QuoteLiteral(const QVariant& value)
{
    if (value.isNull()) {
        return QStringLiteral("NULL");
    }
    switch (value.metaType().id()) {
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 17);
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    default: {
        QString text = value.toString();
        text.replace(QLatin1Char('\''), QLatin1String("''"));
        return QLatin1Char('\'') + text + QLatin1Char('\'');
    }
    }
}
