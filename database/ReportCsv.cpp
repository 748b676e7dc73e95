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
#include <QSqlRecord>
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

QByteArray number(const QVariant &v, int decimals = -1)
{
    if (v.isNull())
        return {};
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return field(v.toString());
    char buffer[32];
    const double value = d == 0.0 ? 0.0 : d;
    const auto r = decimals < 0
        ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
        : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    QByteArray text(buffer, r.ptr - buffer);
    text.replace('.', ',');
    return text;
}

// A number field by name: a lambda with its decimals.
QByteArray numberField(const QVariantMap &row, const char *name)
{
    return number(row.value(QLatin1String(name)),
        FieldNames::isLambda(name) ? FieldNames::LambdaDecimals : -1);
}

QString dateText(const QVariant &v)
{
    if (v.isNull())
        return QString();
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
    static const QHash<QString, QString> measured {
        { QStringLiteral("Tax"), QStringLiteral("обороты, об/мин") },
        { QStringLiteral("TaxD"), QStringLiteral("допуск оборотов, об/мин") },
        { QStringLiteral("CO"), QStringLiteral("CO, %") },
        { QStringLiteral("CH"), QStringLiteral("CH, ppm") },
        { QStringLiteral("CO2"), QStringLiteral("CO2, %") },
        { QStringLiteral("O2"), QStringLiteral("O2, %") },
        { QStringLiteral("NOx"), QStringLiteral("NOx, ppm") },
        { QStringLiteral("Lambda"), QStringLiteral("λ") },
    };
    // A result's or limit's title: its step, then what it measures.
    const auto title = [](const QString &prefix, QString field) {
        const QString step = field.startsWith(QLatin1String("Min")) ? QStringLiteral("Мин. ")
                                                                    : QStringLiteral("Пов. ");
        return prefix + step + measured.value(field.mid(3));
    };
    QStringList titles { QStringLiteral("Запись"), QStringLiteral("Дата"), QStringLiteral("Время"),
        QStringLiteral("Прибор"), QStringLiteral("Модель"), QStringLiteral("Название модели"),
        QStringLiteral("Гос. номер") };
    for (const char *field : FieldNames::Results)
        titles << title(QString(), QLatin1String(field));
    titles << QStringLiteral("Нормативы");
    for (const char *field : FieldNames::Limits)
        titles << title(QStringLiteral("Норматив: "), QLatin1String(field));
    titles << QStringLiteral("Заключение") << QStringLiteral("Место проведения")
           << QStringLiteral("Оператор") << QStringLiteral("Свидетельство о поверке")
           << QStringLiteral("Поверка действительна до") << QStringLiteral("Источник оборотов")
           << QStringLiteral("Диагностика автомобиля");
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
    const auto text = [](const QVariantMap &row, const char *name) {
        return field(row.value(QLatin1String(name)).toString());
    };
    for (const Line &line : lines) {
        const QVariantMap &r = line.result;
        QByteArrayList cells { QByteArray::number(line.index()), field(dateText(r.value("Date"))),
            field(timeText(r.value("Time"))), number(r.value("ZMNum")), number(r.value("Model")),
            text(line.model, "Name"), text(r, "GovNumber") };
        for (const char *name : FieldNames::Results)
            cells << numberField(r, name);
        cells << field(line.model.isEmpty() ? QString()
                : line.modelStored ? QStringLiteral("сохранённые с результатом")
                                   : QStringLiteral("текущая таблица моделей"));
        for (const char *name : FieldNames::Limits)
            cells << numberField(line.model, name);
        cells << field(QString::fromStdString(Judgement::conclusionText(line.judgement())))
              << text(r, "Place") << text(r, "Operator") << text(r, "Certificate")
              << field(dateText(r.value("CertificateValidUntil"))) << text(r, "SpeedSource")
              << text(r, "VehicleDiagnosis");
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
        if (!q.exec(QStringLiteral("SELECT Reports.*, %1 FROM %2 WHERE Reports.\"Index\" IN (%3)")
                        .arg(ShownReport::currentModelColumns(QStringLiteral("Models")),
                            ShownReport::currentModelJoin(
                                QStringLiteral("Reports"), QStringLiteral("Models")),
                            marks.join(QLatin1Char(',')))))
            throw ZelmorError(QStringLiteral("Ошибка выгрузки: ") + q.lastError().text().trimmed());
        while (q.next()) {
            Line line = ShownReport::fromRecord(q.record());
            byIndex.insert(line.index(), line);
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
