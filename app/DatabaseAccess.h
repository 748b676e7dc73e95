#pragma once

#include <QString>

class SecondaryPages;
class ZelmorDatabase;

// The program's database as the window's start-up and menu reach it: opened
// once at start-up, the reason kept while it is not open, and a server that
// was away tried again when a command needs it. The tables of the page
// "test1" follow every opening.
class DatabaseAccess
{
public:
    DatabaseAccess(ZelmorDatabase &database, SecondaryPages &pages);

    ZelmorDatabase &database() const { return m_database; }

    // Opens the database of the program folder. Throws what opening throws,
    // keeping its message as the reason; a database opened for reading only
    // still shows its tables.
    void open();
    // True when the database is open or a server that was away is reached
    // now; otherwise false, and reason() says why when it is known.
    bool ensureOpen();
    QString reason() const { return m_reason; }

private:
    ZelmorDatabase &m_database;
    SecondaryPages &m_pages;
    QString m_reason;
};
