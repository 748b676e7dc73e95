#pragma once

#include "config/DatabaseSettings.h"
#include "database/ReportChain.h"

#include <QSqlDatabase>
#include <QString>

// What the role a workstation logs in with may do on the station's server.
// The tables belong to an owner role; a lane reads them and stores results
// through the chain's server functions, deleting a result needs the group
// zelmor_admin and editing the models zelmor_models. The rights are the
// SQL the program ships as conf/station.sql and runs as the owner when the
// administrator prepares the station's database. A workstation's own SQLite
// file allows everything (a file it may not write is opened read-only).
namespace StationRoles {

// What the operator reads when the role lacks a right.
QString noStoreRight();
QString noDeleteRight();
QString noModelsRight();

struct Rights
{
    bool storeResults = true;
    bool deleteResults = true;
    bool editModels = true;
};
// Asks the server what the connected role may do; everything for SQLite.
Rights of(const QSqlDatabase &db);

// The text of conf/station.sql, as the program was built with it.
QString stationSql();

// Prepares the station's database as its owner: the tables, the result
// chain and its functions when missing (as a first start does), then, in a
// transaction of their own, the rights of conf/station.sql. Throws ZelmorError saying what failed
// (a missing group role named with how to create it).
void initStation(const QSqlDatabase &db, const ReportChain::Context &chain);
// The same on a connection of its own made with settings.
void initStation(const DatabaseSettings &settings, const ReportChain::Context &chain);

} // namespace StationRoles
