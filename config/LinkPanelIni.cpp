#include "config/LinkPanelIni.h"

#include "common/ProgramFolder.h"
#include "config/IniFile.h"

namespace {
const char *const FileName = "conf/zme.ini";
const char *const Section = "Port";
} // namespace

LinkPanelIni::LinkPanelIni(const QString &path)
    : m_path(path.isEmpty() ? programFolder() + QLatin1String(FileName) : path)
{ }

LinkPanelChoice LinkPanelIni::read() const
{
    const IniFile ini(m_path);
    const QString section = QLatin1String(Section);
    LinkPanelChoice choice;
    choice.portIndex = ini.readInteger(section, QStringLiteral("COM"), choice.portIndex);
    choice.speedIndex = ini.readInteger(section, QStringLiteral("speed"), choice.speedIndex);
    choice.fastSpeed = ini.readInteger(section, QStringLiteral("38400"), choice.fastSpeed);
    choice.refusal = ini.refusal();
    return choice;
}
