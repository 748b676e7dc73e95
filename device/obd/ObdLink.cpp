#include "device/obd/ObdLink.h"

#include "common/AppLog.h"
#include "device/MsClock.h"
#include "device/PortProblem.h"
#include "device/SerialTransport.h"
#include "device/obd/ObdDecode.h"

#include <chrono>

namespace {

constexpr int PidCoolant = 0x05;
constexpr int PidEngineSpeed = 0x0C;

QString text(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

QString ObdSnapshot::stateText() const
{
    switch (state) {
    case ObdState::Off:
        return QStringLiteral("адаптер OBD не выбран");
    case ObdState::NoPort:
        return QStringLiteral("порт адаптера OBD ") + portName + QStringLiteral(": ")
            + portProblemText(portProblem);
    case ObdState::Connecting:
        return adapterVersion.isEmpty() ? QStringLiteral("подключение к адаптеру OBD...")
                                        : QStringLiteral("поиск автомобиля...");
    case ObdState::NoAdapter:
        return QStringLiteral("адаптер OBD не отвечает");
    case ObdState::NoVehicle:
        return QStringLiteral("автомобиль не отвечает")
            + (lastRemark.isEmpty() ? QString()
                                    : QStringLiteral(" (") + lastRemark + QLatin1Char(')'));
    case ObdState::Online:
        return QStringLiteral("автомобиль на связи");
    }
    return QString();
}

ObdLink::ObdLink(std::unique_ptr<Transport> port, LinkLog::Writer log)
    : m_port(port ? std::move(port) : std::make_unique<SerialTransport>())
    , m_log(std::move(log))
    , m_portLog([this](const QString &line) { this->log(QStringLiteral("obd ") + line); })
{
    m_thread = std::thread([this] { run(); });
}

ObdLink::~ObdLink()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_wake.notifyAll();
    }
    m_thread.join();
    m_port->close();
}

void ObdLink::setPort(const QString &portName)
{
    std::lock_guard lock(m_mutex);
    if (portName.trimmed() == m_wantedPort)
        return;
    m_wantedPort = portName.trimmed();
    ++m_wantedGeneration;
    m_wake.notifyAll();
}

ObdSnapshot ObdLink::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_pub;
}

void ObdLink::requestDiagnosis()
{
    std::lock_guard lock(m_mutex);
    if (m_diagnosisWanted)
        return;
    m_diagnosisWanted = true;
    m_pub.diagnosisPending = true;
    m_pub.diagnosisReady = false;
    m_wake.notifyAll();
}

bool ObdLink::takeDiagnosis(VehicleDiagnosis *diagnosis)
{
    std::lock_guard lock(m_mutex);
    if (!m_pub.diagnosisReady)
        return false;
    m_pub.diagnosisReady = false;
    if (diagnosis)
        *diagnosis = m_diagnosis;
    return true;
}

// ------------------------------------------------------------ thread body

bool ObdLink::givingUp() const
{
    std::lock_guard lock(m_mutex);
    return m_quit || m_wantedGeneration != m_generation;
}

bool ObdLink::diagnosisWanted() const
{
    std::lock_guard lock(m_mutex);
    return m_diagnosisWanted;
}

bool ObdLink::pause(uint32_t ms)
{
    std::unique_lock lock(m_mutex);
    m_wake.waitFor(lock, std::chrono::milliseconds(ms),
        [this] { return m_quit || m_wantedGeneration != m_generation || m_diagnosisWanted; });
    return !m_quit && m_wantedGeneration == m_generation;
}

void ObdLink::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        m_generation = m_wantedGeneration;
        const QString name = m_wantedPort;
        lock.unlock();
        m_port->close();
        publish([&name](ObdSnapshot &p) {
            // What was learnt belongs to the port left behind.
            ObdSnapshot fresh;
            fresh.portName = name;
            fresh.diagnosisPending = p.diagnosisPending;
            fresh.diagnosisReady = p.diagnosisReady;
            p = fresh;
        });
        m_portName = name;
        if (name.isEmpty()) {
            enterState(ObdState::Off);
            failWantedDiagnosis();
            lock.lock();
            m_wake.wait(lock, [this] {
                return m_quit || m_wantedGeneration != m_generation || m_diagnosisWanted;
            });
            continue;
        }
        usePort(name);
        lock.lock();
    }
}

