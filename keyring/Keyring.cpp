#include "Keyring.h"

#include <libsecret/secret.h>

#include "SiteBook.h"

namespace {

// One entry per site: the schema's name and the site's name find it.
const SecretSchema* Schema() {
  static const SecretSchema schema = {
      "org.kxta-config.SitePassword",
      SECRET_SCHEMA_NONE,
      {{"site", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
      0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  return &schema;
}

bool Failed(GError* Error, std::string& Why) {
  if (!Error) return false;
  Why = Error->message ? Error->message : "the secret service failed";
  g_error_free(Error);
  return true;
}

}  // namespace

bool KeyringStore(const std::string& Site, const std::string& Password, std::string& Why) {
  GError* error = nullptr;
  const std::string label = "KX-TA PBX system password of the site " + Site;
  secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                             Password.c_str(), nullptr, &error, "site", Site.c_str(), nullptr);
  return !Failed(error, Why);
}

bool KeyringLookup(const std::string& Site, std::string& Password, std::string& Why) {
  GError* error = nullptr;
  gchar* found =
      secret_password_lookup_sync(Schema(), nullptr, &error, "site", Site.c_str(), nullptr);
  Why.clear();
  if (Failed(error, Why)) return false;
  if (!found) return false;
  Password = found;
  secret_password_free(found);
  return true;
}

bool KeyringRemove(const std::string& Site, std::string& Why) {
  GError* error = nullptr;
  secret_password_clear_sync(Schema(), nullptr, &error, "site", Site.c_str(), nullptr);
  return !Failed(error, Why);
}

bool SitePassword(const TSite& Site, std::string& Password, std::string& Why) {
  Password = Site.Password;
  if (!Site.InKeyring) return true;
  if (KeyringLookup(Site.Name, Password, Why)) return true;
  Why = "The system password of the site \"" + Site.Name + "\" is kept in the keyring, " +
        (Why.empty() ? std::string("which holds none for it")
                     : "which cannot give it (" + Why + ")") +
        ". Give it with KXTA_PASSWORD or --password-file FILE, or keep it anew with kxta sites "
        "change.";
  return false;
}

void KeepSitePassword(TSite& Site, const std::string& Password, std::string& Note) {
  Note.clear();
  std::string why;
  if (Password.empty()) {
    if (Site.InKeyring) KeyringRemove(Site.Name, why);
    Site.InKeyring = false;
    Site.Password.clear();
    return;
  }
  if (KeyringStore(Site.Name, Password, why)) {
    Site.InKeyring = true;
    Site.Password.clear();
    return;
  }
  Site.InKeyring = false;
  Site.Password = Password;
  Note = "No keyring (secret service) could be reached (" + why +
         "): the site book keeps the system passwords, readable by you only.";
}
