#include "database/ChainHeadFile.h"

#include "common/ZelmorError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace ChainHeadFile {

namespace {

constexpr qint64 MaxSize = qint64(1) << 20;
const QByteArray Header = "# Zelmor: the last entry this workstation wrote into each instrument's "
                          "chain of stored results.\n# instrument\tplace\tIndex\thash\n";

bool isHash(const QByteArray &h)
{
    if (h.size() != 64)
        return false;
    for (const char c : h)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

QByteArray textOf(const QList<Line> &lines)
{
    QByteArray out = Header;
    for (const Line &l : lines) {
        if (l.kept)
            out += "!";
        out += l.chain + '\t' + QByteArray::number(l.seq) + '\t' + QByteArray::number(l.index)
            + '\t' + l.hash;
        if (l.kept)
            out += '\t' + l.note.simplified().toUtf8();
        out += '\n';
    }
    return out;
}

[[noreturn]] void fail(const QString &path, const char *what)
{
    throw IoError(
        QStringLiteral("Не удалось записать файл головы цепочки %1: %2 (%3)")
            .arg(path, QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

QList<Line> read(const QString &path, QString *error)
{
    if (error)
        error->clear();
    QList<Line> lines;
    QFile file(path);
    if (!file.exists())
        return lines;
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxSize) {
        if (error)
            *error = QStringLiteral("Файл головы цепочки %1 не читается").arg(path);
        return lines;
    }
    int number = 0;
    while (!file.atEnd()) {
        const QByteArray raw = file.readLine().trimmed();
        ++number;
        if (raw.isEmpty() || raw.startsWith('#'))
            continue;
        Line l;
        l.kept = raw.startsWith('!');
        const QList<QByteArray> parts = (l.kept ? raw.mid(1) : raw).split('\t');
        bool seqOk = false;
        bool indexOk = false;
        if (parts.size() >= 4) {
            l.chain = parts[0];
            l.seq = parts[1].toLongLong(&seqOk);
            l.index = parts[2].toInt(&indexOk);
            l.hash = parts[3];
            if (l.kept && parts.size() > 4)
                l.note = QString::fromUtf8(parts.mid(4).join(' '));
        }
        if (!seqOk || !indexOk || l.chain.isEmpty() || !isHash(l.hash)
            || (!l.kept && parts.size() != 4)) {
            if (error && error->isEmpty())
                *error = QStringLiteral("Файл головы цепочки %1 испорчен (строка %2)")
                             .arg(path)
                             .arg(number);
            continue;
        }
        lines << l;
    }
    return lines;
}

void record(const QString &path, const Line &line, const Line *previous)
{
    QString error;
    QList<Line> lines = read(path, &error);
    QList<Line> out;
    if (previous) {
        Line kept = *previous;
        kept.kept = true;
        out << kept;
    }
    for (const Line &l : std::as_const(lines))
        if (l.kept || l.chain != line.chain)
            out << l;
    out << line;
    write(path, out);
}

void write(const QString &path, const QList<Line> &lines)
{
    const QByteArray text = textOf(lines);
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".new";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail(path, "open");
    qsizetype written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.constData() + written, size_t(text.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(temporary.constData());
            fail(path, "write");
        }
        written += n;
    }
    if (::fsync(fd) != 0) {
        ::close(fd);
        ::unlink(temporary.constData());
        fail(path, "fsync");
    }
    ::close(fd);
    if (::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        fail(path, "rename");
    }
    // The rename itself is on disk only once the folder is.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace ChainHeadFile
