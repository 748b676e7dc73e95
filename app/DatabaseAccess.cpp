#include "app/DatabaseAccess.h"

#include "app/SecondaryPages.h"
#include "app/ZelmorApplication.h"
#include "common/ProgramFolder.h"
#include "database/ZelmorDatabase.h"

DatabaseAccess::DatabaseAccess(ZelmorDatabase &database, SecondaryPages &pages)
    : m_database(database)
    , m_pages(pages)
{ }

void DatabaseAccess::open()
{
    try {
        m_database.open(programFolder());
    } catch (...) {
        m_reason = ZelmorApplication::messageOf(std::current_exception());
        if (m_database.isOpen())
            m_pages.bindTables(m_database);
        throw;
    }
    m_pages.bindTables(m_database);
}

bool DatabaseAccess::ensureOpen()
{
    if (m_database.isOpen())
        return true;
    QString reason;
    if (m_database.reopenServer(&reason)) {
        m_reason.clear();
        m_pages.bindTables(m_database);
        return true;
    }
    if (!reason.isEmpty())
        m_reason = reason;
    return false;
}
