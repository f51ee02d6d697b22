// Recordset operations over SQLCipher. Values are always bound as parameters;
// the only names put into SQL are the table and column names of our own
// classes, each bracketed as an identifier.
#include "catalog/recordset.h"

#include <algorithm>

#include "catalog/catalog_error.h"
#include "catalog/program_folder.h"
#include "catalog/sqlcipher_database.h"

namespace {

// "[detector]" or "detector" -> "[detector]". Brackets, not double quotes:
// SQLite takes a double-quoted name that matches no column for a string, which
// would hide a missing column. Names are our classes' own and hold no "]".
std::string Identifier(std::string name) {
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') return name;
    return "[" + name + "]";
}

}  // namespace

Recordset::Recordset(std::filesystem::path programFolder) : folder(std::move(programFolder)) {}

Recordset::~Recordset() = default;

std::filesystem::path Recordset::GetDefaultDBName() const {
    return CatalogPath(folder);
}

void Recordset::Open(int type, const std::string& sql, int /*options*/) {
    if (IsOpen()) return;
    if (type != useDefaultType) throw CatalogError("only the default open type is supported");
    table = Identifier(sql.empty() ? GetDefaultSQL() : sql);
    // The bound columns are fixed by the class: list them once per open.
    FieldExchange list(FieldExchange::Mode::ListColumns);
    DoFieldExchange(list);
    columns = list.Columns();
    selectList = "rowid";
    for (const std::string& column : columns) selectList += ", " + Identifier(column);
    auto connection = std::make_unique<SqlCipherDatabase>(GetDefaultDBName());
    // Preparing the select checks that the table and every bound column exist.
    Statement probe(*connection, "SELECT " + selectList + " FROM " + table + " LIMIT 0");
    probe.Step();
    database = std::move(connection);
    pending = Pending::None;
    MoveFirst();
}

void Recordset::LoadRow(long long rowid) {
    Statement row(*database, "SELECT " + selectList + " FROM " + table + " WHERE rowid = ?1");
    row.Bind(1, rowid);
    if (!row.Step()) {
        currentRow = noRow;
        return;
    }
    FieldExchange load(FieldExchange::Mode::LoadRow, &row, 1);
    DoFieldExchange(load);
    currentRow = rowid;
}

void Recordset::MoveFirst() {
    if (!IsOpen()) throw CatalogError("recordset is not open");
    Statement first(*database, "SELECT rowid FROM " + table + " ORDER BY rowid LIMIT 1");
    currentRow = noRow;
    if (first.Step()) LoadRow(first.Integer(0));
}

bool Recordset::MoveNext() {
    if (!IsOpen() || currentRow == noRow) return false;
    Statement next(*database,
                   "SELECT rowid FROM " + table + " WHERE rowid > ?1 ORDER BY rowid LIMIT 1");
    next.Bind(1, currentRow);
    currentRow = noRow;
    if (next.Step()) LoadRow(next.Integer(0));
    return currentRow != noRow;
}

bool Recordset::FindFirst(const std::string& column, const std::string& value) {
    if (!IsOpen()) throw CatalogError("recordset is not open");
    if (std::find(columns.begin(), columns.end(), column) == columns.end())
        throw CatalogError("no bound column " + column);
    Statement find(*database, "SELECT rowid FROM " + table + " WHERE " + Identifier(column) +
                                  " = ?1 COLLATE NOCASE ORDER BY rowid LIMIT 1");
    find.Bind(1, value);
    if (!find.Step()) return false;
    LoadRow(find.Integer(0));
    return true;
}

void Recordset::AddNew() {
    if (!IsOpen()) throw CatalogError("recordset is not open");
    FieldExchange clear(FieldExchange::Mode::ClearRow);
    DoFieldExchange(clear);
    pending = Pending::Adding;
}

void Recordset::Edit() {
    if (!IsOpen()) throw CatalogError("recordset is not open");
    if (currentRow == noRow) throw CatalogError("no current record");
    pending = Pending::Editing;
}

void Recordset::Update() {
    if (!IsOpen()) throw CatalogError("recordset is not open");
    if (pending == Pending::None) throw CatalogError("Update without AddNew or Edit");
    std::string sql;
    if (pending == Pending::Adding) {
        std::string names, marks;
        for (size_t i = 0; i < columns.size(); ++i) {
            names += (i ? ", " : "") + Identifier(columns[i]);
            marks += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
    } else {
        std::string assignments;
        for (size_t i = 0; i < columns.size(); ++i)
            assignments +=
                (i ? ", " : "") + Identifier(columns[i]) + " = ?" + std::to_string(i + 1);
        sql = "UPDATE " + table + " SET " + assignments + " WHERE rowid = ?" +
              std::to_string(columns.size() + 1);
    }
    Statement write(*database, sql);
    FieldExchange store(FieldExchange::Mode::StoreRow, &write, 1);
    DoFieldExchange(store);
    if (pending == Pending::Editing) write.Bind(static_cast<int>(columns.size()) + 1, currentRow);
    pending = Pending::None;
    write.Step();
}

void Recordset::Close() {
    database.reset();
    currentRow = noRow;
    pending = Pending::None;
}

void Recordset::CheckWritable() {
    if (!IsOpen()) throw CatalogError("recordset is not open");
    // Taking the write lock and giving it back writes nothing.
    database->Execute("BEGIN IMMEDIATE");
    database->Execute("ROLLBACK");
}