void ObdLink::usePort(const QString &name)
{
    while (!givingUp()) {
        if (!m_port->open(name.toStdString())) {
            const PortProblem problem = m_port->problem();
            publish([problem](ObdSnapshot &p) { p.portProblem = problem; });
            m_portLog.portState(problem, name);
            enterState(ObdState::NoPort);
            failWantedDiagnosis();
            pause(PortRetryMs);
            continue;
        }
        publish([](ObdSnapshot &p) { p.portProblem = PortProblem::None; });
        if (m_portLog.problem() != PortProblem::None)
            m_portLog.portReopened(name);
        enterState(ObdState::Connecting);

        ElmSession session(*m_port, [this] { return givingUp(); });
        const ElmSession::Adapter adapter = session.initialize();
        Leave leave = Leave::AdapterSilent;
        if (adapter.result == ElmSession::Result::Answered) {
            std::string refused;
            for (const std::string &setting : adapter.refused)
                refused += (refused.empty() ? "" : " ") + setting;
            publish([&](ObdSnapshot &p) {
                p.lineSpeed = adapter.lineSpeed;
                p.adapterVersion = text(adapter.version);
                p.refusedSettings = text(refused);
            });
            log(QStringLiteral("obd adapter %1 at %2 bit/s (%3)")
                    .arg(text(adapter.version))
                    .arg(adapter.lineSpeed)
                    .arg(name));
            leave = talk(session);
        } else if (adapter.result == ElmSession::Result::PortLost) {
            leave = Leave::PortLost;
        } else if (adapter.result == ElmSession::Result::GaveUp) {
            leave = Leave::GiveUp;
        }
        m_port->close();

        switch (leave) {
        case Leave::GiveUp:
            return;
        case Leave::PortLost:
            publish([](ObdSnapshot &p) { p.portProblem = PortProblem::Lost; });
            m_portLog.portState(PortProblem::Lost, name);
            enterState(ObdState::NoPort);
            failWantedDiagnosis();
            pause(PortRetryMs);
            break;
        case Leave::AdapterSilent:
            enterState(ObdState::NoAdapter);
            failWantedDiagnosis();
            pause(AdapterRetryMs);
            break;
        }
    }
}

