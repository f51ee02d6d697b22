// The columns of the detector and recognizer tables, bound in the designed order.
#include "catalog/module_set.h"

void ModuleSet::DoFieldExchange(FieldExchange& exchange) {
    exchange.Text("author", m_author);
    exchange.Text("dllname", m_dllname);
    exchange.Text("modulename", m_modulename);
    exchange.Text("version", m_version);
}
