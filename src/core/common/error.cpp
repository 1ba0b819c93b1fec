#include "core/common/error.h"

#include <utility>

namespace tabvert {

NumberedError::NumberedError(long number, ErrorReason reason, std::string description)
    : std::runtime_error(description),
      number_(number),
      reason_(reason),
      description_(std::move(description)) {}

}  // namespace tabvert
