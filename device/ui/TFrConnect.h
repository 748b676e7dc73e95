#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TOpros_ZMX;

// The link panel of the service page: port and speed choices, the connect
// button and two state labels. The connect always runs at 38400 bit/s with
// the 1200 bit/s fallback; the speed list and the check box only show the
// choices remembered in the program's settings (applyChoice).
class TFrConnect : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FrameWidth = 210;
    static constexpr int FrameHeight = 314;

    explicit TFrConnect(QWidget *parent = nullptr);

    // The thread that owns the link; without one every connect fails.
    void setOpros(TOpros_ZMX *opros) { m_opros = opros; }

    static constexpr int FastSpeedIndex = 5; // "38400"

    // Selects the remembered entries: indexes into the port and speed lists
    // (beyond a list: nothing selected) and the check box (0 off, 2 undecided,
    // anything else on).
    void applyChoice(int portIndex, int speedIndex, int fastSpeed);

    // An attempt run elsewhere (the program's connect sequence): the panel
    // shows the port and speed, "---" and a disabled button until endAttempt
    // shows the outcome. False while another attempt runs.
    bool beginAttempt(const QString &port, const QString &speed);
    // portError: why the port could not be used (the thread's PortError),
    // shown under the button; empty when the port was fine.
    void endAttempt(int result, const QString &portError = QString());

    // What the thread found later: the port's reason changed (empty: fine
    // again), or it connected by itself to the port it kept trying.
    void showPortError(const QString &portError);
    void showConnected();

    // -1 after construction and during an attempt; then what ConnectPort
    // returned: 0 connected, -1 no link.
    int ConnectResult = -1;

    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cbPort = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cbSpeed = nullptr;
    QCheckBox *cbFastSpeed = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *labPortStatus = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *labZMStatus = nullptr;
    QPushButton *btnInitPort = nullptr;
    // Why the port failed ("Порт занят другой программой"); empty otherwise.
    QLabel *labPortError = nullptr;

public slots:
    // Connects to the port typed or chosen in cbPort. Returns when the attempt
    // is over; meanwhile the window keeps painting and its timers run.
    void btnInitPortClick();

private:
    void buildView();

    TOpros_ZMX *m_opros = nullptr;
    bool m_connecting = false;
};
