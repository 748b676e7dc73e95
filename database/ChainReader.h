#pragma once

#include "database/ReportChain.h"
#include "database/ReportChainParts.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Reads what the check of the chains needs through the engine's own cursor,
// on a connection of its own and in one read transaction, so that the
// check sees one snapshot however long it takes and whatever other lanes
// store meanwhile: SQLite's C interface stepping a prepared statement, or
// the server's client library streaming the rows with COPY.
namespace ReportChain::Reader {

// A link as the tables keep it (64 hex digits), decoded once.
struct Link
{
    enum State : unsigned char { Empty, Hash, Garbage };
    std::array<unsigned char, 32> bytes {};
    State state = Empty;
    std::string text; // kept only for Garbage: hashed as earlier versions read it

    void set(std::string_view hex);
    bool operator==(const Link &o) const
    {
        return state == o.state && (state == Empty || (state == Hash && bytes == o.bytes));
    }
};

// One row as the check needs it: where it belongs and what its hash covers.
struct ReadRow
{
    int index = 0;
    std::string chain;
    qint64 seq = 0;
    int scheme = Legacy;
    Link prev;
    Link hash;
    std::string formerCodes;
    std::string canonical;
};

struct Batch
{
    std::vector<ReadRow> rows;
    size_t size = 0; // rows in use; the vector keeps its strings' room for the next batch
};

class Reader
{
public:
    virtual ~Reader() = default;

    // Opens the connection and the read transaction. Throws ZelmorError.
    virtual void begin() = 0;
    virtual bool hasTable(const char *table) = 0;
    virtual bool hasColumn(const char *table, const char *column) = 0;
    // The heads of "report_chains" (columns an earlier version lacks read as
    // their defaults).
    virtual std::vector<Parts::Head> heads() = 0;
    // The entries of "report_chain_entries"; for a database of an earlier
    // version the deletions it kept beside the chain, as entries.
    virtual std::vector<Entry> entries() = 0;
    // The smallest and largest Index, for the progress shown.
    virtual std::pair<qint64, qint64> indexRange() = 0;
    // Starts reading the rows in Index order.
    virtual void startRows() = 0;
    // Fills batch with up to capacity rows; false when none are left.
    virtual bool next(Batch &batch, size_t capacity) = 0;
    // Ends the transaction and closes; also after an error or a cancel.
    virtual void end() noexcept = 0;
};

std::unique_ptr<Reader> open(const Source &source);

// The select list of a row for a database whose "reports.db" has these
// columns: NULL in place of what it lacks.
std::string rowSelect(const std::function<bool(const char *)> &has);

} // namespace ReportChain::Reader
