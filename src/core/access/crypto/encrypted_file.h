#pragma once
// Opens an Office-encrypted Access 2007+ file: checks the password and decrypts the whole file into
// memory that is wiped when the last reader lets go of it. Nothing decrypted is ever written to disk;
// the cost is one copy of the file in memory while the database is open.

#include <cstdint>
#include <istream>
#include <memory>
#include <span>
#include <string>

#include "core/access/crypto/wiped_bytes.h"

namespace tabvert::ado::crypto {

// From now on the process leaves no core dump (it may hold decrypted pages): not dumpable, and a core
// file size limit of 0 for the dump helpers that ignore that flag.
void KeepOutOfCoreDumps() noexcept;

// The header of an Access 2007+ file names Office encryption when its encoding key is not zero.
bool IsOfficeEncrypted(int version, std::uint32_t encodingKey);

// Reads fileSize bytes from `in` (positioned anywhere) and returns the plain file, with the encoding key
// cleared from its header so that it reads like an unencrypted file. password is UTF-8.
// Throws ProviderError: "Not a valid password." (authentication) for a missing or wrong password, and a
// message naming the file and the problem for a damaged header or a scheme this program does not read.
std::shared_ptr<const WipedBytes> DecryptFile(const std::string& path, std::istream& in,
                                              std::uint64_t fileSize, std::size_t pageSize,
                                              std::uint32_t encodingKey, const std::string& password);

// The same for a file given by its path alone: reads and decodes its header first. Throws ProviderError
// as above, and when the file is not an Office-encrypted Access file.
std::shared_ptr<const WipedBytes> DecryptFile(const std::string& path, const std::string& password);

}  // namespace tabvert::ado::crypto
