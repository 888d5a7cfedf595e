// A messenger in place of the engine's, for tests of the plugin's channel:
// it keeps the installed channel handlers, delivers messages to them as the
// engine would, and keeps every reply (replies may come from any thread)
// with the tag of the message it answers, in arrival order.
#ifndef ORVA_WIREGUARD_PLUGIN_TESTING_CHANNEL_MESSENGER_H_
#define ORVA_WIREGUARD_PLUGIN_TESTING_CHANNEL_MESSENGER_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine_client/binary_messenger.h"

class ChannelMessenger : public flutter::BinaryMessenger {
 public:
  using Bytes = std::vector<uint8_t>;
  using Reply = std::pair<int, Bytes>;  // the answered message's tag, the reply

  void SendToChannel(const std::string&, const uint8_t*, size_t,
                     flutter::ReplyCallback) const override {}

  void SetChannelHandler(const std::string& channel,
                         flutter::ChannelMessageHandler handler) override {
    if (handler) {
      handlers_[channel] = std::move(handler);
    } else {
      handlers_.erase(channel);
    }
  }

  bool HasHandler(const std::string& channel) const { return handlers_.count(channel) > 0; }

  // Hands |message| to the channel's handler and returns once the handler
  // has; its replies are kept with |tag|. False when nothing listens.
  bool Post(const std::string& channel, const Bytes& message, int tag) {
    auto it = handlers_.find(channel);
    if (it == handlers_.end()) return false;
    it->second(message.data(), message.size(), [this, tag](const uint8_t* reply, size_t size) {
      std::lock_guard<std::mutex> lock(mutex_);
      replies_.emplace_back(tag, Bytes(reply, reply + size));
      replied_.notify_all();
    });
    return true;
  }

  // Every reply so far once there are at least |count| (or after 20 s).
  std::vector<Reply> WaitForReplies(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    replied_.wait_for(lock, std::chrono::seconds(20), [&] { return replies_.size() >= count; });
    return replies_;
  }

  // The replies to the message tagged |tag| once there is one (or after
  // 20 s: none).
  std::vector<Bytes> RepliesTo(int tag) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::vector<Bytes> found;
    replied_.wait_for(lock, std::chrono::seconds(20), [&] {
      found.clear();
      for (const Reply& reply : replies_) {
        if (reply.first == tag) found.push_back(reply.second);
      }
      return !found.empty();
    });
    return found;
  }

  // Posts |message| with a tag of its own and returns its replies (see
  // RepliesTo).
  std::vector<Bytes> Deliver(const std::string& channel, const Bytes& message) {
    const int tag = --next_own_tag_;
    Post(channel, message, tag);
    return RepliesTo(tag);
  }

 private:
  std::map<std::string, flutter::ChannelMessageHandler> handlers_;
  std::mutex mutex_;
  std::condition_variable replied_;
  std::vector<Reply> replies_;
  int next_own_tag_ = 0;  // Deliver's tags count down from -1
};

#endif  // ORVA_WIREGUARD_PLUGIN_TESTING_CHANNEL_MESSENGER_H_
