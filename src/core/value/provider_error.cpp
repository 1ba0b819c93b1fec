#include "core/value/provider_error.h"

namespace tabvert::ado {

long ProviderErrorNumber(ErrorReason reason) {
    switch (reason) {
        case ErrorReason::WrongPassword:
            return kErrAuthentication;
        case ErrorReason::UnknownProvider:
            return kErrProviderNotFound;
        case ErrorReason::BadCommand:
            return kErrSyntax;
        case ErrorReason::NoSuchTable:
            return kErrNoTable;
        case ErrorReason::MissingParameter:
            return kErrParameter;
        case ErrorReason::UnsupportedSchema:
            return kErrNotSupported;
        case ErrorReason::NoSuchField:
            return kErrItemNotFound;
        case ErrorReason::InvalidArgument:
            return kErrInvalidArgument;
        case ErrorReason::ObjectClosed:
            return kErrObjectClosed;
        case ErrorReason::ObjectOpen:
            return kErrObjectOpen;
        case ErrorReason::NoCurrentRecord:
            return kErrNoCurrentRecord;
        default:
            return kErrUnspecified;
    }
}

}  // namespace tabvert::ado
