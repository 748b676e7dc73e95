#pragma once

#include "device/Records.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// The instrument's per-variable data files: every stored record appends one
// line "<index>\t<value>" to one file per variable of its kind, e.g.
// <root>/result/15_gaseCO.txt. The folders "warm_up", "result", "term_ratio"
// and "drift" lie directly under the data root and are never created here:
// whoever wants a kind's files makes its folder. Where a folder is missing,
// or a file cannot be written, the line is lost without a word and the other
// files are still tried.
//
// Files are created readable by all, writable by their owner only (0644).
// Links are never followed: a symbolic link in place of a folder or a file,
// or anything else that is no plain folder or file (a pipe would hold up the
// polling thread), is treated like a missing one. The data root itself may
// be a link.
class SeriesFileWriter
{
public:
    // The folder named by ZELMOR_DATA_ROOT, else the program folder.
    static QString defaultDataRoot();
    // "warm_up", "result", "term_ratio", "drift"; empty for kinds without files.
    static QString folderName(int dataKind);
    // "15_gaseCO.txt": the index as two digits, "_", the variable name.
    static QString fileName(int variableIndex);

    explicit SeriesFileWriter(const QString &dataRoot = defaultDataRoot());

    QString dataRoot() const { return m_root; }

    // Decodes the packet buffer with the layout of `dataKind` (whatever the
    // answer's length was) into SeriesValues and appends one line under
    // `recordIndex` to each of that kind's files.
    void WriteSeriesFiles(int dataKind, const uint8_t *buffer, int recordIndex);

    // Entries of other kinds keep their older values.
    const std::array<float, VariableCount> &SeriesValues() const { return m_values; }

private:
    QString m_root;
    // Encoded once: the folder of each kind, the file name of each variable.
    std::array<QByteArray, DataKindDrift + 1> m_folders;
    std::array<QByteArray, VariableCount> m_names;
    std::array<float, VariableCount> m_values {};
};
