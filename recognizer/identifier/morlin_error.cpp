// morlin::Error, defined here so its type information is the library's own.
#include "morlin/morlin_error.h"

namespace morlin {

Error::Error(const std::string& what) : std::runtime_error(what) {}
Error::~Error() = default;

}  // namespace morlin
