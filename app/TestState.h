#pragma once

#include <algorithm>
#include <array>

// Which step the main window runs. 5 is not used.
enum class TestOperation : int {
    Blank = 0, // vehicle selection open: the gas graph shows zeros
    Live = 1, // live readings, no step running
    MinSpeed = 2, // collecting readings at minimum engine speed
    RaisedSpeed = 3, // collecting readings at raised engine speed
    ZeroCorrection = 4, // the instrument runs its zero correction
    ReportSaved = 6, // the result is stored; graph shows zeros until the next step
};

// The state of the emission test of one vehicle. The main window holds it,
// its timers and dialogs read and write it, EmissionProcedure runs the steps on it.
struct TestState
{
    // One reading of a speed step: CO %, CH ppm, CO2 %, O2 %, NOx ppm,
    // engine speed 1/min, lambda.
    static constexpr int ReadingValues = 7;
    // The sample store holds this many readings per step, no more.
    static constexpr int StoredReadings = 10;
    static constexpr int MeanCount = 2 * ReadingValues;
    static constexpr int DefaultReadingsPerStep = 10;
    using Reading = std::array<float, ReadingValues>;
    using SampleStore = std::array<Reading, StoredReadings>;

    TestOperation OperationState = TestOperation::Live;
    bool WarmedUp = false; // readings arrive; the warm-up is over
    bool ZeroDone = false;
    bool MinSpeedDone = false;
    bool RaisedSpeedDone = false;
    bool ReportDone = false;
    bool VehicleSelected = false;

    // Setting "CntMeasure" as read; readingsPerStep() is what a step collects.
    int ReadingsPerStep = DefaultReadingsPerStep;
    int InstrumentNumber = -1; // serial number of the connected instrument, -1 unknown

    SampleStore MinSpeedSamples {};
    SampleStore RaisedSpeedSamples {};
    // 0 … 6 the minimum-speed means, 7 … 13 the raised-speed means.
    std::array<float, MeanCount> TestMeans {};
    // Readings of the running speed step; they replace the step's store only
    // when the step is complete, so a store always holds one whole run.
    SampleStore RunningSamples {};
    // Readings collected in the running speed step.
    int SampleCount = 0;
    // The speed step SampleCount counts for (MinSpeed or RaisedSpeed), Live when none.
    TestOperation SampleStep = TestOperation::Live;
    // How many readings the last finished run of each step stored; its mean is
    // taken over these.
    int MinSpeedCollected = 0;
    int RaisedSpeedCollected = 0;
    // Which readings took their engine speed from the vehicle's own computer
    // (OBD) rather than the instrument: of the running step, parallel to
    // RunningSamples, and of each step's stored run.
    using SourceStore = std::array<bool, StoredReadings>;
    SourceStore RunningFromObd {};
    SourceStore MinSpeedFromObd {};
    SourceStore RaisedSpeedFromObd {};

    // The tested vehicle, as the vehicle selection handed it over. The stored
    // row names this model even if the models cursor moves before F4.
    int ModelIndex = 0;

    // Readings a speed step collects: the setting held to the room of the store.
    int readingsPerStep() const { return std::clamp(ReadingsPerStep, 1, StoredReadings); }
};
