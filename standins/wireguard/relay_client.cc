// Winsock client of the real-tunnel relay.
#include "standins/wireguard/relay_client.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <sstream>

#include "common/unique_handle.h"
#include "standins/wireguard/relay_wire.h"
#include "standins/wireguard/standin_platform.h"

namespace wg_standin {
namespace {

// wg-quick up starts wireguard-go and sets routes, rules and nft tables:
// seconds at most. Past this the relay is taken as gone.
constexpr DWORD kReplyTimeoutMs = 60000;
constexpr size_t kMaxReplyBytes = 64u << 20;

RelayReply Broken(const std::string& why) {
  RelayReply reply;
  reply.exit_code = 1;
  reply.err = "stand-in relay: " + why + "\n";
  return reply;
}

struct SocketTraits {
  using Type = SOCKET;
  static Type Invalid() { return INVALID_SOCKET; }
  static bool IsValid(Type s) { return s != INVALID_SOCKET; }
  static void Close(Type s) { closesocket(s); }
};
using UniqueSocket = UniqueResource<SocketTraits>;

class WinsockSession {
 public:
  WinsockSession() { ok_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
  ~WinsockSession() {
    if (ok_) WSACleanup();
  }
  bool ok() const { return ok_; }

 private:
  WSADATA data_{};
  bool ok_ = false;
};

bool SendAll(SOCKET socket, const std::string& bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    const int n = send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::optional<RelayAddress> ConfiguredRelay() {
  const auto text = ReadWholeFile(StateFolder() + L"\\relay.txt");
  if (!text) return std::nullopt;
  std::istringstream in(*text);
  unsigned long port = 0;
  RelayAddress relay;
  if (!(in >> port >> relay.token) || port == 0 || port > 65535) return std::nullopt;
  relay.port = static_cast<uint16_t>(port);
  return relay;
}

RelayReply RunThroughRelay(const RelayAddress& relay, const std::string& verb,
                           const std::vector<std::string>& args) {
  WinsockSession winsock;
  if (!winsock.ok()) return Broken("Winsock could not start");
  UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!socket) return Broken("no socket");
  const DWORD timeout = kReplyTimeoutMs;
  setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(relay.port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return Broken("cannot reach 127.0.0.1:" + std::to_string(relay.port));
  }
  std::vector<std::string> fields = {relay.token, verb};
  fields.insert(fields.end(), args.begin(), args.end());
  if (!SendAll(socket.Get(), EncodeNetstrings(fields))) return Broken("request not sent");
  shutdown(socket.Get(), SD_SEND);

  std::string bytes;
  char buffer[16384];
  for (;;) {
    const int n = recv(socket.Get(), buffer, sizeof buffer, 0);
    if (n == 0) break;
    if (n < 0) return Broken("no answer");
    bytes.append(buffer, static_cast<size_t>(n));
    if (bytes.size() > kMaxReplyBytes) return Broken("answer too long");
  }
  const auto reply_fields = DecodeNetstrings(bytes, 3);
  if (!reply_fields || reply_fields->size() != 3 || (*reply_fields)[0].empty()) {
    return Broken("unreadable answer");
  }
  RelayReply reply;
  char* end = nullptr;
  reply.exit_code = static_cast<int>(std::strtol((*reply_fields)[0].c_str(), &end, 10));
  if (*end != '\0') return Broken("unreadable exit code");
  reply.out = (*reply_fields)[1];
  reply.err = (*reply_fields)[2];
  return reply;
}

int ForwardReply(const RelayReply& reply) {
  if (!reply.out.empty()) WriteRaw(STD_OUTPUT_HANDLE, reply.out);
  if (!reply.err.empty()) WriteRaw(STD_ERROR_HANDLE, reply.err);
  return reply.exit_code;
}

}  // namespace wg_standin
