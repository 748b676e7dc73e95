#include "database/ReportCsv.h"

#include "common/ZelmorError.h"
#include "database/ReportFilter.h"
#include "tables/FieldNames.h"

#include <QDate>
#include <QDir>
#include <QHash>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>

#include <charconv>
#include <climits>
#include <cmath>

namespace ReportCsv {

namespace {

constexpr char Separator = ';';
constexpr int IndexBatch = 500;

// Quoted when the text holds a separator, a quote or a line break. A text
// that a spreadsheet would take for a formula is kept as text: one that
// starts with a formula sign, or with a tab or carriage return, which a
// spreadsheet skips before it looks for one.
QByteArray field(const QString &text)
{
    QString t = text;
    if (!t.isEmpty() && QStringLiteral("=+-@\t\r").contains(t.front()))
        t.prepend(QLatin1Char('\''));
    QByteArray bytes = t.toUtf8();
    if (bytes.contains(Separator) || bytes.contains('"') || bytes.contains('\n')
        || bytes.contains('\r')) {
        bytes.replace("\"", "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

QByteArray number(const QVariant &v)
{
    if (v.isNull())
        return {};
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return field(v.toString());
    char buffer[32];
    const auto r = std::to_chars(
        buffer, buffer + sizeof buffer, d == 0.0 ? 0.0 : d, std::chars_format::fixed);
    QByteArray text(buffer, r.ptr - buffer);
    text.replace('.', ',');
    return text;
}

QString dateText(const QVariant &v)
{
    const QDate d = v.typeId() == QMetaType::QDate ? v.toDate()
                                                   : QDate::fromString(v.toString(), Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : v.toString();
}

QString timeText(const QVariant &v)
{
    return v.typeId() == QMetaType::QTime ? v.toTime().toString(QStringLiteral("HH:mm:ss"))
                                          : v.toString();
}

} // namespace

QStringList headerTitles()
{
    // A result's title: its step, then what it measures.
    const auto resultTitle = [](QString field) {
        static const QHash<QString, QString> measured {
            { QStringLiteral("Tax"), QStringLiteral("обороты, об/мин") },
            { QStringLiteral("CO"), QStringLiteral("CO, %") },
            { QStringLiteral("CH"), QStringLiteral("CH, ppm") },
            { QStringLiteral("CO2"), QStringLiteral("CO2, %") },
            { QStringLiteral("O2"), QStringLiteral("O2, %") },
            { QStringLiteral("NOx"), QStringLiteral("NOx, ppm") },
            { QStringLiteral("Lambda"), QStringLiteral("λ") },
        };
        const QString step = field.startsWith(QLatin1String("Min")) ? QStringLiteral("Мин. ")
                                                                    : QStringLiteral("Пов. ");
        return step + measured.value(field.mid(3));
    };
    QStringList titles { QStringLiteral("Запись"), QStringLiteral("Дата"), QStringLiteral("Время"),
        QStringLiteral("Прибор"), QStringLiteral("Модель"), QStringLiteral("Название модели"),
        QStringLiteral("Гос. номер") };
    for (const char *field : FieldNames::Results)
        titles << resultTitle(QLatin1String(field));
    return titles;
}

QByteArray toCsv(const QList<Line> &lines)
{
    QByteArray out("\xEF\xBB\xBF");
    const QStringList titles = headerTitles();
    for (int i = 0; i < titles.size(); ++i) {
        if (i)
            out += Separator;
        out += field(titles[i]);
    }
    out += "\r\n";
    for (const Line &line : lines) {
        const ReportChain::Row &r = line.row;
        QByteArrayList cells { QByteArray::number(r.index), field(dateText(r.date)),
            field(timeText(r.time)), number(r.zmNum), number(r.model), field(line.modelName),
            field(r.govNumber.toString()) };
        for (const QVariant &v : r.values)
            cells << number(v);
        out += cells.join(Separator);
        out += "\r\n";
    }
    return out;
}

QList<Line> linesOf(const QSqlDatabase &db, const ReportFilter &filter)
{
    QList<int> order;
    for (const ReportFilter::Row &r : filter.page(db, 0, INT_MAX))
        order << r.index;
    QHash<int, Line> byIndex;
    for (qsizetype start = 0; start < order.size(); start += IndexBatch) {
        QStringList marks;
        const qsizetype end = std::min(order.size(), start + IndexBatch);
        for (qsizetype i = start; i < end; ++i)
            marks << QString::number(order[i]); // integers read from the table
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1, Models.\"Name\" FROM \"reports.db\" Reports LEFT "
                                   "JOIN \"models.DB\" Models ON (Models.\"Index\" = "
                                   "Reports.\"Model\") WHERE Reports.\"Index\" IN (%2)")
                        .arg(ReportChain::selectColumns(db, QStringLiteral("Reports")),
                            marks.join(QLatin1Char(',')))))
            throw ZelmorError(QStringLiteral("Ошибка выгрузки: ") + q.lastError().text().trimmed());
        const int nameColumn = ReportChain::columnCount();
        while (q.next()) {
            Line line;
            line.row = ReportChain::rowFrom(q);
            line.modelName = q.value(nameColumn).toString();
            byIndex.insert(line.row.index, line);
        }
    }
    QList<Line> lines;
    lines.reserve(order.size());
    for (int index : order) {
        const auto it = byIndex.constFind(index);
        if (it != byIndex.constEnd())
            lines << *it;
    }
    return lines;
}

int exportFilter(const QSqlDatabase &db, const ReportFilter &filter, const QString &path)
{
    const QList<Line> lines = linesOf(db, filter);
    const QByteArray bytes = toCsv(lines);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw IoError(QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(path)));
    return int(lines.size());
}

} // namespace ReportCsv
