#include "database/ReportChain.h"

#include "common/NumberText.h"
#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "database/ReportChainText.h"
#include "database/TestResult.h"
#include "tables/ControlCode.h"
#include "tables/FieldNames.h"

#include <QDate>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>

#include <charconv>
#include <cmath>
#include <string_view>

// A row's canonical form and its hash: what the chain is made of.

namespace ReportChain {

namespace Text {

namespace {

constexpr char FieldSeparator = '\x1f';

enum class Kind { Date, Time, Number, Text };

Kind kindOf(int column)
{
    if (column == DateColumn)
        return Kind::Date;
    if (column == TimeColumn)
        return Kind::Time;
    if (column == GovNumberColumn || column == FormerCodesColumn)
        return Kind::Text;
    if (column >= FirstStoredColumn && column < SchemeColumn) {
        const std::string_view name = FieldNames::StoredWith[column - FirstStoredColumn];
        if (name.substr(0, 3) == "Lim")
            return Kind::Number;
        if (name == "CertificateValidUntil")
            return Kind::Date;
        return Kind::Text;
    }
    return Kind::Number;
}

void appendDouble(std::string &out, double d)
{
    char buffer[32];
    // Shortest text that reads back as exactly this double: the same bits
    // give the same text on every engine and machine.
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, d == 0.0 ? 0.0 : d);
    out.append(buffer, r.ptr);
}

// A number written as text (SQLite keeps what it is given) reads as the
// number it spells, as Qt's conversion would read it.
bool parseNumber(std::string_view text, double &d)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), d);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(d);
}

// From the second scheme on a text cannot pass for a separator or another
// column: control characters and the backslash are written as \xHH.
void appendEscaped(std::string &out, std::string_view text)
{
    static const char Hex[] = "0123456789abcdef";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '\\') {
            out += "\\x";
            out += Hex[u >> 4];
            out += Hex[u & 15];
        } else {
            out += c;
        }
    }
}

void appendText(std::string &out, std::string_view text, bool escaped)
{
    if (escaped)
        appendEscaped(out, text);
    else
        out.append(text);
}

void appendValue(std::string &out, Kind kind, const FieldValue &v, bool escaped)
{
    switch (v.type) {
    case FieldValue::Null:
        return;
    case FieldValue::Number:
        appendDouble(out, v.number);
        return;
    case FieldValue::Text:
        if (kind == Kind::Number) {
            double d = 0;
            if (parseNumber(v.text, d)) {
                appendDouble(out, d);
                return;
            }
        }
        appendText(out, v.text, escaped);
        return;
    }
}

void appendInteger(std::string &out, qint64 n)
{
    char buffer[24];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, n);
    out.append(buffer, r.ptr);
}

void appendBytes(std::string &out, const QByteArray &bytes)
{
    appendEscaped(out, std::string_view(bytes.constData(), size_t(bytes.size())));
}

} // namespace

void appendChainKey(std::string &out, const FieldValue &zmNum)
{
    appendValue(out, Kind::Number, zmNum, false);
}

int schemeOf(const FieldValue &value)
{
    const qint64 n = integerOf(value);
    return value.type == FieldValue::Null ? Legacy : int(n);
}

qint64 integerOf(const FieldValue &value)
{
    if (value.type == FieldValue::Number)
        return qint64(value.number);
    if (value.type == FieldValue::Text) {
        double d = 0;
        if (parseNumber(value.text, d))
            return qint64(d);
    }
    return 0;
}

void appendRow(std::string &out, int scheme, const FieldValue *values)
{
    if (scheme == Legacy) {
        // As earlier versions hashed: no number, no place, no stored columns.
        for (int c = DateColumn; c < FirstStoredColumn; ++c) {
            if (c > DateColumn)
                out += FieldSeparator;
            appendValue(out, kindOf(c), values[c], false);
        }
        return;
    }
    appendInteger(out, scheme);
    out += FieldSeparator;
    out += 'R';
    out += FieldSeparator;
    appendValue(out, Kind::Number, values[SeqColumn], true);
    for (int c = IndexColumn; c < FirstStoredColumn; ++c) {
        out += FieldSeparator;
        appendValue(out, kindOf(c), values[c], true);
    }
    // Only what the row holds: a column added after the row was stored, or
    // one the row never had a value for, leaves its hash as it was.
    for (int c = FirstStoredColumn; c < SchemeColumn; ++c) {
        if (values[c].type == FieldValue::Null)
            continue;
        out += FieldSeparator;
        out += FieldNames::StoredWith[c - FirstStoredColumn];
        out += '=';
        appendValue(out, kindOf(c), values[c], true);
    }
    const FieldValue &former = values[FormerCodesColumn];
    if (former.type != FieldValue::Null
        && !(former.type == FieldValue::Text && former.text.empty())) {
        out += FieldSeparator;
        out += "FormerCodes=";
        appendValue(out, Kind::Text, former, true);
    }
}

void appendEntry(std::string &out, const Entry &e)
{
    appendInteger(out, e.scheme);
    out += FieldSeparator;
    out += e.kind;
    out += FieldSeparator;
    appendInteger(out, e.seq);
    out += FieldSeparator;
    appendBytes(out, e.chain);
    out += FieldSeparator;
    appendBytes(out, e.at.toUtf8());
    out += FieldSeparator;
    appendInteger(out, e.subjectIndex);
    out += FieldSeparator;
    if (e.subjectSeq > 0)
        appendInteger(out, e.subjectSeq);
    out += FieldSeparator;
    appendBytes(out, e.subjectPrev);
    out += FieldSeparator;
    appendBytes(out, e.subjectHash);
    out += FieldSeparator;
    appendBytes(out, e.note.toUtf8());
    if (!e.formerCodes.isEmpty()) {
        out += FieldSeparator;
        out += "FormerCodes=";
        appendBytes(out, e.formerCodes);
    }
}

} // namespace Text

