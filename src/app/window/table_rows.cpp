#include "app/window/table_rows.h"

#include "app/widgets/colored_text.h"
#include "app/widgets/file_name.h"
#include "base/ascii.h"

#include <algorithm>

namespace vellinor {

namespace {

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

QVariant overviewValue(const OverviewValue& value)
{
    if (value.integer)
        return QVariant::fromValue(static_cast<qint64>(*value.integer));
    switch (value.color) {
        case OverviewValue::Color::green:
            return QVariant::fromValue(ColoredText{text(value.text), ColoredText::Tone::good});
        case OverviewValue::Color::red:
            return QVariant::fromValue(ColoredText{text(value.text), ColoredText::Tone::bad});
        case OverviewValue::Color::none:
            break;
    }
    return text(value.text);
}

}  // namespace

QVariantMap fileListEntry(const QUrl& url)
{
    return {{keys::fileName, fileNameOf(url)}, {keys::fileURL, url}};
}

QList<QVariantMap> fileListEntries(const QList<QUrl>& urls)
{
    QList<QVariantMap> entries;
    entries.reserve(urls.size());
    for (const QUrl& url : urls)
        entries.append(fileListEntry(url));
    return entries;
}

QList<QVariantMap> overviewContent(const std::vector<OverviewRow>& rows)
{
    QList<QVariantMap> content;
    for (const OverviewRow& row : rows) {
        content.append({{keys::fieldKey1, text(row.fieldKey1)},
                        {keys::fieldValue1, overviewValue(row.fieldValue1)},
                        {keys::fieldKey2, text(row.fieldKey2)},
                        {keys::fieldValue2, overviewValue(row.fieldValue2)}});
    }
    return content;
}

KeyValueRows detailsDisplayOrder(KeyValueRows rows)
{
    // ffprobe's upper-case tags ("ARTIST") sort among the lower-case keys, not above them all;
    // rows equal but for case keep their order.
    std::stable_sort(rows.begin(), rows.end(), [](const KeyValueRow& a, const KeyValueRow& b) {
        return asciiLowered(a.key) < asciiLowered(b.key);
    });
    return rows;
}

QList<QVariantMap> tracksContent(const std::vector<TrackTableRow>& rows)
{
    QList<QVariantMap> content;
    for (const TrackTableRow& row : rows) {
        // Chapter rows are in time order, and stay so.
        const KeyValueRows details =
            row.trackType == "Chapter" ? row.trackKeyValue : detailsDisplayOrder(row.trackKeyValue);
        content.append({{keys::trackNumber, text(row.trackNumber)},
                        {keys::trackType, text(row.trackType)},
                        {keys::trackCodec, text(row.trackCodec)},
                        {keys::trackLanguage, text(row.trackLanguage)},
                        {keys::trackDurationHuman, text(row.trackDurationHuman)},
                        {keys::trackExtraInfo, text(row.trackExtraInfo)},
                        {keys::trackKeyValue, QVariant::fromValue(keyValueContent(details))},
                        {keys::trackSummary, text(row.trackSummary)},
                        {keys::trackFacts, QVariant::fromValue(factsContent(row.trackFacts))}});
    }
    return content;
}

QList<QVariantMap> factsContent(const std::vector<Fact>& facts)
{
    QList<QVariantMap> content;
    content.reserve(static_cast<qsizetype>(facts.size()));
    for (const Fact& fact : facts)
        content.append({{keys::factGroup, text(std::string(factGroupName(fact.group)))},
                        {keys::factName, text(fact.name)},
                        {keys::factValue, text(fact.value)},
                        {keys::factSource, text(fact.source)},
                        {keys::factKey, text(fact.key)}});
    return content;
}

QList<QVariantMap> keyValueContent(const KeyValueRows& rows)
{
    QList<QVariantMap> content;
    content.reserve(static_cast<qsizetype>(rows.size()));
    for (const KeyValueRow& row : rows)
        content.append({{keys::key, text(row.key)}, {keys::value, text(row.value)}});
    return content;
}

}  // namespace vellinor
