// The one failure the identifier and the face finder of libmorlin.so report:
// why a call failed, the object it was made on as it was before it.
#pragma once

#include <stdexcept>
#include <string>

#include "morlin_records.h"

namespace morlin {

class MORLIN_API Error : public std::runtime_error {
public:
    explicit Error(const std::string& what);
    ~Error() override;
};

}  // namespace morlin
