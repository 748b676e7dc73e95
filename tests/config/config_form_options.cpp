#include "config_temp_folder.h"

#include "common/FormatSettings.h"
#include "config/IniDocument.h"
#include "config/IniFile.h"
#include "config/ui/TFormOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

const QString ini = QStringLiteral("conf/zelmor.ini");

class FormOptionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
        QDir(folder.dir.path()).mkdir(QStringLiteral("conf"));
    }
    void TearDown() override { FormatSettings::setCurrent(saved); }

    // The dialog as the program has it after start-up: settings loaded, the
    // connect sequence and the error display hooked up.
    std::unique_ptr<TFormOptions> startedForm()
    {
        auto form = std::make_unique<TFormOptions>(nullptr, folder.path(ini));
        form->setConnectDevice([this] { ++connects; });
        form->setErrorDisplay([this](const QString &message) { errors << message; });
        form->LoadSettings();
        return form;
    }

    // Opens the dialog as the menu does (without blocking) and presses OK.
    void openAndPressOk(TFormOptions &form, const std::function<void()> &edit)
    {
        form.show();
        edit();
        QTest::mouseClick(form.btnOK, Qt::LeftButton);
    }

    void typeInto(QComboBox *box, const QString &text) { box->setEditText(text); }

    IniDocument fileContents() const { return IniDocument::parse(folder.read(ini)); }

    TempFolder folder;
    FormatSettings saved;
    int connects = 0;
    QStringList errors;
};

TEST_F(FormOptionsTest, EveryControlCarriesItsNameAndLabelsAreBuddies)
{
    auto form = startedForm();
    for (const char *name : { "listOptions", "MainCaption", "tabsOptions", "cboxPortName",
             "cboxSpeed", "edTimeout", "edLineWidth", "UpDown1", "cbShowGrid", "cbShowEdIzm",
             "cboxStartMode", "cboxLanguage", "cboxPrinters", "btnPrinterSetup", "edReportPlace",
             "edReportOperator", "edVerificationCertificate", "cbVerificationValidUntil",
             "edVerificationValidUntil", "btnOK", "btnCancel" })
        EXPECT_TRUE(form->findChild<QWidget *>(QLatin1String(name))) << name;
    const std::pair<const char *, QWidget *> buddies[] = { { "Label1", form->cboxPortName },
        { "Label2", form->cboxSpeed }, { "Label3", form->edTimeout },
        { "Label4", form->edLineWidth }, { "labWorkType", form->cboxStartMode },
        { "labLang", form->cboxLanguage }, { "Label5", form->cboxPrinters },
        { "Label7", form->edReportPlace }, { "labReportOperator", form->edReportOperator },
        { "labVerificationCertificate", form->edVerificationCertificate } };
    for (const auto &[label, buddy] : buddies) {
        auto *l = form->findChild<QLabel *>(QLatin1String(label));
        ASSERT_TRUE(l) << label;
        EXPECT_EQ(l->buddy(), buddy) << label;
    }
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Настройки"));
    EXPECT_EQ(form->size(), QSize(494, 306));
    EXPECT_EQ(form->cboxSpeed->count(), 8);
}

