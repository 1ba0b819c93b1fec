// Writes the decrypted copy of an Office-encrypted Access file, for comparing the time of runs on the
// encrypted file with the same runs on the same data unencrypted. The program itself never writes
// decrypted data to disk; this tool exists for the benchmark only.
//   plain_twin ENCRYPTED.accdb PASSWORD PLAIN.accdb

#include <fstream>
#include <iostream>

#include "core/access/crypto/encrypted_file.h"
#include "core/value/provider_error.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: plain_twin ENCRYPTED.accdb PASSWORD PLAIN.accdb\n";
        return 2;
    }
    try {
        const auto plain = tabvert::ado::crypto::DecryptFile(argv[1], argv[2]);
        std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(plain->data()), static_cast<std::streamsize>(plain->size()));
        if (!out.flush()) {
            std::cerr << "cannot write " << argv[3] << "\n";
            return 1;
        }
    } catch (const tabvert::ado::ProviderError& e) {
        std::cerr << e.Description() << "\n";
        return 1;
    }
    return 0;
}
