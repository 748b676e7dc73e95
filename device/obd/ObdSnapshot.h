#pragma once

#include "device/MsClock.h"
#include "device/Transport.h"

#include <QString>

#include <cstdint>

// Where the OBD link stands, from "not used" to "the vehicle answers".
enum class ObdState {
    Off, // no port chosen
    NoPort, // the port cannot be opened (missing, taken, no access); tried again
    Connecting, // talking to the adapter: line speed, reset, settings
    NoAdapter, // nothing on the port answers as an adapter; tried again
    NoVehicle, // the adapter answers, the vehicle does not (ignition off, no OBD); tried again
    Online, // the vehicle answers
};

// Everything the OBD link publishes, copied out in one piece under its lock.
struct ObdSnapshot
{
    ObdState state = ObdState::Off;
    QString portName;
    // Why the port cannot be used ("порт не найден", ...); None while it works.
    PortProblem portProblem = PortProblem::None;
    // What the adapter or the vehicle last said instead of data ("NO DATA",
    // "UNABLE TO CONNECT", "?"), or what did not add up.
    QString lastRemark;

    // The adapter: the line speed it answered at, its reset text
    // ("ELM327 v1.5", whatever a clone claims), the settings it refused
    // ("ATS0" on old versions).
    int lineSpeed = 0;
    QString adapterVersion;
    QString refusedSettings;

    // The vehicle: the protocol the adapter found (its ATDPN answer "A6",
    // the number and the standard's name) and the PIDs 01..20 it supports.
    QString protocolCode;
    int protocolNumber = 0;
    QString protocolName;
    uint32_t supportedPids = 0;

    // The last engine speed (mode 01 PID 0C) and when it came (MsClock);
    // rpmUpdates counts every new value, so a reader sees whether it moved.
    bool hasRpm = false;
    double rpm = 0;
    uint32_t rpmAtMs = 0;
    uint64_t rpmUpdates = 0;
    // The last coolant temperature (mode 01 PID 05).
    bool hasCoolant = false;
    int coolantC = 0;
    uint32_t coolantAtMs = 0;

    // A diagnosis read was asked for and is not finished yet.
    bool diagnosisPending = false;
    // A finished read waits for takeDiagnosis().
    bool diagnosisReady = false;

    // Exchanges since the port was chosen: answered, answered with a remark
    // instead of data, not answered at all.
    uint64_t answers = 0;
    uint64_t remarks = 0;
    uint64_t timeouts = 0;

    // The engine speed is fresh enough to show: the vehicle answers and the
    // value is at most `maxAgeMs` old at `nowMs`.
    bool rpmFresh(uint32_t nowMs, uint32_t maxAgeMs) const
    {
        return state == ObdState::Online && hasRpm && MsClock::elapsed(rpmAtMs, nowMs) <= maxAgeMs;
    }
    // One line for the operator: "на связи", "автомобиль не отвечает (NO DATA)", ...
    QString stateText() const;
};