TEST_F(FormOptionsTest, LoadFillsControlsAndEveryOpeningStartsOnTheLinkPage)
{
    folder.write(ini,
        "[Connect]\r\nComName=/dev/pts/3\r\nSpeed=abc\r\nTimeOut=250\r\n"
        "[Graph]\r\nLineWidth=4\r\nShowGrid=2\r\nShowEdIzm=0\r\n"
        "[Interface]\r\nStartMode=7\r\n[Report]\r\nPlace=\xcf\xf3\xed\xea\xf2 1\r\n"
        "Operator=\xc8\xe2\xe0\xed\xee\xe2\r\n"
        "[Instrument]\r\nVerificationCertificate=C-12\r\nVerificationValidUntil=31.12.2026\r\n");
    auto form = startedForm();
    form->show();
    EXPECT_EQ(form->cboxPortName->currentText(), QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(form->cboxSpeed->currentText(), QStringLiteral("38400"));
    EXPECT_EQ(form->edTimeout->text(), QStringLiteral("250"));
    EXPECT_EQ(form->edLineWidth->text(), QStringLiteral("4"));
    EXPECT_EQ(form->cbShowGrid->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(form->cbShowEdIzm->checkState(), Qt::Unchecked);
    EXPECT_EQ(form->cboxStartMode->currentIndex(), -1);
    EXPECT_EQ(form->edReportPlace->text(), QStringLiteral("Пункт 1"));
    EXPECT_EQ(form->edReportOperator->text(), QStringLiteral("Иванов"));
    EXPECT_EQ(form->edVerificationCertificate->text(), QStringLiteral("C-12"));
    EXPECT_TRUE(form->cbVerificationValidUntil->isChecked());
    EXPECT_EQ(form->edVerificationValidUntil->date(), QDate(2026, 12, 31));

    form->listOptions->setCurrentRow(3);
    EXPECT_EQ(form->tabsOptions->currentIndex(), 3);
    EXPECT_EQ(form->MainCaption->text(), QStringLiteral("Печать"));
    form->listOptions->setCurrentRow(6);
    EXPECT_EQ(form->tabsOptions->currentWidget()->objectName(), QStringLiteral("tabInstrument"));
    EXPECT_EQ(form->MainCaption->text(), QStringLiteral("Прибор"));
    if (const QString shots = qEnvironmentVariable("ZELMOR_SHOTS_DIR"); !shots.isEmpty()) {
        form->grab().save(shots + QStringLiteral("/FormOptionsInstrument.png"));
        form->listOptions->setCurrentRow(4);
        form->grab().save(shots + QStringLiteral("/FormOptionsReport.png"));
    }
    form->hide();
    form->show();
    EXPECT_EQ(form->tabsOptions->currentIndex(), 0);
    EXPECT_EQ(form->MainCaption->text(), QStringLiteral("Связь"));
}

struct EditCase
{
    const char *name;
    std::function<void(TFormOptions &)> edit;
    bool reconnects;
    // What the file then holds: section, key, value.
    std::array<const char *, 3> written { nullptr, nullptr, nullptr };
};

class FormOptionsOkTest : public FormOptionsTest, public ::testing::WithParamInterface<EditCase>
{
};

TEST_P(FormOptionsOkTest, OkWritesTheFileAndReconnectsOnlyForALinkChange)
{
    const EditCase &c = GetParam();
    auto form = startedForm();
    openAndPressOk(*form, [&] { c.edit(*form); });
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(connects, c.reconnects ? 1 : 0);
    EXPECT_EQ(fileContents().sections().size(), 8);
    if (c.written[0]) {
        EXPECT_EQ(fileContents().value(QLatin1String(c.written[0]), QLatin1String(c.written[1])),
            QString::fromUtf8(c.written[2]));
    }
}

INSTANTIATE_TEST_SUITE_P(Edits, FormOptionsOkTest,
    ::testing::Values(EditCase { "nothing", [](TFormOptions &) {}, false },
        EditCase { "port",
            [](TFormOptions &f) { f.cboxPortName->setEditText(QStringLiteral("/dev/pts/9")); },
            true },
        EditCase { "speed", [](TFormOptions &f) { f.cboxSpeed->setCurrentIndex(0); }, true },
        EditCase {
            "timeout", [](TFormOptions &f) { f.edTimeout->setText(QStringLiteral("300")); }, true },
        EditCase { "line width",
            [](TFormOptions &f) {
                QTest::mouseClick(
                    f.findChild<QToolButton *>(QStringLiteral("UpDown1Up")), Qt::LeftButton);
            },
            false },
        EditCase { "grid", [](TFormOptions &f) { f.cbShowGrid->setChecked(false); }, false },
        EditCase { "mode", [](TFormOptions &f) { f.cboxStartMode->setCurrentIndex(1); }, false },
        EditCase { "place",
            [](TFormOptions &f) { f.edReportPlace->setText(QStringLiteral("Тверь")); }, false },
        EditCase { "operator",
            [](TFormOptions &f) { f.edReportOperator->setText(QStringLiteral(" Петров П. ")); },
            false, { "Report", "Operator", "Петров П." } },
        EditCase { "certificate",
            [](TFormOptions &f) { f.edVerificationCertificate->setText(QStringLiteral("C-7")); },
            false, { "Instrument", "VerificationCertificate", "C-7" } },
        EditCase { "validity",
            [](TFormOptions &f) {
                f.cbVerificationValidUntil->setChecked(true);
                f.edVerificationValidUntil->setDate(QDate(2027, 3, 1));
            },
            false, { "Instrument", "VerificationValidUntil", "01.03.2027" } },
        EditCase { "validity left unset",
            [](TFormOptions &f) { f.edVerificationValidUntil->setDate(QDate(2027, 3, 1)); }, false,
            { "Instrument", "VerificationValidUntil", "" } }),
    [](const auto &info) {
        QString name = QString::fromLatin1(info.param.name);
        name.remove(QLatin1Char(' '));
        return name.toStdString();
    });

TEST_F(FormOptionsTest, CancelForgetsTheEditsAndWritesNothing)
{
    auto form = startedForm();
    form->show();
    form->cboxPortName->setEditText(QStringLiteral("COM7"));
    form->edReportPlace->setText(QStringLiteral("другое"));
    form->edVerificationCertificate->setText(QStringLiteral("C-1"));
    form->cbVerificationValidUntil->setChecked(true);
    QTest::mouseClick(form->btnCancel, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(folder.exists(ini));
    form->show();
    EXPECT_EQ(form->cboxPortName->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(form->edReportPlace->text(), QStringLiteral("НПФ \"Лумарис\""));
    EXPECT_TRUE(form->edVerificationCertificate->text().isEmpty());
    EXPECT_FALSE(form->cbVerificationValidUntil->isChecked());
    EXPECT_FALSE(form->edVerificationValidUntil->isEnabled());
    EXPECT_EQ(connects, 0);
}

TEST_F(FormOptionsTest, BadTimeoutKeepsTheDialogOpenWithoutReconnecting)
{
    auto form = startedForm();
    openAndPressOk(*form, [&] {
        form->cboxPortName->setEditText(QStringLiteral("COM2"));
        form->edTimeout->setText(QStringLiteral("сто"));
    });
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(errors, QStringList { QStringLiteral("'сто' is not a valid integer value") });
    EXPECT_EQ(connects, 0);
    EXPECT_EQ(fileContents().sections(), QStringList { QStringLiteral("Connect") });
    EXPECT_EQ(form->AppliedOptions().ComName, QStringLiteral("COM1"));
}

TEST_F(FormOptionsTest, UnwritableFileKeepsTheDialogOpen)
{
    QDir(folder.path(QStringLiteral("conf"))).removeRecursively();
    auto form = startedForm();
    openAndPressOk(*form, [] {});
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(
        errors, QStringList { QStringLiteral("Unable to write to %1").arg(folder.path(ini)) });

    // A file that is not a settings file is not written over either.
    const QByteArray large = "[Connect]\r\nComName=COM9\r\n; " + QByteArray(IniFile::MaxSize, 'x');
    folder.write(ini, large);
    form = startedForm();
    EXPECT_EQ(form->cboxPortName->currentText(), QStringLiteral("COM1"));
    errors.clear();
    openAndPressOk(*form, [] {});
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(folder.path(ini))) << qPrintable(errors[0]);
    EXPECT_EQ(folder.read(ini), large);
}

TEST_F(FormOptionsTest, CheckBoxStatesRoundTripWithTheFileCodes)
{
    folder.write(ini, "[Graph]\r\nShowGrid=2\r\nShowEdIzm=1\r\n");
    auto form = startedForm();
    EXPECT_EQ(form->cbShowEdIzm->checkState(), Qt::Checked);
    openAndPressOk(*form, [] {});
    EXPECT_EQ(fileContents().value(QStringLiteral("Graph"), QStringLiteral("ShowGrid")),
        QStringLiteral("2"));
    EXPECT_EQ(fileContents().value(QStringLiteral("Graph"), QStringLiteral("ShowEdIzm")),
        QStringLiteral("1"));
    form->show();
    form->cbShowGrid->setChecked(false);
    QTest::mouseClick(form->btnOK, Qt::LeftButton);
    EXPECT_EQ(fileContents().value(QStringLiteral("Graph"), QStringLiteral("ShowGrid")),
        QStringLiteral("0"));
}

TEST_F(FormOptionsTest, LineWidthStepsWithinOneToFiveWithoutWrapping)
{
    auto form = startedForm();
    form->show();
    auto *up = form->findChild<QToolButton *>(QStringLiteral("UpDown1Up"));
    auto *down = form->findChild<QToolButton *>(QStringLiteral("UpDown1Down"));
    for (int i = 0; i < 6; ++i)
        QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(form->edLineWidth->text(), QStringLiteral("5"));
    for (int i = 0; i < 6; ++i)
        QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(form->edLineWidth->text(), QStringLiteral("1"));
    EXPECT_TRUE(form->edLineWidth->isReadOnly());
}

TEST_F(FormOptionsTest, WithoutPrintersTheListIsEmptyAndSetUpSaysSo)
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        GTEST_SKIP() << "printers are installed here";
    folder.write(ini, "[Printer]\r\nName=Office\r\n");
    auto form = startedForm();
    form->show();
    EXPECT_EQ(form->cboxPrinters->count(), 0);
    EXPECT_TRUE(form->cboxPrinters->currentText().isEmpty());

    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->windowTitle() + QLatin1Char('|') + box->text();
            box->accept();
        }
    });
    form->btnPrinterSetupClick();
    EXPECT_EQ(shown, QStringLiteral("Сообщение|Принтер не найден."));
}

