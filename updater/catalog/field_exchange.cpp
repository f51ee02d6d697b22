// Field exchange between recordset members and statement columns.
#include "catalog/field_exchange.h"

#include "catalog/sqlcipher_database.h"

void FieldExchange::Text(const char* column, std::string& member) {
    switch (mode) {
        case Mode::ListColumns:
            columns.emplace_back(column);
            break;
        case Mode::LoadRow:
            member = statement->Text(next++);
            break;
        case Mode::StoreRow:
            statement->Bind(next++, member);
            break;
        case Mode::ClearRow:
            member.clear();
            break;
    }
}
