#pragma once

#include "app/EmissionProcedureControls.h"

#include <QWidget>
#include <array>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class TfrGraph;
class TfrGraphG;

// The measuring page "Diag": the side panel with the test steps, the vehicle
// and the instrument's state, the five gas bars, the three large displays with
// their gauges and the status line. Fixed positions inside the 1024 x 768
// window; the page only lays the controls out, the window and the emission
// test give them their behaviour.
class DiagnosePage : public QWidget
{
    Q_OBJECT

public:
    explicit DiagnosePage(QWidget *parent = nullptr);

    // Colours the background black (done when the window is first shown).
    void setBlackBackground();
    // The controls the emission test shows itself on; the research page's
    // status line is not on this page and stays null.
    EmissionProcedureControls emissionControls() const;

    QFrame *PanelDiagnose = nullptr;
    QFrame *PanelMeasure = nullptr;

    QGroupBox *GroupOperations = nullptr;
    QPushButton *btnZero = nullptr;
    QPushButton *btnMinRatio = nullptr;
    QPushButton *btnMaxRatio = nullptr;
    QPushButton *btnReport = nullptr;
    QPushButton *btnObd = nullptr; // F5: read the vehicle's own diagnosis
    QFrame *ShapeZero = nullptr;
    QFrame *ShapeMinRatio = nullptr;
    QFrame *ShapeMaxRatio = nullptr;
    QFrame *Shape8 = nullptr;
    QFrame *ShapeObd = nullptr;
    QLabel *OKZero = nullptr;
    QLabel *OKMinRatio = nullptr;
    QLabel *OKMaxRatio = nullptr;
    QLabel *OKReport = nullptr;
    QProgressBar *MainProgress = nullptr;

    QGroupBox *GroupVehicle = nullptr;
    QLineEdit *edModel = nullptr;
    QLineEdit *edGosNum = nullptr;

    QGroupBox *GroupZelmor = nullptr;
    QLabel *labTimeName = nullptr;
    QLabel *labWorkTime = nullptr;
    QLabel *labPressure = nullptr;
    QLabel *labTermF = nullptr;
    QLabel *labTermQ = nullptr;

    // The vehicle's own diagnosis read through the OBD-II adapter.
    QGroupBox *GroupObd = nullptr;
    QLabel *labObdDiagnosis = nullptr;

    QLineEdit *edOK = nullptr;
    QLineEdit *edD = nullptr;
    QLineEdit *edReal = nullptr;
    QPushButton *Button3 = nullptr;

    std::array<TfrGraph *, 5> frGraph {};
    QFrame *panPropan = nullptr;

    QLabel *labTax = nullptr, *labTax1 = nullptr, *labTax2 = nullptr, *labTax3 = nullptr;
    QLabel *labTm = nullptr, *labTm1 = nullptr, *labTm2 = nullptr, *labTm3 = nullptr;
    QLabel *labLambda = nullptr, *labLambda1 = nullptr, *labLambda2 = nullptr,
           *labLambda3 = nullptr;
    std::array<TfrGraphG *, 3> frGraphG {};
    // "OBD" beside "Tах" and "Тм" while the value comes from the vehicle.
    QLabel *labTaxSource = nullptr;
    QLabel *labTmSource = nullptr;

    QLabel *labZMStatus = nullptr;

private:
    void buildSidePanel();
    void buildOperations();
    void buildVehicle();
    void buildInstrument();
    void buildObd();
    void buildGraphs();
    void buildDisplays();
    void buildStatusLine();
};