ObdLink::Leave ObdLink::talk(ElmSession &session)
{
    using R = ElmSession::Result;
    const auto leaveFor = [](R r) {
        return r == R::PortLost ? Leave::PortLost
            : r == R::GaveUp    ? Leave::GiveUp
                                : Leave::AdapterSilent;
    };
    bool online = false;
    uint32_t supported = 0;
    int vehicleFailures = 0;
    int timeouts = 0;
    uint32_t nextCoolantMs = MsClock::now();
    uint32_t nextRpmMs = MsClock::now();
    while (!givingUp()) {
        if (!online) {
            const ElmSession::Vehicle vehicle = session.findVehicle();
            count(vehicle.request);
            if (vehicle.request.result != R::Answered)
                return leaveFor(vehicle.request.result);
            if (!vehicle.request.ok()) {
                enterState(ObdState::NoVehicle, text(vehicle.request.remark));
                failWantedDiagnosis();
                if (!pause(VehicleRetryMs))
                    return Leave::GiveUp;
                continue;
            }
            online = true;
            supported = vehicle.supportedPids;
            vehicleFailures = 0;
            const int number = obd::protocolNumber(vehicle.protocolCode);
            publish([&](ObdSnapshot &p) {
                p.protocolCode = text(vehicle.protocolCode);
                p.protocolNumber = number;
                p.protocolName = text(obd::protocolName(number));
                p.supportedPids = supported;
            });
            enterState(ObdState::Online);
        }

        if (diagnosisWanted()) {
            R last = R::Answered;
            finishDiagnosis(readDiagnosis(session, last));
            if (last != R::Answered)
                return leaveFor(last);
            continue;
        }

        std::string what = obd::RequestEngineSpeed;
        const bool coolant = obd::pidSupported(supported, PidCoolant);
        if (const uint32_t early = MsClock::remaining(nextRpmMs, MsClock::now())) {
            if (!pause(early))
                return Leave::GiveUp;
            if (diagnosisWanted())
                continue;
        }
        nextRpmMs = MsClock::now() + RpmEveryMs;
        if (!obd::pidSupported(supported, PidEngineSpeed)) {
            // Nothing to ask for all the time: look now and then.
            if (!pause(KeepAliveMs))
                return Leave::GiveUp;
            if (diagnosisWanted())
                continue;
            what = coolant ? obd::RequestCoolant : obd::RequestSupportedPids;
        } else if (coolant && !MsClock::before(MsClock::now(), nextCoolantMs)) {
            what = obd::RequestCoolant;
            nextCoolantMs = MsClock::now() + CoolantEveryMs;
        }
        const ElmSession::Request answer = ask(session, what);
        if (answer.result != R::Answered) {
            if (answer.result != R::Timeout || ++timeouts >= TimeoutsBeforeAdapterLost)
                return leaveFor(answer.result);
            continue;
        }
        timeouts = 0;
        if (poll(what, answer)) {
            vehicleFailures = 0;
            continue;
        }
        if (++vehicleFailures >= FailuresBeforeVehicleLost) {
            online = false;
            enterState(ObdState::NoVehicle, text(answer.remark));
            if (!pause(VehicleRetryMs))
                return Leave::GiveUp;
        }
    }
    return Leave::GiveUp;
}

ElmSession::Request ObdLink::ask(ElmSession &session, const std::string &what)
{
    const ElmSession::Request answer = session.request(what);
    count(answer);
    return answer;
}

void ObdLink::count(const ElmSession::Request &answer)
{
    publish([&answer](ObdSnapshot &p) {
        if (answer.result == ElmSession::Result::Timeout)
            ++p.timeouts;
        else if (answer.ok())
            ++p.answers;
        else if (answer.result == ElmSession::Result::Answered)
            ++p.remarks;
        if (!answer.remark.empty())
            p.lastRemark = text(answer.remark);
    });
}

bool ObdLink::poll(const std::string &what, const ElmSession::Request &answer)
{
    if (!answer.ok())
        return false;
    if (what == obd::RequestEngineSpeed) {
        const auto rpm = obd::engineSpeed(answer.messages);
        if (!rpm)
            return false;
        const uint32_t at = MsClock::now();
        publish([&](ObdSnapshot &p) {
            p.hasRpm = true;
            p.rpm = *rpm;
            p.rpmAtMs = at;
            ++p.rpmUpdates;
        });
        return true;
    }
    if (what == obd::RequestCoolant) {
        const auto coolant = obd::coolantTemperature(answer.messages);
        if (!coolant)
            return false;
        const uint32_t at = MsClock::now();
        publish([&](ObdSnapshot &p) {
            p.hasCoolant = true;
            p.coolantC = *coolant;
            p.coolantAtMs = at;
        });
        return true;
    }
    return obd::supportedPids(answer.messages).has_value();
}

