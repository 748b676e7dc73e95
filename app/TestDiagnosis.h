#pragma once

#include "device/obd/VehicleDiagnosis.h"

#include <QString>

class VehicleObd;

// The vehicle's own diagnosis for the running emission test: asked of the
// OBD link when a vehicle is chosen or on F5, taken from it by a timer once
// it is ready, never waited for. The test stores what it holds at F4.
class TestDiagnosis
{
public:
    enum class Phase {
        Unused, // no adapter in use
        NotRead, // nothing asked for this test yet
        Reading, // asked, not ready yet
        Done, // read, or tried and failed (diagnosis() says which)
    };

    explicit TestDiagnosis(VehicleObd *obd = nullptr)
        : m_obd(obd)
    { }

    // A new test: what was read for the previous vehicle goes, and a read is
    // asked for when the adapter is in use.
    void startForNewVehicle();
    // F5: reads again. False when no adapter is in use (nothing is asked).
    bool request();
    // Takes a finished read (timer); true when the phase changed.
    bool poll();
    // After F4 stored the result: the next test starts from nothing.
    void clear();

    Phase phase() const;
    const VehicleDiagnosis &diagnosis() const { return m_diagnosis; }

    // What the result is stored with: the read's stored text once one is
    // done (a failed read included, so the result shows it was tried),
    // empty otherwise.
    QString storedText() const;
    // One line for the measuring page.
    QString pageText() const;

    static QString notInUseText();

private:
    VehicleObd *m_obd;
    Phase m_phase = Phase::NotRead;
    VehicleDiagnosis m_diagnosis;
};
