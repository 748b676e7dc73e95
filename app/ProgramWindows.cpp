#include "app/ProgramWindows.h"

#include "app/ShutdownSignals.h"
#include "app/TFormAboutProg.h"
#include "app/TFormAboutZM.h"
#include "app/TFormMain.h"
#include "config/ui/TFormDiap.h"
#include "config/ui/TFormOptions.h"
#include "database/ui/TFormModels.h"
#include "database/ui/TFormReports.h"
#include "database/ui/TFormSelectCar.h"

#include <QCoreApplication>

ProgramWindows::ProgramWindows()
{
    m_main = std::make_unique<TFormMain>();
    TFormMain *main = m_main.get();

    TFormMain::Dialogs d;
    d.FormOptions = new TFormOptions(main);
    d.FormOptions->setObjectName(QStringLiteral("FormOptions"));
    d.FormSelectCar = new TFormSelectCar(&main->database(), main);
    d.FormSelectCar->setObjectName(QStringLiteral("FormSelectCar"));
    d.FormModels = new TFormModels(&main->database(), main);
    d.FormModels->setObjectName(QStringLiteral("FormModels"));
    d.FormReports = new TFormReports(&main->database(), main);
    d.FormReports->setObjectName(QStringLiteral("FormReports"));
    d.FormAboutZM = new TFormAboutZM(main);
    d.FormAboutProg = new TFormAboutProg(main);
    d.FormDiap = new TFormDiap(main);
    d.FormDiap->setObjectName(QStringLiteral("FormDiap"));
    main->setDialogs(d);
}

ProgramWindows::~ProgramWindows()
{
    // The main window (and with it the database and the polling thread) goes
    // first; stop requests keep being caught until everything is gone.
    m_main.reset();
    m_signals.reset();
}

void ProgramWindows::endOnStopSignals()
{
    m_signals = std::make_unique<ShutdownSignals>();
    TFormMain *main = m_main.get();
    QObject::connect(m_signals.get(), &ShutdownSignals::shutdownRequested, main, [main] {
        // A repeated request finds the window closed already: nothing more to do.
        if (main->isVisible())
            main->closeWithoutQuestion();
        QCoreApplication::quit();
    });
}
