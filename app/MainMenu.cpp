#include "app/MainMenu.h"

#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

MainMenu::MainMenu(QMainWindow *window)
    : QObject(window)
    , m_window(window)
{
    QMenuBar *bar = window->menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));

    QMenu *file = addMenu("N1", QStringLiteral("Файл"));
    // Enabled until the first mode command; the diagnostic mode disables them.
    NOpen = addItem(file, "NOpen", QStringLiteral("Открыть..."));
    NSaveAs = addItem(file, "NSaveAs", QStringLiteral("Сохранить как..."));
    file->addSeparator();
    NExit = addItem(file, "NExit", QStringLiteral("Выход"));

    QMenu *measure = addMenu("N10", QStringLiteral("Измерения"));
    NStartDiagnose = addItem(measure, "NStartDiagnose", QStringLiteral("Диагностика выхлопа"));
    QMenu *data = measure->addMenu(QStringLiteral("Данные"));
    data->setObjectName(QStringLiteral("N2"));
    NDannyePriem = addItem(data, "NDannyePriem", QStringLiteral("Восстановить связь"));
    NDannyeStop = addItem(data, "NDannyeStop", QStringLiteral("Остановить прием"));

    QMenu *view = addMenu("N21", QStringLiteral("Вид"));
    NVid = addItem(view, "NVid", QStringLiteral("Доп. параметры"));
    NVid->setVisible(false);
    NPropan = addItem(view, "NPropan", QStringLiteral("Пропан"));
    NPropan->setCheckable(true);
    NGostLimits = addItem(view, "NGostLimits", QStringLiteral("Границы ГОСТ"));
    NGostLimits->setCheckable(true);
    NGostLimits->setChecked(true);

    QMenu *mode = addMenu("N14", QStringLiteral("Режим"));
    m_modes = new QActionGroup(this);
    NDiscover = addItem(mode, "NDiscover", QStringLiteral("Исследовательский"));
    NDiagnose = addItem(mode, "NDiagnose", QStringLiteral("Диагностический"));
    for (QAction *item : { NDiscover, NDiagnose }) {
        item->setCheckable(true);
        m_modes->addAction(item);
    }
    NDiagnose->setChecked(true);

    QMenu *database = addMenu("N4", QStringLiteral("База данных"));
    N5 = addItem(database, "N5", QStringLiteral("Модели автомобилей"));
    NResults = addItem(database, "NResults", QStringLiteral("Результаты измерений"));

    QMenu *settings = addMenu("N3", QStringLiteral("Настройки"));
    NDiapazon = addItem(settings, "NDiapazon", QStringLiteral("Дапазоны..."));
    NOptions = addItem(settings, "NOptions", QStringLiteral("Общие..."));

    QMenu *commands = addMenu("N11", QStringLiteral("Команды"));
    addOff(commands, "N12", QStringLiteral("Прием данных"));
    addOff(commands, "N23", QStringLiteral("Отладочный режим работы"));
    N13 = addItem(commands, "N13", QStringLiteral("Компрессор "));
    addOff(commands, "N22", QStringLiteral("Полная коррекция нуля"));
    addOff(commands, "N17", QStringLiteral("Короткая коррекция нуля"));
    addOff(commands, "N26", QStringLiteral("Пропан / Гексан"));
    addOff(commands, "N27", QStringLiteral("Автокоррекция дрейфа"));
    addOff(commands, "N28", QStringLiteral("Отображение газов / отношений"));
    addOff(commands, "N29", QStringLiteral("Заморозка отображения"));

    // Never put on the bar: the window holds the items, so their function
    // keys work while the menu stays out of sight.
    Mode1 = new QMenu(QStringLiteral("Mode"), window);
    Mode1->setObjectName(QStringLiteral("Mode1"));
    auto addStep = [&](const char *name, const QString &caption, Qt::Key key) {
        QAction *item = addItem(Mode1, name, caption);
        item->setShortcut(QKeySequence(key));
        item->setShortcutContext(Qt::WindowShortcut);
        window->addAction(item);
        return item;
    };
    KorZero1 = addStep("KorZero1", QStringLiteral("Kor Zero"), Qt::Key_F1);
    MinRotate1 = addStep("MinRotate1", QStringLiteral("Min Rotate"), Qt::Key_F2);
    MaxRotate1 = addStep("MaxRotate1", QStringLiteral("Max Rotate"), Qt::Key_F3);
    Report1 = addStep("Report1", QStringLiteral("Report"), Qt::Key_F4);
    ObdRead1 = addStep("ObdRead1", QStringLiteral("OBD Read"), Qt::Key_F5);

    QMenu *help = addMenu("N7", QStringLiteral("Справка"));
    NHelp = addItem(help, "NHelp", QStringLiteral("Справка"));
    NZelmorInfo = addItem(help, "NZelmorInfo", QStringLiteral("Zelmor"));
    NAbout = addItem(help, "NAbout", QStringLiteral("О программе"));
}

QMenu *MainMenu::addMenu(const char *name, const QString &caption)
{
    QMenu *menu = m_window->menuBar()->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction *MainMenu::addItem(QMenu *menu, const char *name, const QString &caption, bool enabled)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    item->setEnabled(enabled);
    return item;
}

QAction *MainMenu::addOff(QMenu *menu, const char *name, const QString &caption)
{
    return addItem(menu, name, caption, false);
}
