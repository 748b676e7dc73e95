#pragma once

#include "database/ReportChain.h"
#include "tables/FieldNames.h"

#include <string>
#include <string_view>

// The canonical text of chain entries, built the same way from what Qt's
// drivers hand over and from what the engines' own cursors give the check.
namespace ReportChain::Text {

// One column's value as an engine gives it.
struct FieldValue
{
    enum Type : unsigned char { Null, Number, Text };
    Type type = Null;
    double number = 0;
    std::string_view text; // UTF-8; valid as long as the engine's row
};

// The columns of a row as they are read (selectColumns()): the fixed ones,
// the ones a result is stored with, then the chain's own.
inline constexpr int IndexColumn = 0;
inline constexpr int DateColumn = 1;
inline constexpr int TimeColumn = 2;
inline constexpr int ZMNumColumn = 3;
inline constexpr int ModelColumn = 4;
inline constexpr int GovNumberColumn = 5;
inline constexpr int FirstResultColumn = 6;
inline constexpr int FirstStoredColumn = FirstResultColumn + int(FieldNames::Results.size());
inline constexpr int SchemeColumn = FirstStoredColumn + int(FieldNames::StoredWith.size());
inline constexpr int SeqColumn = SchemeColumn + 1;
inline constexpr int FormerCodesColumn = SeqColumn + 1;
inline constexpr int PrevHashColumn = FormerCodesColumn + 1;
inline constexpr int HashColumn = PrevHashColumn + 1;
inline constexpr int ColumnCount = HashColumn + 1;

// Appends the canonical text of a row whose columns (ColumnCount of them,
// in the order above) are values.
void appendRow(std::string &out, int scheme, const FieldValue *values);
// The same for an entry that is not a row.
void appendEntry(std::string &out, const Entry &entry);

// The chain a row belongs to: its ZMNum as the canonical text writes it.
void appendChainKey(std::string &out, const FieldValue &zmNum);
// The scheme a row's "ChainScheme" value names (Legacy when null).
int schemeOf(const FieldValue &value);
// A whole number, 0 when null or not a number.
qint64 integerOf(const FieldValue &value);

} // namespace ReportChain::Text
