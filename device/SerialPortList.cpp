#include "device/SerialPortList.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const char ById[] = "/dev/serial/by-id";
const char SysTty[] = "/sys/class/tty";

// The 8250 driver registers its ports whether or not a UART answers; only
// the kernel's port type tells the real ones apart.
bool legacyPortPresent(const QString &devicePath)
{
    const int fd = ::open(
        QFile::encodeName(devicePath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    serial_struct info {};
    const bool present = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return present;
}

} // namespace

QStringList systemSerialPorts()
{
    QStringList ports;
    QSet<QString> covered;

    const QFileInfoList links
        = QDir(QString::fromLatin1(ById)).entryInfoList(QDir::Files | QDir::System, QDir::Name);
    for (const QFileInfo &link : links) {
        ports << link.absoluteFilePath();
        covered.insert(link.canonicalFilePath());
    }

    const QStringList ttys
        = QDir(QString::fromLatin1(SysTty))
              .entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : ttys) {
        const QString sysPath = QString::fromLatin1(SysTty) + QLatin1Char('/') + name;
        if (!QFileInfo::exists(sysPath + QStringLiteral("/device")))
            continue;
        const QString devicePath = QStringLiteral("/dev/") + name;
        if (covered.contains(devicePath) || !QFileInfo::exists(devicePath))
            continue;
        const QString driver
            = QFileInfo(sysPath + QStringLiteral("/device/driver")).canonicalFilePath();
        if (driver.endsWith(QStringLiteral("/serial8250")) && !legacyPortPresent(devicePath))
            continue;
        ports << devicePath;
    }
    return ports;
}
