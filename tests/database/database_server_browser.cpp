// The report browser of a lane whose results are kept on the shared server:
// the shown report, the filter, the export of what the list shows, the check
// of the result chains, what the lane's role may not do greyed out, and what
// it says when the server is gone.

#include "database_lane_fixture.h"
#include "database_message_box_answer.h"

#include "common/FormatSettings.h"
#include "database/ui/ReportListModel.h"
#include "database/ui/TFormModels.h"
#include "database/ui/TFormReports.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

const QDate Day(2026, 3, 2);

class ServerBrowserTest : public LaneFixture
{
protected:
    void SetUp() override
    {
        LaneFixture::SetUp();
        ASSERT_TRUE(startError.isEmpty()) << startError.toStdString();
        if (!server->isRunning()) {
            ASSERT_TRUE(server->start().isEmpty());
        }
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
        database = freshStationDatabase();
        // The chief's lane: it may delete results.
        lane = openLane(stationLaneFolder(database, PgServer::ChiefLane));
        ASSERT_TRUE(lane->isOpen());
        // Two instruments; the number "А123ВС77" tested twice.
        rows << lane->StoreTestResult(
            result(11, QStringLiteral("А123ВС77"), 0.4f), QDateTime(Day, QTime(9, 0, 1)));
        rows << lane->StoreTestResult(
            result(12, QStringLiteral("B222BB"), 0.6f), QDateTime(Day, QTime(9, 5, 0)));
        rows << lane->StoreTestResult(
            result(11, QStringLiteral("А123ВС77"), 0.7f), QDateTime(Day, QTime(10, 0, 0)));
        form = std::make_unique<TFormReports>(lane.get());
        form->show();
    }
    void TearDown() override
    {
        form.reset();
        lane.reset();
        if (server && !server->isRunning())
            server->start();
        FormatSettings::setDecimalSeparator(QLatin1Char('.'));
        LaneFixture::TearDown();
    }

    QString exportTo(const QString &path)
    {
        form->setExportFileDialog([path](QWidget *, const QString &) { return path; });
        MessageBoxAnswer answer(QMessageBox::Ok);
        QTest::mouseClick(form->btnExport, Qt::LeftButton);
        EXPECT_TRUE(answer.shown());
        return answer.text;
    }

    QString verify()
    {
        MessageBoxAnswer answer(QMessageBox::Ok);
        QTest::mouseClick(form->btnVerify, Qt::LeftButton);
        EXPECT_TRUE(answer.shown());
        return answer.text;
    }

    QString database;
    std::unique_ptr<ZelmorDatabase> lane;
    std::unique_ptr<TFormReports> form;
    QList<int> rows;
    QTemporaryDir out;
};

TEST_F(ServerBrowserTest, ShowsTheStoredReportWithItsModelsLimits)
{
    form->prepareShow(rows[1]);
    EXPECT_EQ(form->selectedReportIndex(), rows[1]);
    EXPECT_EQ(form->labGosNum->text(), QStringLiteral("B222BB"));
    EXPECT_FALSE(form->labModel->text().isEmpty()) << "the model's row was not read";
    EXPECT_FALSE(form->limitEdits[0][2]->text().isEmpty());
    EXPECT_FALSE(form->measuredEdits[1][0]->text().isEmpty());
    EXPECT_EQ(form->qrResult().value(QStringLiteral("ZMNum")).toInt(), 12);
    EXPECT_TRUE(form->emptyReason().isEmpty());
}

// What a lane's role may not do is greyed out, saying why; the chief's lane
// has it.
TEST_F(ServerBrowserTest, WhatTheRoleMayNotDoIsGreyedOut)
{
    std::unique_ptr<ZelmorDatabase> plain = openLane(stationLaneFolder(database, 1));
    struct Case
    {
        ZelmorDatabase *db;
        bool mayDelete;
        bool mayEditModels;
    } cases[] = { { plain.get(), false, false }, { lane.get(), true, true } };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mayDelete ? "chief" : "lane");
        TFormReports browser(c.db);
        browser.show();
        browser.prepareShow(rows[0]);
        EXPECT_EQ(browser.btnDelete->isEnabled(), c.mayDelete);
        EXPECT_EQ(
            browser.btnDelete->toolTip(), c.mayDelete ? QString() : StationRoles::noDeleteRight());
        TFormModels models(c.db);
        models.show();
        for (QPushButton *button : { models.btnAdd, models.btnEdit, models.btnDelete }) {
            EXPECT_EQ(button->isEnabled(), c.mayEditModels);
            EXPECT_EQ(
                button->toolTip(), c.mayEditModels ? QString() : StationRoles::noModelsRight());
        }
        EXPECT_EQ(models.DBEdit[5]->isReadOnly(), !c.mayEditModels);
    }
}

