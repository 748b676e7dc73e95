#pragma once

#include "config/DisplayLimits.h"
#include "config/IniFile.h"
#include "config/OptionsRecord.h"

#include <QDate>
#include <QString>
#include <functional>

// Values of the options dialog's controls, kept as the controls hold them:
// texts as typed, check-box states, chosen list entries.
struct OptionControls
{
    QString PortName;
    QString Speed;
    QString Timeout;
    QString LineWidth;
    int ShowGrid = 1; // 0 clear, 1 ticked, 2 greyed
    int ShowEdIzm = 1;
    int StartMode = 0; // 0 diagnostic, 1 research, -1 nothing chosen
    int Language = 0; // 0 Russian, -1 nothing chosen
    QString Printer;
    QString ReportPlace;
    QString ReportOperator;
    QString VerificationCertificate;
    QDate VerificationValidUntil; // invalid: not set
};

// The OBD-II adapter beside the instrument, section "OBD" of the settings
// file. The section is written only when the operator changed it, so a file
// of a station without an adapter stays as it was.
struct ObdOptions
{
    static constexpr const char *Section = "OBD";

    bool Enabled = false;
    QString Port; // "/dev/rfcomm0", "/dev/ttyUSB1", a pseudo-terminal

    // The port the link is to use: empty while the adapter is not in use.
    QString activePort() const { return Enabled ? Port.trimmed() : QString(); }

    bool operator==(const ObdOptions &) const = default;
};

// The settings file "conf/zelmor.ini" of the program folder and the values
// read from it. Holds no widgets: the options dialog binds its controls to
// Controls, the main window takes ReadingsPerStep, the graphs take Limits.
// LoadSettings reads the file once; every write goes straight to the file.
class Settings
{
public:
    static constexpr int StartModeCount = 2; // diagnostic, research
    static constexpr int LanguageCount = 1; // Russian
    static constexpr int MaxReadingsPerStep = 10;

    // The file in the program folder; the path is formed now and kept.
    Settings();
    explicit Settings(const QString &path);

    static QString defaultPath();
    // How the file keeps a date ("dd.MM.yyyy"; an ISO date is read as well).
    static QString dateText(const QDate &date);
    static QDate dateFromText(const QString &text);
    QString path() const { return m_file.path(); }

    // Reads the whole file; missing or bad values give their defaults, and
    // so does a file that is refused (see refusal()). Fills AppliedOptions
    // from the controls.
    void LoadSettings();
    // Why the last LoadSettings did not read the file (not a regular file,
    // too large), naming it; empty when it read it or found none. The
    // saves refuse such a file, so it is never overwritten.
    QString refusal() const { return m_file.refusal(); }
    // Writes every key in the order Connect, Graph, Interface, Printer,
    // Report, System, Diapazone, Instrument, then fills AppliedOptions. Throws
    // ConversionError for a time-out that is not an integer (after "ComName"
    // and "Speed" are written) and IoError at the first key that cannot be
    // written; what was written before stays written.
    void SaveSettings();
    // Writes only the ten display limits, taken from the limits source when
    // one is set (the gas graph), else from Limits.
    void SaveDisplayRanges();
    void SaveDisplayRanges(const DisplayLimits &limits);

    // Where SaveDisplayRanges takes the current limits from.
    void setDisplayLimitsSource(std::function<DisplayLimits()> source);

    // ReadingsPerStep limited to what a measuring step can hold (1 ... 10).
    int readingsPerStep() const;

    OptionControls Controls;
    // "CntMeasure" as it stands in the file; written back unchanged.
    int ReadingsPerStep = MaxReadingsPerStep;
    DisplayLimits Limits;
    OptionsRecord AppliedOptions;

    // ---- OBD-II adapter -----------------------------------------------------
    // As read by LoadSettings and written by SaveSettings (only when changed).
    ObdOptions Obd;

private:
    void fillAppliedOptions();
    void loadObd();
    void saveObd();
    ObdOptions m_obdInFile; // what the file holds, as last read or written

    IniFile m_file;
    std::function<DisplayLimits()> m_limitsSource;
};
