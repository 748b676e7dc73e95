#include "config/Settings.h"

#include "common/NumberText.h"
#include "common/ProgramFolder.h"

#include <cmath>
#include <limits>

namespace {

const QString connectSection = QStringLiteral("Connect");
const QString graphSection = QStringLiteral("Graph");
const QString interfaceSection = QStringLiteral("Interface");
const QString printerSection = QStringLiteral("Printer");
const QString reportSection = QStringLiteral("Report");
const QString systemSection = QStringLiteral("System");
const QString rangesSection = QStringLiteral("Diapazone");
const QString instrumentSection = QStringLiteral("Instrument");
const QString fileDateFormat = QStringLiteral("dd.MM.yyyy");

const QString defaultPortName = QStringLiteral("COM1");
constexpr int defaultSpeed = 38400;
constexpr int defaultTimeout = 100;
constexpr int defaultLineWidth = 2;
constexpr int defaultChecked = 1;
constexpr int defaultStartMode = 0;
constexpr int defaultLanguage = 0;
const QString defaultPlace = QStringLiteral("НПФ \"Лумарис\"");
constexpr int checkBoxStates = 3; // clear, ticked, greyed

const char *const gasKeys[DisplayLimits::GasCount] = { "CO", "CH", "CO2", "O2", "NOx" };

QString lowKey(int gas)
{
    return QLatin1String(gasKeys[gas]) + QLatin1String("_MIN");
}

QString highKey(int gas)
{
    return QLatin1String(gasKeys[gas]) + QLatin1String("_MAX");
}

int checkState(int value)
{
    return value >= 0 && value < checkBoxStates ? value : defaultChecked;
}

int listIndex(int value, int count)
{
    return value >= 0 && value < count ? value : -1;
}

// A limit is kept in single precision; a number beyond its range is as bad
// as no number.
float limit(double value, float defaultValue)
{
    if (!std::isfinite(value) || std::fabs(value) > double(std::numeric_limits<float>::max()))
        return defaultValue;
    return float(value);
}

} // namespace

Settings::Settings()
    : Settings(defaultPath())
{ }

Settings::Settings(const QString &path)
    : m_file(path)
{
    Controls.PortName = defaultPortName;
    Controls.Speed = QString::number(defaultSpeed);
    Controls.Timeout = QString::number(defaultTimeout);
    Controls.LineWidth = QString::number(defaultLineWidth);
    Controls.ReportPlace = defaultPlace;
    fillAppliedOptions();
}

QString Settings::defaultPath()
{
    return programFolder() + QStringLiteral("conf/zelmor.ini");
}

QString Settings::dateText(const QDate &date)
{
    return date.isValid() ? date.toString(fileDateFormat) : QString();
}

QDate Settings::dateFromText(const QString &text)
{
    const QString t = text.trimmed();
    const QDate date = QDate::fromString(t, fileDateFormat);
    return date.isValid() ? date : QDate::fromString(t, Qt::ISODate);
}

void Settings::LoadSettings()
{
    m_file.reload();
    Controls.PortName
        = m_file.readString(connectSection, QStringLiteral("ComName"), defaultPortName);
    Controls.Speed = QString::number(
        m_file.readInteger(connectSection, QStringLiteral("Speed"), defaultSpeed));
    Controls.Timeout = QString::number(
        m_file.readInteger(connectSection, QStringLiteral("TimeOut"), defaultTimeout));

    Controls.LineWidth = QString::number(
        m_file.readInteger(graphSection, QStringLiteral("LineWidth"), defaultLineWidth));
    Controls.ShowGrid
        = checkState(m_file.readInteger(graphSection, QStringLiteral("ShowGrid"), defaultChecked));
    Controls.ShowEdIzm
        = checkState(m_file.readInteger(graphSection, QStringLiteral("ShowEdIzm"), defaultChecked));

    Controls.StartMode = listIndex(
        m_file.readInteger(interfaceSection, QStringLiteral("StartMode"), defaultStartMode),
        StartModeCount);
    Controls.Language = listIndex(
        m_file.readInteger(interfaceSection, QStringLiteral("Language"), defaultLanguage),
        LanguageCount);

    Controls.Printer = m_file.readString(printerSection, QStringLiteral("Name"), QString());
    Controls.ReportPlace = m_file.readString(reportSection, QStringLiteral("Place"), defaultPlace);
    Controls.ReportOperator
        = m_file.readString(reportSection, QStringLiteral("Operator"), QString());
    Controls.VerificationCertificate = m_file.readString(
        instrumentSection, QStringLiteral("VerificationCertificate"), QString());
    Controls.VerificationValidUntil = dateFromText(
        m_file.readString(instrumentSection, QStringLiteral("VerificationValidUntil"), QString()));

    ReadingsPerStep
        = m_file.readInteger(systemSection, QStringLiteral("CntMeasure"), MaxReadingsPerStep);

    const DisplayLimits defaults;
    for (int gas = 0; gas < DisplayLimits::GasCount; ++gas) {
        Limits.Low[gas] = limit(
            m_file.readFloat(rangesSection, lowKey(gas), defaults.Low[gas]), defaults.Low[gas]);
        Limits.High[gas] = limit(
            m_file.readFloat(rangesSection, highKey(gas), defaults.High[gas]), defaults.High[gas]);
    }

    loadObd();
    fillAppliedOptions();
}

