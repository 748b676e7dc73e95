#pragma once

#include "common/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

// A program folder of its own for one test, laid out as the program is
// installed: "conf/zelmor.ini" naming the port and a copy of the report
// template "conf/report.frf"; the log and the database appear here. The test
// runs with this folder as its working directory, where the program looks for
// the template.
class TestProgramFolder
{
public:
    enum class Template { Copied, Missing };

    explicit TestProgramFolder(const QString &portName, Template reportTemplate = Template::Copied)
        : m_previousWorkingDir(QDir::currentPath())
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("conf"));
        QFile ini(path() + QStringLiteral("conf/zelmor.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[Connect]\r\nComName=" + portName.toUtf8() + "\r\n");
        if (reportTemplate == Template::Copied)
            QFile::copy(QString::fromLocal8Bit(qgetenv("ZELMOR_SOURCE_DIR"))
                    + QStringLiteral("/report/conf/report.frf"),
                path() + QStringLiteral("conf/report.frf"));
        setProgramFolder(path());
        QDir::setCurrent(m_dir.path());
        // Device data files go nowhere: the folder has none of their folders.
        qputenv("ZELMOR_DATA_ROOT", m_dir.path().toUtf8());
    }
    ~TestProgramFolder()
    {
        QDir::setCurrent(m_previousWorkingDir);
        setProgramFolder(QString());
    }

    bool hasReportTemplate() const
    {
        return QFile::exists(path() + QStringLiteral("conf/report.frf"));
    }

    QString path() const { return m_dir.path() + QLatin1Char('/'); }

    // The log's lines without their "[dd.mm.yy][hh:nn:ss] " stamps.
    QStringList logTexts() const
    {
        QFile log(path() + QStringLiteral("zelmor.log"));
        QStringList texts;
        if (!log.open(QIODevice::ReadOnly))
            return texts;
        const QStringList lines
            = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : lines)
            texts << line.mid(line.indexOf(QLatin1String("] "), 10) + 2).trimmed();
        return texts;
    }

private:
    QString m_previousWorkingDir;
    QTemporaryDir m_dir;
};

// Answers every modal box that opens, the way an operator would press Escape,
// and remembers what it said.
class ModalAnswerer : public QObject
{
public:
    struct Box
    {
        QString title;
        QString text;
    };

    explicit ModalAnswerer(std::function<void(const Box &)> seen = {})
        : m_seen(std::move(seen))
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { answer(); });
        m_timer.start();
    }

    QList<Box> boxes;

private:
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last)
            return;
        m_last = modal;
        Box box { modal->windowTitle(), QString() };
        if (auto *message = qobject_cast<QMessageBox *>(modal))
            box.text = message->text();
        boxes << box;
        if (m_seen)
            m_seen(box);
        modal->close();
    }

    QTimer m_timer;
    QPointer<QWidget> m_last;
    std::function<void(const Box &)> m_seen;
};
