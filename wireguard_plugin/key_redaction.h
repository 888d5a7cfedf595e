// KeyRedactor: shows private and preshared keys as "(hidden)" in the lines
// the plugin logs, to the debugger and to the file alike. Tools echo keys:
// WireGuard's parser repeats what it cannot use, cut at '#' and with every
// blank removed ("Line unrecognized: `PrivateKey=KEY'", "Key is not the
// correct length or format: `KEY'"), and `wg show` may print "private key:
// KEY". Hidden are the value after a "PrivateKey" or "PresharedKey" name
// (any case, blanks allowed, then '=' or ':') up to the next blank or quote,
// and every key of a registered configuration, read as that parser reads it
// (lines also end at CR), with or without its '=' pad. Thread-safe.
#ifndef ORVA_WIREGUARD_PLUGIN_KEY_REDACTION_H_
#define ORVA_WIREGUARD_PLUGIN_KEY_REDACTION_H_

#include <mutex>
#include <string>
#include <vector>

class KeyRedactor {
 public:
  // The key values of the configuration text |config| are hidden from now on.
  void Register(const std::string& config);

  // |line| with every key value hidden.
  std::string Redact(const std::string& line) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> keys_;  // without their '=' pad
};

#endif  // ORVA_WIREGUARD_PLUGIN_KEY_REDACTION_H_
