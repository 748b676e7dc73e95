#pragma once

class QAbstractButton;
class QLabel;
class QLineEdit;
class QProgressBar;
class QWidget;

// The controls of the measuring page that the emission test shows itself on. The main
// window owns them; the test only changes their look and texts.
struct EmissionProcedureControls
{
    // The four step buttons of the group "Операции" and the rectangles under them.
    QAbstractButton *btnZero = nullptr;
    QAbstractButton *btnMinRatio = nullptr;
    QAbstractButton *btnMaxRatio = nullptr;
    QAbstractButton *btnReport = nullptr;
    QWidget *ShapeZero = nullptr;
    QWidget *ShapeMinRatio = nullptr;
    QWidget *ShapeMaxRatio = nullptr;
    QWidget *Shape8 = nullptr;
    // F5, reading the vehicle's own diagnosis, and where it is shown.
    QAbstractButton *btnObd = nullptr;
    QWidget *ShapeObd = nullptr;
    QLabel *labObdDiagnosis = nullptr;
    // Check marks of finished steps; OKReport is never shown.
    QWidget *OKZero = nullptr;
    QWidget *OKMinRatio = nullptr;
    QWidget *OKMaxRatio = nullptr;
    QWidget *OKReport = nullptr;
    QProgressBar *MainProgress = nullptr;
    // The vehicle: model name and registration number.
    QLineEdit *edModel = nullptr;
    QLineEdit *edGosNum = nullptr;
    // Status lines of the measuring and the research page.
    QLabel *labZMStatus = nullptr;
    QLabel *labDStatus = nullptr;
};
