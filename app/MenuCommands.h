#pragma once

#include "app/ProgramDialogs.h"

#include <QObject>
#include <functional>

class DatabaseAccess;
class DiagnosePage;
class DiscoveryPage;
class EmissionProcedureView;
class GASE_GRAPH;
class MainMenu;
class QMainWindow;
class QTabWidget;
class QWidget;
class TFrame_SendCommand;

// The commands of the main window's menu, one handler per item, named after
// the item. connectMenu() ties every item (and the step buttons with their
// F1 … F4 items) to its handler; a feature that adds an item adds its handler
// here and one line there.
class MenuCommands : public QObject
{
    Q_OBJECT

public:
    // What the commands work on; the window owns every part, and the
    // references stay valid for the window's life.
    struct Parts
    {
        QMainWindow &window;
        MainMenu &menu;
        QTabWidget &tabs;
        DiagnosePage &diagnosePage;
        EmissionProcedureView &test;
        DiscoveryPage &discovery;
        // Every request to the instrument passes the service panel.
        TFrame_SendCommand &sendCommand;
        const ProgramDialogs &dialogs;
        DatabaseAccess &database;
        // Null before the start-up made the gas graph and after the window closed.
        std::function<GASE_GRAPH *()> gasGraph;
    };

    MenuCommands(const Parts &parts, QObject *parent = nullptr);

    void connectMenu();

    // Opens a document with the desktop's viewer; true when the viewer took
    // it. Tests replace it.
    using DocumentOpener = std::function<bool(const QString &path)>;
    void setManualOpener(DocumentOpener opener);

    // "Файл"
    void NOpenClick();
    void NSaveAsClick();
    void NExitClick();
    // "Измерения"
    void NStartDiagnoseClick();
    void NDannyePriemClick();
    void NDannyeStopClick();
    // "Вид"
    void NPropanClick(bool checked);
    void NGostLimitsClick(bool checked);
    // "Режим"
    void NDiagnoseClick();
    void NDiscoverClick();
    // "База данных"
    void N5Click();
    void NResultsClick();
    // "Настройки"
    void NDiapazonClick();
    void NOptionsClick();
    // "Команды"
    void N13Click();
    // "Справка"
    void NHelpClick();
    void NZelmorInfoClick();
    void NAboutClick();

private:
    void connectSteps();
    // False, with a message saying why, while the database could not be opened.
    bool requireDatabase();
    void showModal(QWidget *dialog, const QString &missing);

    // Requests to the instrument pass the service panel.
    void requestOperation(int code, int repeat, quint16 argument);
    // Continuous reception of readings again.
    void resumeReception();

    Parts m_parts;
    DocumentOpener m_manualOpener;
};
