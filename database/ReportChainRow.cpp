#include "database/ReportChain.h"

#include "common/NumberText.h"
#include "database/DatabaseEngine.h"
#include "database/TestResult.h"
#include "tables/FieldNames.h"

#include <QCryptographicHash>
#include <QDate>
#include <QSqlQuery>
#include <QTime>

#include <charconv>
#include <cmath>

// A row's canonical form and its hash: what the chain is made of.

namespace ReportChain {

namespace {

constexpr char FieldSeparator = '\x1f';
constexpr char HashSeparator = '\x1e';

void appendNumber(QByteArray &out, const QVariant &v)
{
    if (v.isNull())
        return;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d)) {
        out += v.toString().toUtf8(); // not a number: hashed as it reads
        return;
    }
    char buffer[32];
    // Shortest text that reads back as exactly this double: the same bits
    // give the same text on every engine and machine.
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, d == 0.0 ? 0.0 : d);
    out.append(buffer, r.ptr - buffer);
}

void appendDate(QByteArray &out, const QVariant &v)
{
    if (v.isNull())
        return;
    if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
        out += v.toDate().toString(Qt::ISODate).toUtf8();
    else
        out += v.toString().toUtf8();
}

void appendTime(QByteArray &out, const QVariant &v)
{
    if (v.isNull())
        return;
    if (v.typeId() == QMetaType::QTime) {
        const QTime t = v.toTime();
        out += t.toString(t.msec() ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"))
                   .toUtf8();
    } else {
        out += v.toString().toUtf8();
    }
}

} // namespace

QString selectColumns(const QString &alias)
{
    return (DatabaseEngine::quotedNames(FieldNames::ReportKeys, alias)
        + DatabaseEngine::quotedNames(FieldNames::Results, alias)
        + DatabaseEngine::quotedNames(FieldNames::ChainLinks, alias))
        .join(QStringLiteral(", "));
}

Row rowFrom(const QSqlQuery &q, int c)
{
    Row r;
    r.index = q.value(c++).toInt();
    r.date = q.value(c++);
    r.time = q.value(c++);
    r.zmNum = q.value(c++);
    r.model = q.value(c++);
    r.govNumber = q.value(c++);
    for (QVariant &v : r.values)
        v = q.value(c++);
    r.prevHash = q.value(c++).toString().toLatin1();
    r.hash = q.value(c++).toString().toLatin1();
    return r;
}

Row rowFromResult(const TestResult &result, const QDateTime &now)
{
    Row r;
    r.date = now.date();
    r.time = now.time().toString(QStringLiteral("HH:mm:ss"));
    r.zmNum = double(result.instrumentNumber);
    r.model = double(result.modelIndex);
    r.govNumber = result.govNumber.left(FieldNames::GovNumberWidth);
    for (int i = 0; i < TestResult::MeanCount; ++i) {
        const auto &rounding = FieldNames::MeanRounding[i % 7];
        // The stored value is the value of its fixed-point text.
        r.values[FieldNames::MeanColumns[i]]
            = fixedText(result.means[i], rounding.precision, rounding.decimals, QLatin1Char('.'))
                  .toDouble();
    }
    return r;
}

QByteArray canonical(const Row &row)
{
    QByteArray out;
    out.reserve(160);
    appendDate(out, row.date);
    out += FieldSeparator;
    appendTime(out, row.time);
    out += FieldSeparator;
    appendNumber(out, row.zmNum);
    out += FieldSeparator;
    appendNumber(out, row.model);
    out += FieldSeparator;
    if (!row.govNumber.isNull())
        out += row.govNumber.toString().toUtf8();
    for (const QVariant &v : row.values) {
        out += FieldSeparator;
        appendNumber(out, v);
    }
    return out;
}

QByteArray chainHash(const QByteArray &prevHash, const QByteArray &canonicalText)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(QByteArray::fromHex(prevHash)); // the previous digest's own 32 bytes
    h.addData(QByteArrayView(&HashSeparator, 1));
    h.addData(canonicalText);
    return h.result().toHex();
}

QByteArray chainKey(const QVariant &zmNum)
{
    QByteArray key;
    appendNumber(key, zmNum);
    return key;
}

} // namespace ReportChain
