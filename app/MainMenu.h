#pragma once

#include <QObject>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;

// The main window's menu bar with the operator's commands, plus the hidden
// menu "Mode" whose F1 … F5 shortcuts run the test steps although the menu is
// never shown. The menu only holds the items; the window connects them.
class MainMenu : public QObject
{
    Q_OBJECT

public:
    explicit MainMenu(QMainWindow *window);

    // "Файл"
    QAction *NOpen = nullptr;
    QAction *NSaveAs = nullptr;
    QAction *NExit = nullptr;
    // "Измерения"
    QAction *NStartDiagnose = nullptr;
    QAction *NDannyePriem = nullptr;
    QAction *NDannyeStop = nullptr;
    // "Вид"
    QAction *NVid = nullptr;
    QAction *NPropan = nullptr;
    QAction *NGostLimits = nullptr;
    // "Режим"
    QAction *NDiscover = nullptr;
    QAction *NDiagnose = nullptr;
    // "База данных"
    QAction *N5 = nullptr;
    QAction *NResults = nullptr;
    // "Настройки"
    QAction *NDiapazon = nullptr;
    QAction *NOptions = nullptr;
    // "Команды"
    QAction *N13 = nullptr;
    // "Mode" (hidden)
    QAction *KorZero1 = nullptr;
    QAction *MinRotate1 = nullptr;
    QAction *MaxRotate1 = nullptr;
    QAction *Report1 = nullptr;
    QAction *ObdRead1 = nullptr; // F5: the vehicle's own diagnosis
    // "Справка"
    QAction *NHelp = nullptr;
    QAction *NZelmorInfo = nullptr;
    QAction *NAbout = nullptr;

    QMenu *Mode1 = nullptr;

private:
    QAction *addItem(QMenu *menu, const char *name, const QString &caption, bool enabled = true);
    QAction *addOff(QMenu *menu, const char *name, const QString &caption);
    QMenu *addMenu(const char *name, const QString &caption);

    QMainWindow *m_window;
    QActionGroup *m_modes = nullptr;
};
