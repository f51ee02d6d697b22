// The system table's recordset: its name and its two columns.
#include "catalog/sys_com_set.h"

CSysComSet::CSysComSet(std::filesystem::path programFolder) : Recordset(std::move(programFolder)) {}

std::string CSysComSet::GetDefaultSQL() const {
    return "[system]";
}

void CSysComSet::DoFieldExchange(FieldExchange& exchange) {
    exchange.Text("component", m_component);
    exchange.Text("version", m_version);
}