namespace {

using Text::FieldValue;

// A QVariant as an engine's value, its text kept alive beside it.
struct HeldValue
{
    FieldValue value;
    QByteArray storage;

    void set(const QVariant &v)
    {
        value = FieldValue();
        if (v.isNull() || !v.isValid())
            return;
        switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Bool:
            value.type = FieldValue::Number;
            value.number = v.toDouble();
            return;
        case QMetaType::QDate:
        case QMetaType::QDateTime:
            storage = v.toDate().toString(Qt::ISODate).toUtf8();
            break;
        case QMetaType::QTime: {
            const QTime t = v.toTime();
            storage
                = t.toString(t.msec() ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"))
                      .toUtf8();
            break;
        }
        case QMetaType::QByteArray:
            storage = v.toByteArray();
            break;
        default:
            storage = v.toString().toUtf8();
            break;
        }
        value.type = FieldValue::Text;
        value.text = std::string_view(storage.constData(), size_t(storage.size()));
    }
};

std::array<HeldValue, Text::ColumnCount> valuesOf(const Row &row)
{
    std::array<HeldValue, Text::ColumnCount> v;
    v[Text::IndexColumn].set(row.index);
    v[Text::DateColumn].set(row.date);
    v[Text::TimeColumn].set(row.time);
    v[Text::ZMNumColumn].set(row.zmNum);
    v[Text::ModelColumn].set(row.model);
    v[Text::GovNumberColumn].set(row.govNumber);
    for (size_t i = 0; i < row.values.size(); ++i)
        v[Text::FirstResultColumn + int(i)].set(row.values[i]);
    for (size_t i = 0; i < row.stored.size(); ++i)
        v[Text::FirstStoredColumn + int(i)].set(row.stored[i]);
    if (row.scheme != Legacy) {
        v[Text::SchemeColumn].set(row.scheme);
        v[Text::SeqColumn].set(row.seq);
    }
    if (!row.formerCodes.isEmpty())
        v[Text::FormerCodesColumn].set(row.formerCodes);
    return v;
}

// The columns of "reports.db" in this database.
QSet<QString> tableColumns(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT * FROM \"reports.db\" WHERE 1 = 0")))
        throw ZelmorError(
            QStringLiteral("Ошибка чтения таблицы результатов: ") + q.lastError().text().trimmed());
    QSet<QString> names;
    const QSqlRecord r = q.record();
    for (int i = 0; i < r.count(); ++i)
        names.insert(r.fieldName(i));
    return names;
}

} // namespace

int columnCount()
{
    return Text::ColumnCount;
}

QString selectColumns(const QSqlDatabase &db, const QString &alias)
{
    const QSet<QString> present = tableColumns(db);
    const QString prefix = alias.isEmpty() ? QString() : alias + QLatin1Char('.');
    QStringList list;
    auto add = [&](const auto &names) {
        for (const char *name : names) {
            const QString n = QLatin1String(name);
            list << (present.contains(n) ? prefix + DatabaseEngine::quoted(n)
                                         : QStringLiteral("NULL"));
        }
    };
    add(FieldNames::ReportKeys);
    add(FieldNames::Results);
    add(FieldNames::StoredWith);
    add(FieldNames::ChainColumns);
    add(FieldNames::ChainLinks);
    return list.join(QStringLiteral(", "));
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
    for (QVariant &v : r.stored)
        v = q.value(c++);
    const QVariant scheme = q.value(c++);
    r.scheme = scheme.isNull() ? Legacy : scheme.toInt();
    r.seq = q.value(c++).toLongLong();
    r.formerCodes = q.value(c++).toString().toLatin1();
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
    const auto held = valuesOf(row);
    FieldValue values[Text::ColumnCount];
    for (int i = 0; i < Text::ColumnCount; ++i)
        values[i] = held[i].value;
    std::string out;
    out.reserve(320);
    Text::appendRow(out, row.scheme, values);
    return QByteArray(out.data(), qsizetype(out.size()));
}

QByteArray canonical(const Entry &entry)
{
    std::string out;
    Text::appendEntry(out, entry);
    return QByteArray(out.data(), qsizetype(out.size()));
}

QByteArray chainKey(const QVariant &zmNum)
{
    HeldValue v;
    v.set(zmNum);
    std::string out;
    Text::appendChainKey(out, v.value);
    return QByteArray(out.data(), qsizetype(out.size()));
}

QByteArray hashOf(ChainHasher &hasher, const Row &row)
{
    if (row.scheme == Keyed && !hasher.hasKey())
        throw ZelmorError(QStringLiteral("запись подписана ключом станции, а ключ не задан"));
    return hasher.hex(row.scheme == Keyed, row.prevHash, canonical(row));
}

QByteArray hashOf(ChainHasher &hasher, const Entry &entry)
{
    if (entry.scheme == Keyed && !hasher.hasKey())
        throw ZelmorError(QStringLiteral("запись подписана ключом станции, а ключ не задан"));
    return hasher.hex(entry.scheme == Keyed, entry.prevHash, canonical(entry));
}

QString controlCode(const QByteArray &hash)
{
    return ::controlCode(hash);
}

QByteArray normalisedCode(const QString &typed)
{
    QByteArray code;
    for (const QChar c : typed) {
        if (c.isSpace() || c == QLatin1Char('-'))
            continue;
        const char l = c.toLower().toLatin1();
        if (!((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f')))
            return QByteArray();
        code += l;
    }
    return code.size() == 16 ? code : QByteArray();
}

} // namespace ReportChain