TEST_F(ServerBrowserTest, ExportWritesWhatTheFilterLists)
{
    form->prepareShow();
    const QString all = out.filePath(TFormReports::exportFileName(Day));
    EXPECT_TRUE(all.endsWith(QStringLiteral("отчеты_2026-03-02.csv")));
    const QString said = exportTo(all);
    EXPECT_TRUE(said.contains(QStringLiteral("Записано отчётов: 3"))) << qPrintable(said);
    EXPECT_TRUE(said.contains(QDir::toNativeSeparators(all))) << "says where";

    form->cboxFilterGosNum->click();
    form->FilterGosNum->setText(QStringLiteral("А123ВС77"));
    QTest::keyClick(form->FilterGosNum, Qt::Key_Return);
    ASSERT_EQ(form->listModel()->rowCount(), 2);
    const QString some = out.filePath(QStringLiteral("some.csv"));
    EXPECT_TRUE(exportTo(some).contains(QStringLiteral("Записано отчётов: 2")));
    QFile file(some);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << "header and the two listed reports";
    EXPECT_TRUE(lines[1].contains("А123ВС77"));
    EXPECT_FALSE(lines[2].contains("B222BB"));

    // A folder that cannot be written: the operator learns why, no file.
    const QString nowhere = out.filePath(QStringLiteral("missing/folder/x.csv"));
    const QString failed = exportTo(nowhere);
    EXPECT_TRUE(failed.startsWith(QStringLiteral("Отчёты не записаны: "))) << qPrintable(failed);
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST_F(ServerBrowserTest, CheckSaysIntactOrNamesTheChangedRow)
{
    form->prepareShow();
    EXPECT_EQ(verify(), QStringLiteral("Записи не изменялись: 3 записей, 2 приборов."));

    // Deleting in the browser keeps the chain whole.
    form->prepareShow(rows[0]);
    {
        MessageBoxAnswer yes(QMessageBox::Yes);
        QTest::mouseClick(form->btnDelete, Qt::LeftButton);
        ASSERT_TRUE(yes.shown());
    }
    EXPECT_EQ(
        scalar(lane->connection(), QStringLiteral("SELECT count(*) FROM \"reports.db\"")).toInt(),
        2);
    EXPECT_EQ(verify(), QStringLiteral("Записи не изменялись: 2 записей, 2 приборов."));

    // An edit made behind the program's back.
    QString error;
    server->psql(database,
        QStringLiteral("UPDATE \"reports.db\" SET \"MinCO\" = 0.01 WHERE \"Index\" = %1")
            .arg(rows[2]),
        &error);
    ASSERT_TRUE(error.isEmpty()) << qPrintable(error);
    const QString broken = verify();
    EXPECT_TRUE(broken.contains(QString::number(rows[2]))) << qPrintable(broken);
    EXPECT_TRUE(broken.contains(QStringLiteral("изменена в обход программы")))
        << qPrintable(broken);
}

TEST_F(ServerBrowserTest, ServerGoneSaysWhyTheListIsEmptyAndBackListsAgain)
{
    form->prepareShow();
    ASSERT_EQ(form->listModel()->rowCount(), 3);
    ASSERT_TRUE(server->stop().isEmpty());
    {
        MessageBoxAnswer answer(QMessageBox::Ok);
        form->RunFilter();
        EXPECT_TRUE(answer.shown());
        EXPECT_TRUE(answer.text.contains(QStringLiteral("недоступн"))) << qPrintable(answer.text);
    }
    EXPECT_EQ(form->listModel()->rowCount(), 0);
    EXPECT_TRUE(form->emptyReason().startsWith(QStringLiteral("Список пуст.")))
        << qPrintable(form->emptyReason());
    EXPECT_EQ(form->selectedReportIndex(), 0);
    EXPECT_TRUE(verify().startsWith(QStringLiteral("Проверка невозможна: ")));

    const QString shots = qEnvironmentVariable("ZELMOR_SHOTS_DIR");
    if (!shots.isEmpty())
        form->grab().save(shots + QStringLiteral("/FormReportsServerGone.png"));

    ASSERT_TRUE(server->start().isEmpty());
    form->RunFilter();
    EXPECT_EQ(form->listModel()->rowCount(), 3);
    EXPECT_TRUE(form->emptyReason().isEmpty());
    if (!shots.isEmpty()) {
        form->prepareShow(rows[2]);
        form->grab().save(shots + QStringLiteral("/FormReportsServer.png"));
    }
}

} // namespace
