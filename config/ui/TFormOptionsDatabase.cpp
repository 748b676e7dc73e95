#include "config/ui/TFormOptions.h"

#include "config/ui/OptionsLayout.h"

#include "config/IniFile.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

// The page "База данных": where results are stored and how the server is
// reached (a service, or host, port, database and user; the encryption and
// the certificate authority that vouches for the server), written to the
// section "Database" of the settings file only when the operator changed it.

using namespace OptionsLayout;

namespace {

using Mode = DatabaseSettings::SslMode;

// The encryption choices in the order of DatabaseSettings::SslMode; the
// first one's text follows the host (updateDbDefaultSslText).
const std::pair<Mode, const char *> SslChoices[] = {
    { Mode::Default, "" },
    { Mode::Disable, "disable: без шифрования" },
    { Mode::Allow, "allow: если сервер требует" },
    { Mode::Prefer, "prefer: если сервер умеет" },
    { Mode::Require, "require: без проверки сервера" },
    { Mode::VerifyCa, "verify-ca: проверка сертификата" },
    { Mode::VerifyFull, "verify-full: сертификат и имя" },
};

} // namespace

QWidget *TFormOptions::buildDatabasePage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabDatabase"));
    // Captions on the left, controls on the right: eight rows and the note
    // below them fit the page.
    constexpr int captionLeft = 8;
    constexpr int fieldLeft = 112;
    constexpr int top = 4;
    constexpr int rowStep = 23;
    const auto row
        = [&](const char *name, const QString &caption, QWidget *field, int line, int width) {
              field->setParent(page);
              field->setObjectName(QLatin1String(name));
              field->setGeometry(fieldLeft, top + line * rowStep, width, editHeight);
              auto *label = new QLabel(caption, page);
              label->setObjectName(QLatin1String(name) + QStringLiteral("Label"));
              label->setBuddy(field);
              label->setGeometry(
                  captionLeft, top + line * rowStep, fieldLeft - captionLeft - 4, editHeight);
          };
    constexpr int fieldWidth = 236;
    cboxDbEngine = new QComboBox;
    cboxDbEngine->addItem(QStringLiteral("Файл на этом компьютере"));
    cboxDbEngine->addItem(QStringLiteral("Сервер PostgreSQL"));
    row("cboxDbEngine", QStringLiteral("Хранение:"), cboxDbEngine, 0, fieldWidth);
    edDbService = new QLineEdit;
    edDbService->setPlaceholderText(QStringLiteral("имя из файла служб"));
    edDbService->setToolTip(
        QStringLiteral("Служба из файла ~/.pg_service.conf (или файла, который называет "
                       "PGSERVICEFILE): сервер, порт, база и пользователь берутся из неё."));
    row("edDbService", QStringLiteral("Служба:"), edDbService, 1, fieldWidth);
    edDbHost = new QLineEdit;
    edDbHost->setPlaceholderText(QStringLiteral("имя сервера, адрес или папка сокета"));
    row("edDbHost", QStringLiteral("Сервер:"), edDbHost, 2, fieldWidth);
    edDbPort = new QSpinBox;
    edDbPort->setRange(1, 65535);
    edDbPort->setButtonSymbols(QAbstractSpinBox::NoButtons);
    row("edDbPort", QStringLiteral("Порт:"), edDbPort, 3, 72);
    edDbName = new QLineEdit;
    row("edDbName", QStringLiteral("База:"), edDbName, 4, fieldWidth);
    edDbUser = new QLineEdit;
    edDbUser->setPlaceholderText(QStringLiteral("имя учётной записи"));
    row("edDbUser", QStringLiteral("Пользователь:"), edDbUser, 5, fieldWidth);
    cboxDbSslMode = new QComboBox;
    for (const auto &[mode, text] : SslChoices)
        cboxDbSslMode->addItem(QString::fromUtf8(text), int(mode));
    cboxDbSslMode->setToolTip(
        QStringLiteral("По умолчанию: verify-full для сервера в сети, без шифрования через "
                       "сокет, как в файле служб для службы."));
    row("cboxDbSslMode", QStringLiteral("Шифрование:"), cboxDbSslMode, 6, fieldWidth);
    constexpr int browseWidth = 24;
    edDbSslRootCert = new QLineEdit;
    edDbSslRootCert->setPlaceholderText(QStringLiteral("~/.postgresql/root.crt"));
    edDbSslRootCert->setToolTip(
        QStringLiteral("Сертификат центра сертификации, которым подписан сертификат сервера."));
    row("edDbSslRootCert", QStringLiteral("Сертификат ЦС:"), edDbSslRootCert, 7,
        fieldWidth - browseWidth - 2);
    btnDbSslRootCert = new QToolButton(page);
    btnDbSslRootCert->setObjectName(QStringLiteral("btnDbSslRootCert"));
    btnDbSslRootCert->setText(QStringLiteral("..."));
    btnDbSslRootCert->setToolTip(QStringLiteral("Выбрать файл сертификата"));
    btnDbSslRootCert->setGeometry(
        fieldLeft + fieldWidth - browseWidth, top + 7 * rowStep, browseWidth, editHeight);

    labDbNote = new QLabel(page);
    labDbNote->setObjectName(QStringLiteral("labDbNote"));
    labDbNote->setWordWrap(true);
    labDbNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int noteTop = top + 8 * rowStep + 2;
    labDbNote->setGeometry(captionLeft, noteTop, 340, pagesRect.height() - noteTop);
    labDbNote->setText(QStringLiteral(
        "Пароль здесь не хранится: его берут из ~/.pgpass. Файл служб читается, только если "
        "указана служба. Изменения действуют после перезапуска."));
    connect(cboxDbEngine, &QComboBox::currentIndexChanged, this, [this] { cboxDbEngineChange(); });
    connect(edDbService, &QLineEdit::textChanged, this, [this] { cboxDbEngineChange(); });
    connect(edDbHost, &QLineEdit::textChanged, this, [this] { updateDbDefaultSslText(); });
    connect(btnDbSslRootCert, &QToolButton::clicked, this, [this] { btnDbSslRootCertClick(); });
    updateDbDefaultSslText();
    return page;
}

