#pragma once
#include <QString>

// The component's secrets (the composer's account password): in the system keyring (the
// Secret Service) under the service kSecretService and a key of the caller's (user@server).
// Where no keyring answers (no session bus, a locked collection left locked), a file only
// its owner may read holds them instead. Never an INI file, log or trace.
namespace platform {

inline const QString kSecretService = QStringLiteral("VelkorSlanjeEMaila26");

// $XDG_DATA_HOME/velkor/secrets (default ~/.local/share/velkor/secrets), mode 0600.
QString secretFile();

enum class SecretPlace { Keyring, File };

struct SecretRead {
  enum Status { Found, Missing, Failed } status = Missing;
  QString secret;
  QString error;  // Failed: why (Croatian)
};

// Waits for the keyring (running the caller's event loop meanwhile); a collection that
// must be unlocked first asks the user through the keyring's own prompt.
SecretRead readSecret(const QString& key);
// Into the keyring, else into the file; false with *error when neither took it. A secret
// in the keyring leaves no copy in the file.
bool writeSecret(const QString& key, const QString& secret, SecretPlace* place = nullptr, QString* error = nullptr);
void deleteSecret(const QString& key);

}  // namespace platform
