// The sites' system passwords in the desktop session's keyring (the freedesktop Secret
// Service: GNOME Keyring, KWallet, KeePassXC), so that no plain-text file holds them. Where
// no secret service answers, the site book keeps the password and the caller says so.
#pragma once

#include <string>

struct TSite;

// The keyring's entry of the site named Site. Each is false with the reason in Why when no
// secret service could be reached or it refused; Lookup is also false, with Why empty, when
// the keyring holds no password for the site.
bool KeyringStore(const std::string& Site, const std::string& Password, std::string& Why);
bool KeyringLookup(const std::string& Site, std::string& Password, std::string& Why);
bool KeyringRemove(const std::string& Site, std::string& Why);

// The site's password: the book's, else the keyring's; empty when the site has none (the
// settings' password serves then). False with the reason when the keyring holds it and
// cannot give it.
bool SitePassword(const TSite& Site, std::string& Password, std::string& Why);
// Keeps Password (empty: none) for Site: in the keyring where a secret service takes it, else
// in the book (Site.Password). Note, when the book keeps it, says so and why. The caller
// saves the site afterwards. A password moved into the book leaves the keyring.
void KeepSitePassword(TSite& Site, const std::string& Password, std::string& Note);
