#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
struct ObdSnapshot;

// The OBD-II adapter's panel of the service page, under the instrument's
// link panel: the port, the link's state, the adapter's version text and line
// speed, the vehicle protocol it found, the last engine speed and coolant
// temperature and the exchange counters. It only shows what the OBD link
// publishes; the main window hands it each snapshot.
class TFrObd : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FrameWidth = 210;
    static constexpr int FrameHeight = 260;

    explicit TFrObd(QWidget *parent = nullptr);

    // The adapter is not in use ("[OBD] Enabled" off): the panel says so.
    void showUnused();
    void showSnapshot(const ObdSnapshot &snapshot);

    QGroupBox *GroupObd = nullptr;
    QLabel *labObdPort = nullptr;
    QLabel *labObdState = nullptr;
    QLabel *labObdAdapter = nullptr;
    QLabel *labObdProtocol = nullptr;
    QLabel *labObdRpm = nullptr;
    QLabel *labObdCoolant = nullptr;
    QLabel *labObdExchanges = nullptr;

private:
    enum Place { Beside, Below };
    QLabel *addRow(
        const char *name, const QString &caption, int top, int lines = 1, Place place = Beside);
    void setTexts(const QStringList &texts);
};