void Settings::SaveSettings()
{
    m_file.writeString(connectSection, QStringLiteral("ComName"), Controls.PortName);
    m_file.writeString(connectSection, QStringLiteral("Speed"), Controls.Speed);
    m_file.writeInteger(connectSection, QStringLiteral("TimeOut"), strToInt(Controls.Timeout));

    m_file.writeString(graphSection, QStringLiteral("LineWidth"), Controls.LineWidth);
    m_file.writeInteger(graphSection, QStringLiteral("ShowGrid"), Controls.ShowGrid);
    m_file.writeInteger(graphSection, QStringLiteral("ShowEdIzm"), Controls.ShowEdIzm);

    m_file.writeInteger(interfaceSection, QStringLiteral("StartMode"), Controls.StartMode);
    m_file.writeInteger(interfaceSection, QStringLiteral("Language"), Controls.Language);

    m_file.writeString(printerSection, QStringLiteral("Name"), Controls.Printer);
    m_file.writeString(reportSection, QStringLiteral("Place"), Controls.ReportPlace);
    m_file.writeString(reportSection, QStringLiteral("Operator"), Controls.ReportOperator);

    m_file.writeInteger(systemSection, QStringLiteral("CntMeasure"), ReadingsPerStep);

    SaveDisplayRanges();

    m_file.writeString(instrumentSection, QStringLiteral("VerificationCertificate"),
        Controls.VerificationCertificate);
    m_file.writeString(instrumentSection, QStringLiteral("VerificationValidUntil"),
        dateText(Controls.VerificationValidUntil));
    saveObd();
    fillAppliedOptions();
}

void Settings::SaveDisplayRanges()
{
    if (m_limitsSource)
        Limits = m_limitsSource();
    for (int gas = 0; gas < DisplayLimits::GasCount; ++gas) {
        m_file.writeFloat(rangesSection, lowKey(gas), double(Limits.Low[gas]));
        m_file.writeFloat(rangesSection, highKey(gas), double(Limits.High[gas]));
    }
}

void Settings::SaveDisplayRanges(const DisplayLimits &limits)
{
    Limits = limits;
    for (int gas = 0; gas < DisplayLimits::GasCount; ++gas) {
        m_file.writeFloat(rangesSection, lowKey(gas), double(Limits.Low[gas]));
        m_file.writeFloat(rangesSection, highKey(gas), double(Limits.High[gas]));
    }
}

void Settings::setDisplayLimitsSource(std::function<DisplayLimits()> source)
{
    m_limitsSource = std::move(source);
}

int Settings::readingsPerStep() const
{
    return qBound(1, ReadingsPerStep, MaxReadingsPerStep);
}

void Settings::fillAppliedOptions()
{
    AppliedOptions.ComName = Controls.PortName;
    // A speed typed as text is stored as typed and reads back as the default;
    // it must not turn a finished save into an error.
    AppliedOptions.Speed = tryStrToInt(Controls.Speed).value_or(defaultSpeed);
    AppliedOptions.TimeOut = tryStrToInt(Controls.Timeout).value_or(defaultTimeout);
    AppliedOptions.LineWidth = tryStrToInt(Controls.LineWidth).value_or(defaultLineWidth);
    AppliedOptions.ShowGrid = Controls.ShowGrid;
    AppliedOptions.ShowEdIzm = Controls.ShowEdIzm;
    AppliedOptions.StartMode = Controls.StartMode;
    AppliedOptions.Language = Controls.Language;
    AppliedOptions.PrinterName = Controls.Printer;
    AppliedOptions.Place = Controls.ReportPlace;
    AppliedOptions.Operator = Controls.ReportOperator;
    AppliedOptions.VerificationCertificate = Controls.VerificationCertificate;
    AppliedOptions.VerificationValidUntil = Controls.VerificationValidUntil;
}

// ---- OBD-II adapter ---------------------------------------------------------

void Settings::loadObd()
{
    const QString section = QLatin1String(ObdOptions::Section);
    Obd.Enabled = m_file.readInteger(section, QStringLiteral("Enabled"), 0) != 0;
    Obd.Port = m_file.readString(section, QStringLiteral("Port"), QString()).trimmed();
    m_obdInFile = Obd;
}

void Settings::saveObd()
{
    if (Obd == m_obdInFile)
        return;
    const QString section = QLatin1String(ObdOptions::Section);
    m_file.writeInteger(section, QStringLiteral("Enabled"), Obd.Enabled ? 1 : 0);
    m_file.writeString(section, QStringLiteral("Port"), Obd.Port.trimmed());
    m_obdInFile = Obd;
}