TEST_F(FormOptionsTest, SetUpWorksOnTheReportPrinterAndTheChosenPrinterIsKept)
{
    const QStringList installed = { QStringLiteral("Office"), QStringLiteral("Lab") };
    folder.write(ini, "[Printer]\r\nName=Lab\r\n");
    QPrinter reportPrinter;
    auto form = std::make_unique<TFormOptions>(nullptr, folder.path(ini));
    form->setInstalledPrinters([&] { return installed; });
    form->setReportPrinter(&reportPrinter);
    QPrinter *setUpOn = nullptr;
    form->setPrinterSetupDialog([&](QPrinter *printer, QWidget *) {
        setUpOn = printer;
        return false;
    });
    form->LoadSettings();
    form->show();
    EXPECT_EQ(form->cboxPrinters->count(), 2);
    EXPECT_EQ(form->cboxPrinters->currentText(), QStringLiteral("Lab"));

    form->btnPrinterSetupClick();
    EXPECT_EQ(setUpOn, &reportPrinter); // the printer reports are printed on, not a copy

    // The printer chosen in the list is what OK keeps in the file.
    form->cboxPrinters->setCurrentIndex(0);
    form->cboxPrintersCloseUp();
    QTest::mouseClick(form->btnOK, Qt::LeftButton);
    EXPECT_EQ(
        fileContents().value(QStringLiteral("Printer"), QStringLiteral("Name")).value_or(QString()),
        QStringLiteral("Office"));
}

