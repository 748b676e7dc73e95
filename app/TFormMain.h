#pragma once

#include "app/OperationTicker.h"
#include "app/StatusBlink.h"
#include "app/TestState.h"
#include "database/ZelmorDatabase.h"

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>

class DiagnosePage;
class EmissionTest;
class GASE_GRAPH;
class MainMenu;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTimer;
class SecondaryPages;
class Settings;
class TFormAboutProg;
class TFormAboutZM;
class TFormDiap;
class TFormOptions;
class TFormModels;
class TFormReports;
class TFormSelectCar;
class TFrConnect;
class TOpros_ZMX;

// The main window: the page control with the measuring page shown, the
// timers that bring the instrument's data to the screen and the start-up of
// the whole program when it is first shown. The emission test, the pages and
// the menu live in their own classes; the window connects them.
class TFormMain : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int WindowWidth = 1024;
    static constexpr int WindowHeight = 768;

    explicit TFormMain(QWidget *parent = nullptr);
    ~TFormMain() override;

    // The windows created after this one (process start); any may be null
    // while its piece is missing, and what needs it says so when used.
    struct Dialogs
    {
        TFormOptions *FormOptions = nullptr;
        TFormSelectCar *FormSelectCar = nullptr;
        TFormModels *FormModels = nullptr;
        TFormReports *FormReports = nullptr;
        TFormAboutZM *FormAboutZM = nullptr;
        TFormAboutProg *FormAboutProg = nullptr;
        TFormDiap *FormDiap = nullptr;
    };
    void setDialogs(const Dialogs &dialogs);
    const Dialogs &dialogs() const { return m_dialogs; }

    // The connect sequence: connect, identify the instrument, start polling.
    int ConnectDevice();

    // Closes the window without asking (a stop request from the system).
    void closeWithoutQuestion();

    bool isStartupFinished() const { return m_startupFinished; }
    // Errors of start-up steps, in the order they happened.
    QStringList startupErrors() const { return m_startupErrors; }

    TestState State;
    ZelmorDatabase Database;
    std::unique_ptr<TOpros_ZMX> Opros;
    std::unique_ptr<GASE_GRAPH> GasGraph;
    EmissionTest *Test = nullptr;

    QTabWidget *Tabs = nullptr;
    DiagnosePage *tabDiagnose = nullptr;
    SecondaryPages *Pages = nullptr;
    MainMenu *Menu = nullptr;
    TFrConnect *ConnectModule = nullptr;
    QTimer *TimerStatus = nullptr;
    QTimer *TimerOperation = nullptr;

    QLineEdit *edModel() const;
    QLineEdit *edGosNum() const;
    QLabel *labZMStatus() const;
    QLabel *labDStatus() const;

signals:
    // FormShow has run all its steps (the connect included).
    void startupFinished();

public slots:
    void TimerStatusTimer();
    void TimerOperationTimer();
    void UpdateGasGraph();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow();
    void FormClose();
    void createGasGraph();
    void applyTick(const OperationTick &tick);
    void updateGasGraph(const ZmxSnapshot &snapshot);
    void connectMenu();
    void connectSteps();
    void runStartupStep(const std::function<void()> &step);
    void showStartupErrors();
    void NExitClick();
    // False, with a message saying why, while the database could not be opened.
    bool requireDatabase();
    void showModal(QWidget *dialog, const QString &missing);
    void loadSettings();
    Settings &ownSettings();

    Dialogs m_dialogs;
    std::unique_ptr<Settings> m_ownSettings;
    OperationTicker m_ticker;
    StatusBlink m_blink;
    QStringList m_startupErrors;
    QString m_databaseError;
    bool m_shownOnce = false;
    bool m_startupFinished = false;
    bool m_closed = false;
    bool m_procedureActive = false;
};
