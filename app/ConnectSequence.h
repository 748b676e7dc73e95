#pragma once

#include <QPointer>
#include <QString>

class LinkWatch;
class QLabel;
class TFormAboutZM;
class TFrConnect;
class TOpros_ZMX;
struct TestState;

// The connect sequence of the main window: connects to the instrument on the
// chosen port, reads its identity into the instrument box and the test state,
// and starts continuous reception in every case.
class ConnectSequence
{
public:
    static constexpr int Repeat = 1;

    ConnectSequence(TOpros_ZMX &thread, TestState &state);

    // The instrument box (may be null before it is created).
    void setAboutBox(TFormAboutZM *box) { m_about = box; }
    // The link panel of the service page, which shows the port, the speed and
    // the outcome of the attempt (may be null).
    void setLinkPanel(TFrConnect *panel, const QString &speed);
    // Told the outcome, to follow the port afterwards (may be null).
    void setLinkWatch(LinkWatch *watch) { m_watch = watch; }

    // Always returns 0: the outcome of the attempt is shown on the link
    // panel and in the instrument box, and reception is requested either way.
    int run(const QString &portName);

    // The instrument's identity in the box and the test state (the serial
    // number goes into the reports).
    static void showInstrument(
        TFormAboutZM *box, TestState &state, quint16 serialNumber, quint16 firmwareVersion);

private:
    int connect(const QString &portName);

    TOpros_ZMX &m_thread;
    TestState &m_state;
    TFormAboutZM *m_about = nullptr;
    LinkWatch *m_watch = nullptr;
    QPointer<TFrConnect> m_panel;
    QString m_speed;
};
