#pragma once

#include "device/Records.h"

#include <QWidget>
#include <QtGlobal>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TOpros_ZMX;
struct ServiceCommandRequest;

// The service command panel: sends any instrument command by hand, once or
// over and over, with its parameters typed in, and shows the link counters,
// the link state and the progress of a running instrument procedure. It never
// exchanges packets itself; it hands requests to the polling thread.
//
// The main window's own requests (menu commands, the zero button, the research
// page) go through RequestOperation and StopCommand of the one panel
// `SendCommand`, so that everything the operator asks of the instrument passes
// one place.
class TFrame_SendCommand : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FrameWidth = 674;
    static constexpr int FrameHeight = 179;
    static constexpr int TimerIntervalMs = 100;
    static constexpr int InputCount = 4;

    explicit TFrame_SendCommand(QWidget *parent = nullptr);

    // Creates the panel inside `area` (the service page's SendCommandArea):
    // whatever stood in the area's layout before is removed, the panel goes to
    // its top left corner and works with `opros`.
    static TFrame_SendCommand *placeInto(QWidget *area, TOpros_ZMX *opros);

    // The thread the panel drives; without one the panel sends nothing.
    void setOpros(TOpros_ZMX *opros) { m_opros = opros; }
    TOpros_ZMX *opros() const { return m_opros; }

    // The main window's request call: the thread takes up `code` with its
    // argument word at its next cycle boundary. Leaves the panel's view alone.
    // Returns 0.
    int RequestOperation(ZmxCommand code, int repeat, quint16 argument);

    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cbCommands = nullptr;
    QCheckBox *cbRepeat = nullptr;
    QPushButton *btnStart = nullptr;
    QLabel *PaintBox1 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *labOutOK = nullptr;
    QLabel *labOutErr = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *labInOK = nullptr;
    QLabel *labInErr = nullptr;
    // Late frames dropped: answers to an earlier command that arrived before
    // the next one went out.
    QLabel *Label10 = nullptr;
    QLabel *labInLate = nullptr;
    QLabel *Label3 = nullptr;
    std::array<QLabel *, InputCount> labIN {}; // labIN1 … labIN4
    std::array<QLineEdit *, InputCount> edIN {}; // edIN1 … edIN4
    // In place of edIN2 for the spline commands: saves the spline read
    // (--ZMX_get_s_vector) or chooses the file to write (--ZMX_set_s_vector).
    QPushButton *btnSplineFile = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *labOUT1 = nullptr;
    QLabel *labOUT2 = nullptr;
    QLabel *labOUT3 = nullptr;
    QLabel *labOUT4 = nullptr;
    QLabel *labOUT11 = nullptr;
    QLabel *labOUT12 = nullptr;
    QLabel *labOUT13 = nullptr;
    QLabel *labOUT14 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *labOUTinfo = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *labOUTcnt = nullptr;
    QProgressBar *progrPrgCnt = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *labStatusText = nullptr;
    QTimer *Timer1 = nullptr;

    // The link state whose icon PaintBox1 shows (-1 before the first tick).
    int shownLinkState() const { return m_shownLinkState; }

public slots:
    // Prepares the parameter fields for the chosen command.
    void cbCommandsChange();
    // Starts the chosen command, or stops the thread while its cycle runs.
    // A parameter that is not a number throws ConversionError (shown by the
    // application's error box) and nothing is sent.
    void btnStartClick();
    // Sends the chosen command once, or over and over with "повторять"
    // ticked (the panel then shows "Стоп" and locks the list).
    void StartCommand();
    // Stops the thread's cycle and returns the panel to idle; also the main
    // window's way to stop data reception.
    void StopCommand();
    // Shows the thread's counters, link state and procedure progress.
    void Timer1Timer();
    // The spline file button: saves the spline read from the instrument in
    // this connection into a file, or puts the chosen file into edIN1 for
    // --ZMX_set_s_vector. Nothing read yet, or a file that cannot be written,
    // throws ZelmorError / IoError (shown by the application's error box).
    void btnSplineFileClick();

public:
    // The chosen command with its typed parameters packed for the thread.
    // Throws ConversionError for a parameter that is not a number, and
    // ZelmorError for a command that would write back what was not read.
    ServiceCommandRequest CollectArguments() const;

    // Asks for a file name (save: for writing); empty when cancelled. A file
    // dialog unless replaced (tests).
    using FileChooser = std::function<QString(QWidget *parent, bool save)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

private:
    void buildView();
    void setRepeating(bool repeating);

    TOpros_ZMX *m_opros = nullptr;
    int m_shownLinkState = -1;
    FileChooser m_chooseFile;
};
