// Keys hidden from log lines, in the shapes WireGuard's tools echo them.
#include "wireguard_plugin/key_redaction.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kKey = "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=";
const std::string kPsk = "FpCyhws9cxwWoV4xELtfJvjJN+zQVRPISllRWgeopVE=";
const std::string kUnpadded = kKey.substr(0, 43);
const std::string kPeer = "8G/XY1zW5uRWcTvG53xPwqAq7so9fBQttTC/BKGpU+U=";

TEST(KeyRedactor, HidesEveryKeyInTheShapesToolsEchoThem) {
  const struct {
    const char* name;
    std::string config;  // registered first; empty: nothing registered
    std::string line;
    std::string shown;
  } cases[] = {
      {"an unpadded key with a comment, echoed as wg cuts it",
       "[Interface]\nPrivateKey = " + kUnpadded + " # mine\n",
       "Key is not the correct length or format: `" + kUnpadded + "'",
       "Key is not the correct length or format: `(hidden)'"},
      {"a key in the wrong section with a comment: the line without its blanks",
       "[Peer]\nPublicKey = " + kPeer + "\nPrivateKey = " + kKey + " # here\n",
       "Line unrecognized: `PrivateKey=" + kKey + "'\nConfiguration parsing error",
       "Line unrecognized: `PrivateKey=(hidden)'\nConfiguration parsing error"},
      {"a preshared key with a tab and more text after it",
       "[Peer]\nPresharedKey = " + kPsk + "\tand more\n",
       "Key is not the correct length or format: `" + kPsk + "andmore'",
       "Key is not the correct length or format: `(hidden)'"},
      {"CR-only line ends: the whole configuration echoed as one line",
       "[Interface]\rPrivateKey = " + kKey + "\r[Peer]\rPublicKey = " + kPeer +
           "\rPresharedKey = " + kPsk + "\r",
       "Line unrecognized: `[Interface]PrivateKey=" + kKey + "[Peer]PublicKey=" + kPeer +
           "PresharedKey=" + kPsk + "'",
       "Line unrecognized: `[Interface]PrivateKey=(hidden)'"},
      {"wg show's key lines, of a tunnel nobody registered", "",
       "interface: orva_divuv\r\n  public key: " + kPeer + "\r\n  private key: " + kKey +
           "\r\n\r\npeer: " + kPeer + "\r\n  preshared key: " + kPsk + "\r\n",
       "interface: orva_divuv\r\n  public key: " + kPeer +
           "\r\n  private key: (hidden)\r\n\r\npeer: " + kPeer +
           "\r\n  preshared key: (hidden)\r\n"},
      {"any case, any blanks, '=' or ':'", "",
       "PRIVATEKEY=" + kKey + " presharedKey :\t" + kPsk + " Private Key:" + kUnpadded,
       "PRIVATEKEY=(hidden) presharedKey :\t(hidden) Private Key:(hidden)"},
      {"a registered key with its pad, echoed without it and with it",
       "[Interface]\r\nprivatekey=" + kKey + "\r\n", "`" + kUnpadded + "' and " + kKey + ".",
       "`(hidden)' and (hidden)."},
      {"what wg show hides already, public keys and short values stay",
       "[Interface]\nPrivateKey = short\n",
       "  private key: (hidden)\n  public key: " + kPeer + "\n  short listen port",
       "  private key: (hidden)\n  public key: " + kPeer + "\n  short listen port"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KeyRedactor redactor;
    redactor.Register(c.config);
    EXPECT_EQ(redactor.Redact(c.line), c.shown);
  }
}

}  // namespace
