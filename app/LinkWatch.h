#pragma once

#include "device/ZmxSnapshot.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// What the link panel and the instrument box show of the port, followed from
// the thread's snapshot after a connect. A port another program holds is
// tried again by the thread every 250 ms; when it connects and reads the
// constants by itself, the panel and the box learn it here.
class LinkWatch
{
public:
    struct Instrument
    {
        quint16 serialNumber = 0;
        quint16 firmwareVersion = 0;
    };

    // What one look at the snapshot changed; empty optionals change nothing.
    struct Change
    {
        // Why the port cannot be used now; empty when it is fine again.
        std::optional<QString> portError;
        // The instrument box's "Связь:" value.
        std::optional<QString> linkText;
        // The thread connected by itself to the port it kept trying.
        bool connected = false;
        // The instrument's constants, read by that connect or, when they
        // could not be read at connect, later while readings came.
        std::optional<Instrument> instrument;

        bool any() const { return portError || linkText || connected || instrument; }
    };

    // "Нет связи с прибором." with the port's reason when there is one.
    static QString noLinkText(const QString &portError);
    static QString connectedText(const QString &portName);

    // A connect attempt ended with `result` (TOpros_ZMX::Connected or not);
    // `after` is the snapshot taken right after it.
    void connectEnded(const QString &portName, int result, const ZmxSnapshot &after);
    // The connect sequence's ReadConstants() after a connect gave `result`.
    void constantsReadAtConnect(int result);
    Change look(const ZmxSnapshot &snapshot);

private:
    QString m_port;
    QString m_shownError;
    bool m_linked = false;
    // The last connect failed on the port and the thread keeps trying it.
    bool m_waiting = false;
    // The connect read no constants; the thread asks again.
    bool m_constantsMissing = false;
};
