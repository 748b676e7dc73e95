#pragma once

#include "device/LinkLog.h"
#include "device/MonotonicCondition.h"
#include "device/Transport.h"
#include "device/obd/ElmSession.h"
#include "device/obd/ObdSnapshot.h"
#include "device/obd/VehicleDiagnosis.h"

#include <QString>

#include <memory>
#include <mutex>
#include <thread>

// The link to the vehicle's own computer through an ELM327-compatible
// OBD-II adapter on a serial port (USB or Bluetooth), beside the instrument.
// Like the instrument's polling thread it owns its port on a thread of its
// own and publishes one locked snapshot that the user interface pulls: the
// adapter's and the vehicle's state, the latest engine speed with its time
// and the coolant temperature. Nothing here ever waits for the instrument or
// blocks the caller.
//
// Once a port is set, the thread opens it (a missing or taken port is tried
// again every 250 ms, as the instrument's), finds the adapter, finds the
// vehicle and then asks for the engine speed up to ten times a second (as
// fast as the adapter answers, when it is slower), the coolant temperature
// now and then. A diagnosis read (monitor
// status, stored codes, VIN) is asked for with requestDiagnosis() and taken
// with takeDiagnosis() once the snapshot says it is ready; without an
// adapter or a vehicle the read ends at once as failed, with the reason.
class ObdLink
{
public:
    static constexpr uint32_t PortRetryMs = 250;
    static constexpr uint32_t AdapterRetryMs = 1000;
    static constexpr uint32_t VehicleRetryMs = 1000;
    static constexpr uint32_t CoolantEveryMs = 2000;
    // The engine speed is asked for at most this often: ten values a second
    // are more than the display shows, and a faster pace only loads the
    // adapter's line (a Bluetooth one shared with others) and the machine
    // that also polls the instrument.
    static constexpr uint32_t RpmEveryMs = 100;
    // With neither PID 0C nor 05 the vehicle is still asked something this
    // often, so that a lost vehicle is noticed.
    static constexpr uint32_t KeepAliveMs = 1000;
    static constexpr int FailuresBeforeVehicleLost = 3;
    static constexpr int TimeoutsBeforeAdapterLost = 2;

    // A serial port unless another transport is given; the program's log
    // unless another writer is given.
    explicit ObdLink(std::unique_ptr<Transport> port = {}, LinkLog::Writer log = {});
    // Stops the thread; bounded by one write to the port.
    ~ObdLink();
    ObdLink(const ObdLink &) = delete;
    ObdLink &operator=(const ObdLink &) = delete;

    // The adapter's port ("/dev/rfcomm0", "ttyUSB0", "COM3", a pseudo-terminal
    // path); an empty name closes the port and turns the link off. The same
    // name again changes nothing. Never blocks.
    void setPort(const QString &portName);

    ObdSnapshot snapshot() const;

    // Asks for a diagnosis read; a read already asked for is not asked twice,
    // and a finished one not yet taken is dropped. Never blocks.
    void requestDiagnosis();
    // The finished read, once; false while none is ready.
    bool takeDiagnosis(VehicleDiagnosis *diagnosis);

private:
    enum class Leave { PortLost, AdapterSilent, GiveUp };

    void run();
    void usePort(const QString &name);
    Leave talk(ElmSession &session);
    // One request between diagnosis reads; false when the vehicle did not
    // give what was asked.
    bool poll(const std::string &what, const ElmSession::Request &answer);
    VehicleDiagnosis readDiagnosis(ElmSession &session, ElmSession::Result &last);
    // Sends a vehicle request and counts its outcome in the snapshot.
    ElmSession::Request ask(ElmSession &session, const std::string &what);
    void count(const ElmSession::Request &answer);
    QString failureText(const ElmSession::Request &request) const;

    bool givingUp() const;
    bool diagnosisWanted() const;
    // Waits `ms` unless the thread must give up (false) or a diagnosis read
    // is asked for (true, early).
    bool pause(uint32_t ms);
    void finishDiagnosis(const VehicleDiagnosis &diagnosis);
    // A read asked for ends as failed with the reason the state gives.
    void failWantedDiagnosis();
    void enterState(ObdState state, const QString &remark = {});
    void log(const QString &line);

    template <typename F> void publish(F &&change)
    {
        std::lock_guard lock(m_mutex);
        change(m_pub);
    }

    // Used by the thread alone.
    std::unique_ptr<Transport> m_port;
    LinkLog::Writer m_log;
    LinkLog m_portLog;
    QString m_portName;
    uint64_t m_generation = 0; // of the port the thread works on

    mutable std::mutex m_mutex;
    MonotonicCondition m_wake;
    // Guarded by m_mutex.
    ObdSnapshot m_pub;
    VehicleDiagnosis m_diagnosis;
    bool m_diagnosisWanted = false;
    QString m_wantedPort;
    uint64_t m_wantedGeneration = 0;
    bool m_quit = false;

    std::thread m_thread;
};