// The page "База данных": a section written only when the operator sets it,
// read back as it was written, never a password.
TEST_F(FormOptionsTest, DatabasePageWritesTheSectionOnlyWhenSetAndNeverAPassword)
{
    auto form = startedForm();
    // Opened and closed with OK untouched: no section appears.
    openAndPressOk(*form, [] {});
    EXPECT_FALSE(fileContents().sections().contains(QStringLiteral("Database")));

    openAndPressOk(*form, [&] {
        form->listOptions->setCurrentRow(5);
        EXPECT_EQ(form->MainCaption->text(), QStringLiteral("База данных"));
        EXPECT_FALSE(form->edDbHost->isEnabled()) << "file chosen: the server fields rest";
        form->cboxDbEngine->setCurrentIndex(1);
        EXPECT_TRUE(form->edDbHost->isEnabled());
        form->edDbHost->setText(QStringLiteral("  /run/lanes/sock "));
        form->edDbPort->setValue(5433);
        form->edDbName->setText(QString()); // empty: the default name
        form->edDbUser->setText(QStringLiteral("lane1"));
        // A socket is never encrypted; a network host is checked in full.
        EXPECT_TRUE(form->cboxDbSslMode->currentText().contains(QStringLiteral("сокет")));
        form->edDbHost->setText(QStringLiteral("db.station.local"));
        EXPECT_TRUE(form->cboxDbSslMode->currentText().contains(QStringLiteral("verify-full")));
        form->edDbHost->setText(QStringLiteral("  /run/lanes/sock "));
        form->cboxDbSslMode->setCurrentIndex(
            form->cboxDbSslMode->findData(int(DatabaseSettings::SslMode::VerifyCa)));
        form->setCertificateFileDialog(
            [](QWidget *, const QString &) { return QStringLiteral("/etc/zelmor/ca.crt"); });
        form->btnDbSslRootCert->click();
        // A service takes the place of server, port, database and user.
        form->edDbService->setText(QStringLiteral("zelmor-lane1"));
        for (QWidget *w : std::initializer_list<QWidget *> {
                 form->edDbHost, form->edDbPort, form->edDbName, form->edDbUser })
            EXPECT_FALSE(w->isEnabled()) << qPrintable(w->objectName());
        EXPECT_TRUE(form->cboxDbSslMode->isEnabled());
        EXPECT_TRUE(form->edDbSslRootCert->isEnabled());
    });
    const IniDocument written = fileContents();
    const QString section = QStringLiteral("Database");
    EXPECT_EQ(written.value(section, QStringLiteral("Driver")), QStringLiteral("PSQL"));
    EXPECT_EQ(written.value(section, QStringLiteral("Host")), QStringLiteral("/run/lanes/sock"));
    EXPECT_EQ(written.value(section, QStringLiteral("Port")), QStringLiteral("5433"));
    EXPECT_EQ(written.value(section, QStringLiteral("Name")), QStringLiteral("zelmor"));
    EXPECT_EQ(written.value(section, QStringLiteral("User")), QStringLiteral("lane1"));
    EXPECT_EQ(written.value(section, QStringLiteral("SslMode")), QStringLiteral("verify-ca"));
    EXPECT_EQ(written.value(section, QStringLiteral("SslRootCert")),
        QStringLiteral("/etc/zelmor/ca.crt"));
    EXPECT_EQ(written.value(section, QStringLiteral("Service")), QStringLiteral("zelmor-lane1"));
    for (const QString &s : written.sections())
        for (const QString &key : written.keys(s))
            EXPECT_FALSE(key.contains(QStringLiteral("pass"), Qt::CaseInsensitive))
                << key.toStdString();
    EXPECT_TRUE(form->labDbNote->text().contains(QStringLiteral(".pgpass")));
    EXPECT_TRUE(form->labDbNote->text().contains(QStringLiteral("перезапуска")));
    EXPECT_TRUE(form->labDbNote->text().contains(QStringLiteral("только если указана служба")));

    // A fresh dialog shows what the file holds; back to the file is written too.
    auto again = std::make_unique<TFormOptions>(nullptr, folder.path(ini));
    again->LoadSettings();
    openAndPressOk(*again, [&] {
        EXPECT_EQ(again->cboxDbEngine->currentIndex(), 1);
        EXPECT_EQ(again->edDbUser->text(), QStringLiteral("lane1"));
        EXPECT_EQ(again->edDbPort->value(), 5433);
        EXPECT_EQ(again->edDbService->text(), QStringLiteral("zelmor-lane1"));
        EXPECT_FALSE(again->edDbHost->isEnabled());
        again->cboxDbEngine->setCurrentIndex(0);
        EXPECT_FALSE(again->edDbService->isEnabled());
    });
    EXPECT_EQ(fileContents().value(section, QStringLiteral("Driver")), QStringLiteral("SQLITE"));

    const QString shots = qEnvironmentVariable("ZELMOR_SHOTS_DIR");
    if (!shots.isEmpty()) {
        again->show();
        again->listOptions->setCurrentRow(5);
        again->cboxDbEngine->setCurrentIndex(1);
        again->edDbService->clear();
        again->edDbHost->setText(QStringLiteral("db.station.local"));
        again->edDbPort->setValue(5432);
        again->edDbUser->setText(QStringLiteral("zelmor_lane1"));
        again->edDbSslRootCert->setText(QStringLiteral("/etc/zelmor/station-ca.crt"));
        again->cboxDbSslMode->setCurrentIndex(0);
        again->grab().save(shots + QStringLiteral("/FormOptionsDatabase.png"));
    }
}

