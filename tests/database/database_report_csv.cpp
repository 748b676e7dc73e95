#include "database_lane_fixture.h"

#include "common/ZelmorError.h"
#include "database/ReportCsv.h"
#include "database/ReportFilter.h"

#include <QFile>

namespace {

// A reader for what a spreadsheet reads: fields separated by ';', quoted
// fields may hold separators, doubled quotes and line breaks.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                cell += ch;
            }
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == ';') {
            row << cell;
            cell.clear();
        } else if (ch == '\r') {
        } else if (ch == '\n') {
            rows << (row << cell);
            row.clear();
            cell.clear();
        } else {
            cell += ch;
        }
    }
    if (!cell.isEmpty() || !row.isEmpty())
        rows << (row << cell);
    return rows;
}

using CsvExport = LaneFixture;

TEST_F(CsvExport, FilteredListReadsBackWithCyrillicAndCommaDecimals)
{
    const QString folder = laneFolder(Sqlite);
    auto db = openLane(folder);
    const QDateTime at(QDate(2009, 2, 23), QTime(14, 3, 27));
    TestResult r = result(4711, QStringLiteral("А123ВС77"));
    r.modelIndex = 2;
    r.means[0] = 0.4567f; // MinCO 0.46
    r.means[4] = 123.6f; // MinNOx 124
    r.means[13] = 0.987f; // MaxLambda 0.99
    const int first = db->StoreTestResult(r, at);
    TestResult other = result(4711, QStringLiteral("Е5"));
    other.modelIndex = 1;
    db->StoreTestResult(other, at.addSecs(1)); // another model
    r.govNumber = QStringLiteral("К;\"7\"=1"); // separator and quotes in one number
    const int third = db->StoreTestResult(r, at.addSecs(2));
    // Texts a spreadsheet would take for a formula, whatever they start with.
    const struct
    {
        QString number;
        QString cell;
    } formulas[] = {
        { QStringLiteral("=1+1"), QStringLiteral("'=1+1") },
        { QStringLiteral("\t=2+2"), QStringLiteral("'\t=2+2") },
        { QStringLiteral("\r-3"), QStringLiteral("'\r-3") },
    };
    r.modelIndex = 99; // a deleted model
    for (const auto &f : formulas) {
        r.govNumber = f.number;
        db->StoreTestResult(r, at.addSecs(3 + (&f - formulas)));
    }

    ReportFilter filter;
    filter.byModel = true;
    filter.modelName = db->modelByIndex(2).Name;
    filter.resolveModel(db->connection());
    const QString path = folder + QStringLiteral("выгрузка.csv");
    EXPECT_EQ(ReportCsv::exportFilter(db->connection(), filter, path), 2);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(bytes.mid(3)));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], ReportCsv::headerTitles());
    EXPECT_EQ(rows[0][6], QStringLiteral("Гос. номер"));
    const QStringList &row = rows[1];
    ASSERT_EQ(row.size(), rows[0].size());
    const auto cell = [&](const QStringList &r, const QString &title) {
        return r.value(rows[0].indexOf(title));
    };
    EXPECT_EQ(cell(row, QStringLiteral("Запись")), QString::number(first));
    EXPECT_EQ(cell(row, QStringLiteral("Дата")), QStringLiteral("23.02.2009"));
    EXPECT_EQ(cell(row, QStringLiteral("Время")), QStringLiteral("14:03:27"));
    EXPECT_EQ(cell(row, QStringLiteral("Прибор")), QStringLiteral("4711"));
    EXPECT_EQ(cell(row, QStringLiteral("Модель")), QStringLiteral("2"));
    EXPECT_EQ(cell(row, QStringLiteral("Название модели")), db->modelByIndex(2).Name);
    EXPECT_EQ(cell(row, QStringLiteral("Гос. номер")), QStringLiteral("А123ВС77"));
    EXPECT_EQ(cell(row, QStringLiteral("Мин. CO, %")), QStringLiteral("0,46"));
    EXPECT_EQ(cell(row, QStringLiteral("Мин. NOx, ppm")), QStringLiteral("124"));
    EXPECT_EQ(cell(row, QStringLiteral("Пов. λ")), QStringLiteral("0,99"));
    EXPECT_EQ(cell(rows[2], QStringLiteral("Запись")), QString::number(third));
    EXPECT_EQ(cell(rows[2], QStringLiteral("Гос. номер")), QStringLiteral("К;\"7\"=1"));

    // Unfiltered: the deleted model's row has an empty name, the formulas are text.
    const QList<QStringList> all = parseCsv(
        QString::fromUtf8(ReportCsv::toCsv(ReportCsv::linesOf(db->connection(), ReportFilter()))));
    ASSERT_EQ(all.size(), 7);
    EXPECT_EQ(all[4][5], QString());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(all[4 + i][6], formulas[i].cell) << i;
}

TEST_F(CsvExport, UnwritableTargetIsReportedAndLeavesNoFile)
{
    auto db = openLane(laneFolder(Sqlite));
    const QString path = lanes.back()->path() + QStringLiteral("/нет/такой/папки.csv");
    EXPECT_THROW(ReportCsv::exportFilter(db->connection(), ReportFilter(), path), IoError);
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
