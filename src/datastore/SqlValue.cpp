#include "datastore/SqlValue.h"

#include <QLocale>
#include <QSet>

namespace SqlValue {
namespace {

const QString kCanonicalFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");

QDateTime wallClock(const QDate& date, const QTime& time)
{
    return QDateTime(date, time, Qt::LocalTime);
}

} // namespace

QString canonical(const QDateTime& when)
{
    const QDateTime local = when.timeSpec() == Qt::LocalTime ? when : when.toLocalTime();
    return QLocale::c().toString(local, kCanonicalFormat);
}

namespace {

// The canonical form read without the general parser: this runs for every date-time cell a screen reads.
QDateTime parseCanonical(QStringView t)
{
    if (t.size() != 23 || t[4] != u'-' || t[7] != u'-' || (t[10] != u'T' && t[10] != u' ') || t[13] != u':' ||
        t[16] != u':' || t[19] != u'.')
        return {};
    auto number = [&](qsizetype from, qsizetype length, bool* ok) {
        int n = 0;
        for (qsizetype i = from; i < from + length; ++i) {
            const char16_t c = t[i].unicode();
            if (c < u'0' || c > u'9')
                *ok = false;
            n = n * 10 + (c - u'0');
        }
        return n;
    };
    bool ok = true;
    const QDate date(number(0, 4, &ok), number(5, 2, &ok), number(8, 2, &ok));
    const QTime time(number(11, 2, &ok), number(14, 2, &ok), number(17, 2, &ok), number(20, 3, &ok));
    if (!ok || !date.isValid() || !time.isValid())
        return {};
    return wallClock(date, time);
}

} // namespace

QDateTime parse(const QString& text)
{
    if (const QDateTime fast = parseCanonical(text); fast.isValid())
        return fast;
    const QString t = text.trimmed();
    static const char* const formats[] = {"yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss.zzz",
                                          "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd"};
    for (const char* format : formats) {
        const QDateTime dt = QLocale::c().toDateTime(t, QString::fromLatin1(format));
        if (dt.isValid())
            return wallClock(dt.date(), dt.time());
    }
    return {};
}

QVariant toBindable(const QVariant& value, Engine engine)
{
    if (!value.isValid())
        return QVariant(QMetaType::fromType<QString>());
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.isValid() ? QVariant(canonical(dt)) : QVariant(QMetaType::fromType<QString>());
    }
    case QMetaType::QDate: {
        const QDate d = value.toDate();
        return d.isValid() ? QVariant(canonical(wallClock(d, QTime(0, 0))))
                           : QVariant(QMetaType::fromType<QString>());
    }
    case QMetaType::QString: {
        const QString s = value.toString();
        return s.isNull() ? QVariant(QStringLiteral("")) : value;
    }
    case QMetaType::Bool:
        return engine == Engine::SQLite ? QVariant(value.toBool() ? 1 : 0) : value;
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
        return QVariant(value.toInt());
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QVariant(value.toLongLong());
    default:
        return value;
    }
}

QVariant fromResult(const QVariant& value, bool isNull, bool dateTimeColumn)
{
    if (isNull)
        return {};
    if (dateTimeColumn || value.typeId() == QMetaType::QDateTime) {
        if (value.typeId() == QMetaType::QDateTime) {
            // The PostgreSQL driver hands over the stored wall-clock time; keep it as local time.
            const QDateTime dt = value.toDateTime();
            return dt.isValid() ? QVariant(wallClock(dt.date(), dt.time())) : QVariant();
        }
        if (value.typeId() == QMetaType::QString) {
            const QDateTime dt = parse(value.toString());
            return dt.isValid() ? QVariant(dt) : value;
        }
        return value;
    }
    if (value.typeId() == QMetaType::Bool)
        return QVariant(value.toBool() ? 1 : 0);
    return value;
}

bool isDateTimeColumn(const QString& columnName)
{
    static const QSet<QString> columns{
        QStringLiteral("losttime"),          QStringLiteral("publish_datetime"),
        QStringLiteral("cancel_datetime"),   QStringLiteral("checkin_datetime"),
        QStringLiteral("checkout_datetime"), QStringLiteral("the_time"),
        QStringLiteral("unlock_time"),       QStringLiteral("get_time")};
    return columns.contains(columnName.toLower());
}

QString literal(const QDateTime& when, Engine engine)
{
    const QString text = quoted(canonical(when));
    return engine == Engine::PostgreSQL ? QStringLiteral("TIMESTAMP ") + text : text;
}

QString quoted(const QString& text)
{
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

} // namespace SqlValue
