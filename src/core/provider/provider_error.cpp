#include "core/provider/provider_error.h"

#include <utility>

namespace tabvert::ado {

ProviderError::ProviderError(long number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

}  // namespace tabvert::ado
