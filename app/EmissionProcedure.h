#pragma once

#include "app/TestState.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class EmissionProcedureDevice;
class GASE_GRAPH;
class ZelmorDatabase;
struct SelectedVehicle;
struct ZmxSnapshot;

// The emission test of one vehicle without its controls: the choice of the
// vehicle, the four operator steps F1 … F4, the collection of readings that
// the operation timer feeds, the means and the stored report row. Each step
// returns what happened and the text to show; EmissionProcedureView shows it.
class EmissionProcedure
{
public:
    // Readiness codes of a speed step.
    static constexpr int Ready = 0;
    static constexpr int NotWarmedUp = -1;
    static constexpr int NoVehicle = -2;

    // The operator's texts of the refusals and questions.
    static QString askNewTestText();
    static QString notWarmedUpText();
    static QString noVehicleText();
    static QString zeroFirstText();
    static QString minSpeedFirstText();
    static QString notFinishedText();
    static QString noInstrumentNumberText();
    static QString zeroCorrectionStatus();
    static QString receivingStatus();
    // Shown when the instrument ends a zero correction with an error but
    // gives no text of its own.
    static QString zeroCorrectionFailedText();

    struct Readiness
    {
        int code = Ready;
        QString refusal; // empty when Ready
    };

    // A speed step's start: running, refused with a text, or silently not
    // started (the instrument sends no readings now).
    struct StepStart
    {
        bool started = false;
        QString refusal;
    };

    struct Progress
    {
        int maximum = 1;
        int value = 0;
        bool operator==(const Progress &) const = default;
    };

    // What one operation timer tick changed, in the order it is shown:
    // the progress, then a finished or failed zero correction, then a
    // finished step.
    struct Tick
    {
        std::optional<Progress> progress;
        bool zeroCorrectionDone = false;
        // The instrument ended the zero correction with this error: F1 may
        // start a new one, the graph shows live values again.
        std::optional<QString> zeroCorrectionError;
        // MinSpeed or RaisedSpeed when that step collected its last reading.
        std::optional<TestOperation> stepDone;
    };

    // F4: what the report step did.
    struct Report
    {
        enum class Kind {
            ShowStored, // stored before: browse that row again
            Refused, // the speed steps are not both done (text)
            Unavailable, // no database
            Failed, // the store failed ("Результат не сохранён: …"); the test
                    // stays as it was and F4 may be pressed again
            Stored, // stored now as row index
        };
        Kind kind = Kind::Unavailable;
        QString text;
        int index = 0;
    };

    EmissionProcedure(TestState &state, EmissionProcedureDevice &device);

    // Parts that exist only later in the main window's life (or not at all in
    // a test); a step that needs a missing one does without it.
    void setDatabase(ZelmorDatabase *database) { m_database = database; }
    void setGasGraph(GASE_GRAPH *graph) { m_graph = graph; }
    // The engine speed from the vehicle's OBD link at this moment, when it
    // answers; a reading takes it instead of the instrument's.
    void setEngineSpeedSource(std::function<std::optional<double>()> source)
    {
        m_engineSpeedSource = std::move(source);
    }
    // The vehicle's diagnosis of this test as it is stored (empty: none).
    void setDiagnosisSource(std::function<QString()> source)
    {
        m_diagnosisSource = std::move(source);
    }

    const TestState &state() const { return m_state; }

    // The vehicle selection: the gas graph shows zeros while it is open.
    void beginVehicleSelection();
    // Ends it. A chosen vehicle starts a new test; a cancelled choice leaves
    // the test as it was before the selection opened, so a running step goes
    // on and the vehicle on the page stays the tested one.
    void endVehicleSelection(const SelectedVehicle *chosen);
    // Starts a new test for this vehicle.
    void applySelectedVehicle(const SelectedVehicle &vehicle);

    // F1: false while the instrument would not take the command.
    bool startZeroCorrection();
    Readiness readiness() const;
    // F2 (MinSpeed) and F3 (RaisedSpeed).
    StepStart startSpeedStep(TestOperation step);
    Report storeReport(const QString &govNumber);
    // After the report browser of a stored row closed: the next test needs a
    // new vehicle.
    void finishReport();

    // Operation timer.
    Tick onReadingsTick(const ZmxSnapshot &snapshot, bool newRecord);
    Tick onProcedureTick(const ZmxSnapshot &snapshot);
    Tick onOtherTick();
    void onLinkLost();

    // Index of the report row stored by the last F4 of this run, 0 before.
    int storedReportIndex() const { return m_storedReportIndex; }
    // Date and time of the first F4 of this test whose store failed, kept
    // for the next F4; invalid when there is none.
    QDateTime pendingStoreTime() const;

    // Means of both speed steps over the readings each collected, in the
    // order of TestMeans.
    static std::array<float, TestState::MeanCount> meansOf(const TestState &state);

    // Where the stored engine speeds came from: SpeedFromObd when every
    // reading of both steps took the vehicle's, SpeedFromInstrument when
    // none did, SpeedMixed when the adapter answered for some readings only
    // (it came or went during the test; each mean then mixes both sources).
    static QString speedSourceOf(const TestState &state);
    static QString speedFromObd();
    static QString speedFromInstrument();
    static QString speedMixed();

private:
    void takeZeroCorrectionMark(Tick &tick);
    void takeZeroCorrectionFailure(Tick &tick);
    void collectReading(const ZmxSnapshot &snapshot, bool newRecord, Tick &tick);
    void completeSpeedStep(Tick &tick);

    // What the vehicle selection interrupts, kept while it is open.
    struct BeforeSelection
    {
        TestOperation operation = TestOperation::Live;
        bool vehicleSelected = false;
        bool zeroCorrectionFinished = false; // while the selection was open
    };

    // What F1 interrupted; a failed correction goes back to it.
    TestOperation m_beforeZeroCorrection = TestOperation::Live;

    TestState &m_state;
    EmissionProcedureDevice &m_device;
    std::optional<BeforeSelection> m_beforeSelection;
    ZelmorDatabase *m_database = nullptr;
    GASE_GRAPH *m_graph = nullptr;
    std::function<std::optional<double>()> m_engineSpeedSource;
    std::function<QString()> m_diagnosisSource;
    int m_storedReportIndex = 0;
    // A store that failed: what was sent and when. Pressing F4 again sends
    // the same row, so a store whose answer alone was lost is found in the
    // chain and not stored twice.
    struct PendingStore
    {
        int modelIndex = 0;
        QString govNumber;
        int instrumentNumber = 0;
        std::array<float, TestState::MeanCount> means {};
        QDateTime time;
        // Taken at the first attempt, so that the row sent again is the same.
        QString speedSource;
        QString vehicleDiagnosis;
    };
    std::optional<PendingStore> m_pendingStore;
};
