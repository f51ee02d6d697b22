// A small recordset over one catalogue table, with its own connection: the
// operations the update run needs, over a dynaset of the table's rows in rowid
// order. Subclasses name the table and bind their members in DoFieldExchange.
//
// States: Closed -> Open (Open) -> Closed (Close, destruction). While open,
// there may be a current row (after MoveFirst on a non-empty table, or a
// successful FindFirst); Edit needs one. AddNew and Edit start a pending
// change that Update writes at once; nothing else writes.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/field_exchange.h"

class SqlCipherDatabase;

class Recordset {
public:
    // The open type that means "the default type" (a dynaset).
    static constexpr int useDefaultType = -1;

    explicit Recordset(std::filesystem::path programFolder);
    virtual ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool IsOpen() const { return database != nullptr; }
    // Opens the catalogue with the password and the table. type must be the
    // default; sql empty means GetDefaultSQL. Does nothing when open. Raises
    // CatalogError for a missing file, wrong password, missing table or column.
    virtual void Open(int type = useDefaultType, const std::string& sql = "", int options = 0);
    // Moves to the first row (none in an empty table) and loads it.
    void MoveFirst();
    // Moves to the next row in rowid order; false (and no current row) past the end.
    bool MoveNext();
    bool HasCurrentRow() const { return currentRow != noRow; }
    // The first row, in rowid order, whose column equals value ignoring case;
    // found: it becomes current and the members hold it. column must be bound.
    bool FindFirst(const std::string& column, const std::string& value);
    // Starts a new row: every member empty, key members to be set by the caller.
    void AddNew();
    // Starts changing the current row.
    void Edit();
    // Writes the pending AddNew or Edit.
    void Update();
    void Close();
    // Raises CatalogError unless the catalogue can be written now (not
    // read-only, not locked by another connection past the busy timeout).
    void CheckWritable();

    virtual std::filesystem::path GetDefaultDBName() const;
    virtual std::string GetDefaultSQL() const = 0;
    virtual void DoFieldExchange(FieldExchange& exchange) = 0;

private:
    enum class Pending { None, Adding, Editing };
    static constexpr long long noRow = -1;

    void LoadRow(long long rowid);

    std::filesystem::path folder;
    std::unique_ptr<SqlCipherDatabase> database;
    std::string table;                 // bracketed table name, set by Open
    std::vector<std::string> columns;  // bound columns in exchange order, set by Open
    std::string selectList;            // "rowid, [col], ..." for reading a row
    long long currentRow = noRow;
    Pending pending = Pending::None;
};
