// Binds a recordset's members to its columns: DoFieldExchange names each
// column with its member once, in column order, and the exchange lists the
// columns, loads a fetched row into the members, stores them or empties them.
#pragma once

#include <string>
#include <vector>

class Statement;

class FieldExchange {
public:
    enum class Mode { ListColumns, LoadRow, StoreRow, ClearRow };

    // firstIndex: the statement column (LoadRow, 0-based) or parameter
    // (StoreRow, 1-based) of the first bound column.
    explicit FieldExchange(Mode exchangeMode, Statement* rowStatement = nullptr, int firstIndex = 0)
        : mode(exchangeMode), statement(rowStatement), next(firstIndex) {}

    // One text column and the member bound to it.
    void Text(const char* column, std::string& member);

    const std::vector<std::string>& Columns() const { return columns; }

private:
    Mode mode;
    Statement* statement;
    int next;
    std::vector<std::string> columns;
};
