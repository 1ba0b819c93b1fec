#pragma once
// Failures of the database provider stand-in, numbered and worded after the Jet and ACE OLE DB
// providers so that callers can treat them as ADO errors (number + description); the reason says which
// failure it is.

#include <string>

#include "core/common/error.h"

namespace tabvert::ado {

// Wrong or missing database password (0x80040E4D, DB_SEC_E_AUTH_FAILED).
inline constexpr long kErrAuthentication = -2147217843;
// Generic engine failure: bad file, unreadable format, unreadable object (0x80004005, E_FAIL).
inline constexpr long kErrUnspecified = -2147467259;
// The connection string names a provider that is not installed (0x800A0E7A, adErrProviderNotFound).
inline constexpr long kErrProviderNotFound = -2146824582;
// The command text cannot be parsed, or names an unknown table (0x80040E14, DB_E_ERRORSINCOMMAND;
// 0x80040E37, DB_E_NOTABLE).
inline constexpr long kErrSyntax = -2147217900;
inline constexpr long kErrNoTable = -2147217865;
// An operation on an object in the wrong state, or an argument out of range (ADO's 3704, 3705, 3021,
// 3265, 3001).
inline constexpr long kErrObjectClosed = 3704;
inline constexpr long kErrObjectOpen = 3705;
inline constexpr long kErrNoCurrentRecord = 3021;
inline constexpr long kErrItemNotFound = 3265;
inline constexpr long kErrInvalidArgument = 3001;
// A schema query type this provider does not support (0x80040E37 is taken; ADO reports 3251).
inline constexpr long kErrNotSupported = 3251;
// A query parameter without a value (0x80040E10, DB_E_PARAMNOTOPTIONAL).
inline constexpr long kErrParameter = -2147217904;

// The ADO number the providers report for `reason`; kErrUnspecified for reasons of no provider failure.
long ProviderErrorNumber(ErrorReason reason);

class ProviderError : public NumberedError {
  public:
    ProviderError(ErrorReason reason, std::string description)
        : NumberedError(ProviderErrorNumber(reason), reason, std::move(description)) {}
};

}  // namespace tabvert::ado