VehicleDiagnosis ObdLink::readDiagnosis(ElmSession &session, ElmSession::Result &last)
{
    VehicleDiagnosis d;
    d.result = VehicleDiagnosis::Result::Failed;
    const ElmSession::Request status = ask(session, obd::RequestMonitorStatus);
    last = status.result;
    std::optional<ObdMonitorStatus> monitors;
    if (status.ok())
        monitors = obd::monitorStatus(status.messages);
    if (!monitors) {
        d.failure = failureText(status);
        return d;
    }
    d.result = VehicleDiagnosis::Result::Read;
    d.status = *monitors;

    const ElmSession::Request codes = ask(session, obd::RequestStoredCodes);
    last = codes.result;
    if (last != ElmSession::Result::Answered)
        return d;
    std::optional<std::vector<std::string>> list;
    if (codes.ok())
        list = obd::storedCodes(codes.messages);
    if (list) {
        d.codesRead = true;
        for (const std::string &code : *list)
            d.codes << text(code);
    } else if (codes.outcome == ElmOutcome::NoData) {
        // Older protocols answer NO DATA when there is no code to send.
        d.codesRead = d.status.codeCount == 0;
    }

    // Not every vehicle gives its VIN; the read stands without it.
    const ElmSession::Request vin = ask(session, obd::RequestVin);
    last = vin.result;
    if (vin.ok()) {
        if (const auto v = obd::vehicleIdentification(vin.messages))
            d.vin = text(*v);
    }
    return d;
}

QString ObdLink::failureText(const ElmSession::Request &request) const
{
    switch (request.result) {
    case ElmSession::Result::Timeout:
        return QStringLiteral("адаптер OBD не отвечает");
    case ElmSession::Result::PortLost:
        return QStringLiteral("порт адаптера OBD: ") + portProblemText(PortProblem::Lost);
    case ElmSession::Result::GaveUp:
        return QStringLiteral("чтение прервано");
    case ElmSession::Result::Answered:
        break;
    }
    switch (request.outcome) {
    case ElmOutcome::Unknown:
        return QStringLiteral("адаптер OBD не понял запрос (?)");
    case ElmOutcome::Garbled:
        return QStringLiteral("неверный ответ автомобиля (") + text(request.remark)
            + QLatin1Char(')');
    default:
        return QStringLiteral("автомобиль не отвечает (") + text(request.remark) + QLatin1Char(')');
    }
}

void ObdLink::finishDiagnosis(const VehicleDiagnosis &diagnosis)
{
    if (diagnosis.read())
        log(QStringLiteral("obd diagnosis read: mil %1, %2 codes")
                .arg(diagnosis.status.milOn ? QStringLiteral("on") : QStringLiteral("off"))
                .arg(diagnosis.codes.size()));
    else
        log(QStringLiteral("obd diagnosis failed"));
    std::lock_guard lock(m_mutex);
    m_diagnosis = diagnosis;
    m_diagnosisWanted = false;
    m_pub.diagnosisPending = false;
    m_pub.diagnosisReady = true;
}

void ObdLink::failWantedDiagnosis()
{
    if (!diagnosisWanted())
        return;
    VehicleDiagnosis d;
    d.result = VehicleDiagnosis::Result::Failed;
    d.failure = snapshot().stateText();
    finishDiagnosis(d);
}

void ObdLink::enterState(ObdState state, const QString &remark)
{
    ObdState before;
    {
        std::lock_guard lock(m_mutex);
        before = m_pub.state;
        m_pub.state = state;
        if (!remark.isEmpty())
            m_pub.lastRemark = remark;
    }
    if (state == before)
        return;
    const ObdSnapshot s = snapshot();
    switch (state) {
    case ObdState::NoAdapter:
        log(QStringLiteral("obd adapter not answering (%1)").arg(m_portName));
        break;
    case ObdState::NoVehicle:
        log(QStringLiteral("obd vehicle not answering: %1").arg(s.lastRemark));
        break;
    case ObdState::Online:
        log(QStringLiteral("obd vehicle answers: protocol %1 %2")
                .arg(s.protocolCode, s.protocolName));
        break;
    case ObdState::Off:
    case ObdState::NoPort:
    case ObdState::Connecting:
        break;
    }
}

void ObdLink::log(const QString &line)
{
    if (m_log)
        m_log(line);
    else
        WriteLog(line);
}
