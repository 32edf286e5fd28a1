#pragma once

// The dictionaries the window's tables hold, built from the core's display rows. The keys are
// the ones the table columns read.

#include <vector>

#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include "probe/key_value_row.h"
#include "probe/overview.h"

namespace vellinor::keys {

inline const QString fileName = QStringLiteral("fileName");
inline const QString fileURL = QStringLiteral("fileURL");

inline const QString fieldKey1 = QStringLiteral("fieldKey1");
inline const QString fieldValue1 = QStringLiteral("fieldValue1");
inline const QString fieldKey2 = QStringLiteral("fieldKey2");
inline const QString fieldValue2 = QStringLiteral("fieldValue2");

inline const QString trackNumber = QStringLiteral("trackNumber");
inline const QString trackType = QStringLiteral("trackType");
inline const QString trackCodec = QStringLiteral("trackCodec");
inline const QString trackLanguage = QStringLiteral("trackLanguage");
inline const QString trackDurationHuman = QStringLiteral("trackDurationHuman");
inline const QString trackExtraInfo = QStringLiteral("trackExtraInfo");
inline const QString trackKeyValue = QStringLiteral("trackKeyValue");
inline const QString trackSummary = QStringLiteral("trackSummary");
inline const QString trackFacts = QStringLiteral("trackFacts");

// One fact of "trackFacts".
inline const QString factGroup = QStringLiteral("group");
inline const QString factName = QStringLiteral("name");
inline const QString factValue = QStringLiteral("value");
inline const QString factSource = QStringLiteral("source");
inline const QString factKey = QStringLiteral("key");

inline const QString key = QStringLiteral("key");
inline const QString value = QStringLiteral("value");

}  // namespace vellinor::keys

namespace vellinor {

// A file-list entry: "fileName" (last path component) and "fileURL".
QVariantMap fileListEntry(const QUrl& url);
QList<QVariantMap> fileListEntries(const QList<QUrl>& urls);

// Overview rows; a Yes/No value becomes a ColoredText, the track count an integer.
QList<QVariantMap> overviewContent(const std::vector<OverviewRow>& rows);

// Key/value rows in the order the details table shows them: by key without regard to case
// (stable, so rows that differ only in case keep the core's order).
KeyValueRows detailsDisplayOrder(KeyValueRows rows);

// Track rows; "trackKeyValue" holds the row's details as key/value dictionaries, in display
// order (a Chapter row's chapters stay in time order).
QList<QVariantMap> tracksContent(const std::vector<TrackTableRow>& rows);

// Facts ("group" as its name, "name", "value", "source", "key"), in the order shown.
QList<QVariantMap> factsContent(const std::vector<Fact>& facts);

// Key/value rows ("key", "value").
QList<QVariantMap> keyValueContent(const KeyValueRows& rows);

}  // namespace vellinor
