// What tests can ask the library about its own use: how often each exported
// function was called and which plugin registrars were requested, in order.
#include <windows.h>

#include <map>
#include <mutex>
#include <string>

#include "standins/engine/engine_objects.h"

namespace standin {
namespace {

struct Records {
  std::mutex lock;
  std::map<std::string, int32_t> call_counts;
  std::string registrar_requests;
};

Records& TheRecords() {
  static Records* records = new Records();  // outlives every engine
  return *records;
}

}  // namespace

void CountCall(const char* function_name) {
  Records& records = TheRecords();
  std::lock_guard<std::mutex> guard(records.lock);
  ++records.call_counts[function_name];
}

int32_t CallCount(const char* function_name) {
  if (!function_name) return 0;
  Records& records = TheRecords();
  std::lock_guard<std::mutex> guard(records.lock);
  auto found = records.call_counts.find(function_name);
  return found == records.call_counts.end() ? 0 : found->second;
}

void RecordRegistrarRequest(const std::string& plugin_name) {
  Records& records = TheRecords();
  std::lock_guard<std::mutex> guard(records.lock);
  records.registrar_requests += plugin_name;
  records.registrar_requests += '\n';
}

std::string RegistrarRequests() {
  Records& records = TheRecords();
  std::lock_guard<std::mutex> guard(records.lock);
  return records.registrar_requests;
}

void ResetRecords() {
  Records& records = TheRecords();
  std::lock_guard<std::mutex> guard(records.lock);
  records.call_counts.clear();
  records.registrar_requests.clear();
}

}  // namespace standin
