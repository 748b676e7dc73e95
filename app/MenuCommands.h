#pragma once

#include "app/MainWindowParts.h"

#include <QObject>
#include <functional>

class QWidget;

// The commands of the main window's menu, one handler per item, named after
// the item. connectMenu() ties every item (and the step buttons with their
// F1 … F4 items) to its handler; a feature that adds an item adds its handler
// here and one line there.
class MenuCommands : public QObject
{
    Q_OBJECT

public:
    MenuCommands(const MainWindowParts &parts, QObject *parent = nullptr);

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

    MainWindowParts m_parts;
    DocumentOpener m_manualOpener;
};
