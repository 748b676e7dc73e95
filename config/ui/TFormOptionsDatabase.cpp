#include "config/ui/TFormOptions.h"

#include "config/ui/OptionsLayout.h"

#include "config/IniFile.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

// The page "База данных": where results are stored, written to the section
// "Database" of the settings file only when the operator changed it.

using namespace OptionsLayout;

QWidget *TFormOptions::buildDatabasePage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabDatabase"));
    // Captions on the left, controls on the right: five rows and the note
    // below them fit the page.
    constexpr int captionLeft = 8;
    constexpr int fieldLeft = 112;
    constexpr int rowStep = 27;
    const auto row
        = [&](const char *name, const QString &caption, QWidget *field, int top, int width) {
              field->setParent(page);
              field->setObjectName(QLatin1String(name));
              field->setGeometry(fieldLeft, top, width, editHeight);
              auto *label = new QLabel(caption, page);
              label->setObjectName(QLatin1String(name) + QStringLiteral("Label"));
              label->setBuddy(field);
              label->setGeometry(captionLeft, top, fieldLeft - captionLeft - 4, editHeight);
          };
    constexpr int fieldWidth = 236;
    cboxDbEngine = new QComboBox;
    cboxDbEngine->addItem(QStringLiteral("Файл на этом компьютере"));
    cboxDbEngine->addItem(QStringLiteral("Сервер PostgreSQL"));
    row("cboxDbEngine", QStringLiteral("Хранение:"), cboxDbEngine, 8, fieldWidth);
    edDbHost = new QLineEdit;
    edDbHost->setPlaceholderText(QStringLiteral("имя сервера или папка сокета"));
    row("edDbHost", QStringLiteral("Сервер:"), edDbHost, 8 + rowStep, fieldWidth);
    edDbPort = new QSpinBox;
    edDbPort->setRange(1, 65535);
    edDbPort->setButtonSymbols(QAbstractSpinBox::NoButtons);
    row("edDbPort", QStringLiteral("Порт:"), edDbPort, 8 + 2 * rowStep, 72);
    edDbName = new QLineEdit;
    row("edDbName", QStringLiteral("База:"), edDbName, 8 + 3 * rowStep, fieldWidth);
    edDbUser = new QLineEdit;
    edDbUser->setPlaceholderText(QStringLiteral("имя учётной записи"));
    row("edDbUser", QStringLiteral("Пользователь:"), edDbUser, 8 + 4 * rowStep, fieldWidth);

    labDbNote = new QLabel(page);
    labDbNote->setObjectName(QStringLiteral("labDbNote"));
    labDbNote->setWordWrap(true);
    labDbNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labDbNote->setGeometry(captionLeft, 8 + 5 * rowStep + 4, 340, 234 - (8 + 5 * rowStep + 4));
    labDbNote->setText(QStringLiteral(
        "Пароль здесь не хранится: его берёт из файла паролей PostgreSQL (~/.pgpass) "
        "или из файла служб (~/.pg_service.conf).\n"
        "Изменение вступает в силу после перезапуска программы."));
    connect(cboxDbEngine, &QComboBox::currentIndexChanged, this, [this] { cboxDbEngineChange(); });
    return page;
}

void TFormOptions::cboxDbEngineChange()
{
    const bool server = cboxDbEngine->currentIndex() == 1;
    for (QWidget *w : std::initializer_list<QWidget *> { edDbHost, edDbPort, edDbName, edDbUser })
        w->setEnabled(server);
}

void TFormOptions::databaseControlsFrom(const DatabaseSettings &settings)
{
    cboxDbEngine->setCurrentIndex(settings.isServer() ? 1 : 0);
    edDbHost->setText(settings.host);
    edDbPort->setValue(settings.port);
    edDbName->setText(settings.name);
    edDbUser->setText(settings.user);
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
