#include "common/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex folderMutex;
QString overriddenFolder;

QString withSlash(const QString &folder)
{
    QString path = QDir::fromNativeSeparators(folder);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace

QString programFolder()
{
    {
        QMutexLocker lock(&folderMutex);
        if (!overriddenFolder.isEmpty())
            return overriddenFolder;
    }
    const QString fromEnvironment = qEnvironmentVariable("ZELMOR_PROGRAM_DIR");
    if (!fromEnvironment.isEmpty())
        return withSlash(fromEnvironment);
    // applicationDirPath needs the application object; without it (early
    // start, a tool) the working folder is the best guess.
    if (QCoreApplication::instance())
        return withSlash(QCoreApplication::applicationDirPath());
    return withSlash(QDir::currentPath());
}

void setProgramFolder(const QString &folder)
{
    QMutexLocker lock(&folderMutex);
    overriddenFolder = folder.isEmpty() ? QString() : withSlash(folder);
}