void TFormOptions::cboxDbEngineChange()
{
    const bool server = cboxDbEngine->currentIndex() == 1;
    const bool service = !edDbService->text().trimmed().isEmpty();
    for (QWidget *w : std::initializer_list<QWidget *> { edDbHost, edDbPort, edDbName, edDbUser })
        w->setEnabled(server && !service);
    for (QWidget *w : std::initializer_list<QWidget *> {
             edDbService, cboxDbSslMode, edDbSslRootCert, btnDbSslRootCert })
        w->setEnabled(server);
    updateDbDefaultSslText();
}

void TFormOptions::updateDbDefaultSslText()
{
    DatabaseSettings s;
    s.host = edDbHost->text().trimmed();
    s.service = edDbService->text().trimmed();
    QString text;
    if (s.usesService())
        text = QStringLiteral("по умолчанию: как в файле служб");
    else if (s.viaSocket())
        text = QStringLiteral("по умолчанию: сокет, без шифрования");
    else
        text = QStringLiteral("по умолчанию: verify-full");
    cboxDbSslMode->setItemText(0, text);
}

void TFormOptions::btnDbSslRootCertClick()
{
    const QString start = edDbSslRootCert->text().trimmed();
    const QString chosen = m_certificateFileDialog
        ? m_certificateFileDialog(this, start)
        : QFileDialog::getOpenFileName(this, QStringLiteral("Сертификат центра сертификации"),
            start, QStringLiteral("Сертификаты (*.crt *.pem *.cer);;Все файлы (*)"));
    if (!chosen.isEmpty())
        edDbSslRootCert->setText(chosen);
}

void TFormOptions::setCertificateFileDialog(
    std::function<QString(QWidget *, const QString &)> dialog)
{
    m_certificateFileDialog = std::move(dialog);
}

void TFormOptions::databaseControlsFrom(const DatabaseSettings &settings)
{
    cboxDbEngine->setCurrentIndex(settings.isServer() ? 1 : 0);
    edDbService->setText(settings.service);
    edDbHost->setText(settings.host);
    edDbPort->setValue(settings.port);
    edDbName->setText(settings.name);
    edDbUser->setText(settings.user);
    cboxDbSslMode->setCurrentIndex(std::max(0, cboxDbSslMode->findData(int(settings.sslMode))));
    edDbSslRootCert->setText(settings.sslRootCert);
    cboxDbEngineChange();
}

DatabaseSettings TFormOptions::databaseSettingsFromControls() const
{
    DatabaseSettings s;
    s.driver = cboxDbEngine->currentIndex() == 1 ? DatabaseSettings::Driver::Psql
                                                 : DatabaseSettings::Driver::Sqlite;
    s.host = edDbHost->text().trimmed();
    s.port = edDbPort->value();
    s.name = edDbName->text().trimmed();
    if (s.name.isEmpty())
        s.name = DatabaseSettings().name;
    s.user = edDbUser->text().trimmed();
    s.sslMode = Mode(cboxDbSslMode->currentData().toInt());
    s.sslRootCert = edDbSslRootCert->text().trimmed();
    s.service = edDbService->text().trimmed();
    return s;
}

void TFormOptions::saveDatabaseSettings()
{
    const DatabaseSettings chosen = databaseSettingsFromControls();
    // A file that never named a server keeps no section until the operator
    // sets one; what the page showed unchanged is not written again.
    if (chosen == m_shownDatabase)
        return;
    IniFile ini(m_settings.path());
    chosen.write(ini);
    m_shownDatabase = chosen;
}