// The page "OBD": OK keeps a usable choice and tells the program at once; a
// choice that cannot work keeps the dialog open on the page and writes nothing.
TEST_F(FormOptionsTest, ObdPageKeepsAUsableAdapterAndRefusesTheInstrumentsPort)
{
    // A port and a link to it, as /dev/serial/by-id gives them.
    folder.write(QStringLiteral("ttyACM7"), "");
    QFile::link(folder.path(QStringLiteral("ttyACM7")), folder.path(QStringLiteral("adapter")));
    const QString target = folder.path(QStringLiteral("ttyACM7"));
    const QString link = folder.path(QStringLiteral("adapter"));
    struct Row
    {
        const char *name;
        QString instrumentPort;
        bool enabled;
        QString obdPort;
        const char *refusal; // part of the box's text; null: OK closes
    };
    const Row rows[] = {
        { "off", QStringLiteral("COM1"), false, QString(), nullptr },
        { "off on the instrument's port", QStringLiteral("COM1"), false, QStringLiteral("COM1"),
            nullptr },
        { "adapter", QStringLiteral("COM1"), true, QStringLiteral("/dev/rfcomm0"), nullptr },
        { "no port", QStringLiteral("COM1"), true, QStringLiteral("  "), "Укажите порт" },
        { "the instrument's port", QStringLiteral("/dev/pts/3"), true, QStringLiteral("/dev/pts/3"),
            "подключён прибор" },
        { "a bare name of it", QStringLiteral("ttyUSB0"), true, QStringLiteral("/dev/ttyUSB0"),
            "подключён прибор" },
        { "a link to it", target, true, link, "подключён прибор" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(folder.path(ini));
        auto form = startedForm();
        form->setPortDevice([](const QString &name) {
            return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
        });
        std::vector<ObdOptions> applied;
        form->setObdChanged([&](const ObdOptions &o) { applied.push_back(o); });
        QString shown;
        QTimer::singleShot(0, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
        const int obdPage = form->tabsOptions->indexOf(form->cboxObdPort->parentWidget());
        openAndPressOk(*form, [&] {
            form->cboxPortName->setEditText(row.instrumentPort);
            form->listOptions->setCurrentRow(obdPage);
            EXPECT_EQ(form->MainCaption->text(), QStringLiteral("OBD"));
            form->cbObdEnabled->setChecked(row.enabled);
            EXPECT_EQ(form->cboxObdPort->isEnabled(), row.enabled);
            form->cboxObdPort->setEditText(row.obdPort);
        });
        if (row.refusal) {
            EXPECT_TRUE(shown.contains(QString::fromUtf8(row.refusal))) << qPrintable(shown);
            EXPECT_TRUE(form->isVisible());
            EXPECT_EQ(form->tabsOptions->currentIndex(), obdPage);
            EXPECT_FALSE(folder.exists(ini));
            EXPECT_TRUE(applied.empty());
            continue;
        }
        EXPECT_TRUE(shown.isEmpty()) << qPrintable(shown);
        EXPECT_FALSE(form->isVisible());
        const ObdOptions chosen { row.enabled, row.obdPort };
        EXPECT_EQ(
            fileContents().sections().contains(QStringLiteral("OBD")), chosen != ObdOptions());
        ASSERT_EQ(applied.size(), chosen == ObdOptions() ? 0u : 1u);
        if (!applied.empty()) {
            EXPECT_EQ(applied.front(), chosen);
        }
        // Opened again without a change: nothing to apply.
        openAndPressOk(*form, [] {});
        EXPECT_EQ(applied.size(), chosen == ObdOptions() ? 0u : 1u);
    }
}

} // namespace
