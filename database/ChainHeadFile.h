#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The head file: outside the database, beside the program, the last entry
// this workstation wrote into each instrument's chain (its place, the row's
// Index when it is a row, and its hash), written again after every store and
// every deletion through the program. A chain cut short, an instrument gone
// or a chain hashed anew is then seen against it, whatever the database says
// of itself. A line found wrong when the workstation next writes is kept,
// marked, so the next write cannot cover it; the administrator removes it.
//
// One line per chain: instrument, place, Index (0 for an entry that is not a
// row) and hash, separated by tabs; a kept line starts with "!" and ends
// with what was found and when.
namespace ChainHeadFile {

inline constexpr const char *FileName = "zelmor.chain";

struct Line
{
    QByteArray chain;
    qint64 seq = 0;
    int index = 0;
    QByteArray hash;
    bool kept = false; // found wrong; stays until the administrator removes it
    QString note; // a kept line: what was found
};

// The lines of the file; none when it does not exist. *error says why a
// file that exists could not be read or holds a line that is not ours (the
// lines that could be read are returned).
QList<Line> read(const QString &path, QString *error);

// Makes line the chain's line (kept lines stay) and, when previous is given,
// keeps it, marked, first. Written under a temporary name, flushed to disk
// and renamed, so a crash leaves the old file or the new one. Throws IoError.
void record(const QString &path, const Line &line, const Line *previous = nullptr);
// Writes these lines as the whole file, the same way.
void write(const QString &path, const QList<Line> &lines);

} // namespace ChainHeadFile
