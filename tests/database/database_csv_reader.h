#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A reader for what a spreadsheet reads: fields separated by ';', quoted
// fields may hold separators, doubled quotes and line breaks.
inline QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                cell += ch;
            }
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == ';') {
            row << cell;
            cell.clear();
        } else if (ch == '\r') {
        } else if (ch == '\n') {
            rows << (row << cell);
            row.clear();
            cell.clear();
        } else {
            cell += ch;
        }
    }
    if (!cell.isEmpty() || !row.isEmpty())
        rows << (row << cell);
    return rows;
}
