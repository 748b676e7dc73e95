#include "database_csv_reader.h"
#include "database_lane_fixture.h"

#include "common/ZelmorError.h"
#include "database/ReportCsv.h"
#include "database/ReportFilter.h"
#include "database/ShownReport.h"

#include <QFile>

namespace {

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
    EXPECT_EQ(cell(row, QStringLiteral("Нормативы")), QStringLiteral("сохранённые с результатом"));
    EXPECT_EQ(cell(row, QStringLiteral("Норматив: Мин. CO, %")), QStringLiteral("3,5"));
    EXPECT_EQ(cell(rows[2], QStringLiteral("Запись")), QString::number(third));
    EXPECT_EQ(cell(rows[2], QStringLiteral("Гос. номер")), QStringLiteral("К;\"7\"=1"));

    // Unfiltered: the deleted model's row has an empty name, the formulas are text.
    const QList<QStringList> all = parseCsv(
        QString::fromUtf8(ReportCsv::toCsv(ReportCsv::linesOf(db->connection(), ReportFilter()))));
    ASSERT_EQ(all.size(), 7);
    EXPECT_EQ(all[4][5], QString());
    const int conclusion = int(all[0].indexOf(QStringLiteral("Заключение")));
    EXPECT_EQ(
        all[4][conclusion], QStringLiteral("соответствие установленным нормативам не определено"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(all[4 + i][6], formulas[i].cell) << i;
}

class StoredWithEngines : public LaneFixture,
                          public ::testing::WithParamInterface<LaneFixture::Engine>
{
};

// A result keeps what it was judged by, on both engines: a table of an older
// version gains the columns at start-up (its rows keep nulls and are judged
// by the models table as it is now), a new row stores the model, the
// inspection and how it was measured, and an edit of the model changes
// nothing of it.
TEST_P(StoredWithEngines, ResultKeepsItsLimitsThroughAModelEditAndAnOlderTableIsUpgraded)
{
    const QString folder
        = laneFolder(GetParam(), GetParam() == Server ? freshServerDatabase() : QString());
    auto db = openLane(folder);
    TestResult r = result(4711, QStringLiteral("А1"));
    r.modelIndex = 3;
    const int older = db->StoreTestResult(r, QDateTime(QDate(2009, 2, 23), QTime(10, 0, 0)));
    // As the previous version left the table: without any of the columns.
    for (const char *field : FieldNames::StoredWith) {
        QSqlQuery q(db->connection());
        ASSERT_TRUE(q.exec(QStringLiteral("ALTER TABLE \"reports.db\" DROP COLUMN \"%1\"")
                               .arg(QLatin1String(field))))
            << field;
    }
    db.reset();
    db = openLane(folder);
    QFile log(logDir.filePath(QStringLiteral("zelmor.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("report columns added: ModelName,ModelCategory,"));
    db->setInspectionSource([] {
        return Inspection { QStringLiteral("Пункт ТО № 3"), QStringLiteral("Иванов И. И."),
            QStringLiteral("С-12/345"), QDate(2009, 12, 31) };
    });
    r.speedSource = QStringLiteral("OBD");
    r.vehicleDiagnosis = QStringLiteral("P0420");
    const int stored = db->StoreTestResult(r, QDateTime(QDate(2009, 2, 23), QTime(11, 0, 0)));
    const ModelRecord before = db->modelByIndex(3);
    QSqlQuery edit(db->connection());
    ASSERT_TRUE(edit.exec(QStringLiteral("UPDATE \"models.DB\" SET \"Name\" = 'Другая', "
                                         "\"MinCO\" = 9.99 WHERE \"Index\" = 3")));

    const ShownReport now = ShownReport::read(db->connection(), stored);
    EXPECT_TRUE(now.modelStored);
    EXPECT_EQ(now.model.value("Name").toString(), before.Name);
    EXPECT_EQ(now.model.value("Category").toString(), before.Category);
    EXPECT_DOUBLE_EQ(now.model.value("MinCO").toDouble(), before.limits.MinCO);
    EXPECT_DOUBLE_EQ(now.model.value("MaxTaxD").toDouble(), before.limits.MaxTaxD);
    const QVariantMap expected { { "Place", QStringLiteral("Пункт ТО № 3") },
        { "Operator", QStringLiteral("Иванов И. И.") },
        { "Certificate", QStringLiteral("С-12/345") }, { "SpeedSource", QStringLiteral("OBD") },
        { "VehicleDiagnosis", QStringLiteral("P0420") } };
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(now.result.value(it.key()).toString(), it.value().toString())
            << it.key().toStdString();
    const QVariant until = now.result.value("CertificateValidUntil");
    EXPECT_EQ(until.typeId() == QMetaType::QDate ? until.toDate()
                                                 : QDate::fromString(until.toString(), Qt::ISODate),
        QDate(2009, 12, 31));

    const ShownReport old = ShownReport::read(db->connection(), older);
    EXPECT_FALSE(old.modelStored);
    EXPECT_EQ(old.model.value("Name").toString(), QStringLiteral("Другая"));
    EXPECT_DOUBLE_EQ(old.model.value("MinCO").toDouble(), 9.99);
    EXPECT_TRUE(old.result.value("Operator").isNull());

    // The export says the same.
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(
        ReportCsv::toCsv(ReportCsv::linesOf(db->connection(), ReportFilter())).mid(3)));
    ASSERT_EQ(rows.size(), 3);
    const auto cell = [&](int row, const char *title) {
        return rows[row].value(rows[0].indexOf(QString::fromUtf8(title)));
    };
    EXPECT_EQ(cell(1, "Название модели"), QStringLiteral("Другая"));
    EXPECT_EQ(cell(1, "Норматив: Мин. CO, %"), QStringLiteral("9,99"));
    EXPECT_EQ(cell(1, "Оператор"), QString());
    EXPECT_EQ(cell(2, "Название модели"), before.Name);
    EXPECT_EQ(
        cell(2, "Норматив: Мин. CO, %"), QString::number(before.limits.MinCO).replace('.', ','));
    EXPECT_EQ(cell(2, "Поверка действительна до"), QStringLiteral("31.12.2009"));
    EXPECT_EQ(cell(2, "Источник оборотов"), QStringLiteral("OBD"));
}

INSTANTIATE_TEST_SUITE_P(Engines, StoredWithEngines,
    ::testing::Values(LaneFixture::Sqlite, LaneFixture::Server),
    [](const auto &info) { return info.param == LaneFixture::Sqlite ? "Sqlite" : "Server"; });

TEST_F(CsvExport, UnwritableTargetIsReportedAndLeavesNoFile)
{
    auto db = openLane(laneFolder(Sqlite));
    const QString path = lanes.back()->path() + QStringLiteral("/нет/такой/папки.csv");
    EXPECT_THROW(ReportCsv::exportFilter(db->connection(), ReportFilter(), path), IoError);
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
