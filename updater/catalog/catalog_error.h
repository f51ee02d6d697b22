// The catalogue's one exception: any database failure, with the database's
// own message. The update run does not catch it; its caller reports it.
#pragma once

#include <stdexcept>
#include <string>

class CatalogError : public std::runtime_error {
public:
    explicit CatalogError(const std::string& message) : std::runtime_error(message) {}
};
