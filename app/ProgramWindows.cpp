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
    m_signals.reset();
    m_main.reset();
}

void ProgramWindows::endOnStopSignals()
{
    m_signals = std::make_unique<ShutdownSignals>();
    QObject::connect(m_signals.get(), &ShutdownSignals::shutdownRequested, m_main.get(), [this] {
        m_main->closeWithoutQuestion();
        QCoreApplication::quit();
    });
}
