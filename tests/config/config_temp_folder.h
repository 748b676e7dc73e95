#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

// A temporary folder with helpers to read and write its files as raw bytes.
class TempFolder
{
public:
    TempFolder()
    {
        // Open for everyone, so that a test may look at it as an ordinary user.
        QFile::setPermissions(dir.path(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                | QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadGroup
                | QFileDevice::ExeGroup);
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    QByteArray read(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void write(const QString &name, const QByteArray &bytes) const
    {
        QDir(dir.path()).mkpath(QFileInfo(path(name)).path());
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
    }

    bool exists(const QString &name) const { return QFile::exists(path(name)); }

    QTemporaryDir dir;
};

// Runs the scope as the unprivileged user "nobody" when the tests run as
// root, because root may write where the operator may not.
class AsOrdinaryUser
{
public:
    static constexpr uid_t nobody = 65534;
    static constexpr gid_t nogroup = 65534;

    AsOrdinaryUser()
    {
        // The group first: with the group of root the group bits would
        // still decide.
        if (geteuid() == 0 && setegid(nogroup) == 0) {
            m_switched = true;
            if (seteuid(nobody) != 0)
                (void)setegid(0);
        }
    }
    ~AsOrdinaryUser()
    {
        if (m_switched) {
            (void)seteuid(0);
            (void)setegid(0);
        }
    }
    // False when the test runs as root and could not drop its rights.
    bool active() const { return geteuid() != 0; }

private:
    bool m_switched = false;
};
