#pragma once
// Network serial adapters in front of motors: each adapter listens for one TCP
// client on a loopback address and carries its bytes to and from a line with
// one motor on it, paced at the motor's rate when asked. Discovery responders answer the adapters' UDP query on
// behalf of their adapters, each reply sent from the adapter's own address.
// One thread serves them all.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/frontend/paced_line.h"
#include "sim/frontend/pseudo_terminal.h"
#include "sim/frontend/serve_thread.h"
#include "sim/scenario/scenario.h"

namespace velkor::sim {

class NetServer {
 public:
  NetServer();
  ~NetServer();
  NetServer(const NetServer&) = delete;
  NetServer& operator=(const NetServer&) = delete;

  // Before Start. Binds at once, so the port the system chose is known at
  // return; nothing and a reason in `error` when the address cannot be had.
  std::optional<std::size_t> AddAdapter(std::unique_ptr<Line> line, const NetEndpoint& listen, DiscoveryReply reply,
                                        bool pace, std::string& error);
  // Before Start: answers the query for `adapters` (indices of AddAdapter),
  // in that order.
  std::optional<std::size_t> AddResponder(const NetEndpoint& at, std::vector<std::size_t> adapters,
                                          std::string& error);
  void UseClock(std::function<SimTime()> clock) { clock_ = std::move(clock); }
  bool Start(std::string& error);
  void Stop();  // idempotent; joins the thread

  std::size_t AdapterCount() const { return adapters_.size(); }
  const NetEndpoint& AdapterEndpoint(std::size_t adapter) const { return adapters_.at(adapter)->bound; }
  const NetEndpoint& ResponderEndpoint(std::size_t responder) const { return responders_.at(responder).bound; }

  template <class Use>
  auto WithLine(std::size_t adapter, Use&& use) {
    Adapter& served = *adapters_.at(adapter);
    std::lock_guard lock(served.mutex);
    return use(served.paced.Model());
  }

 private:
  struct Adapter {
    Adapter(std::unique_ptr<Line> line, bool pace) : paced(std::move(line), pace) {}
    PacedLine paced;  // its format is the adapter's serial side
    NetEndpoint bound;
    DiscoveryReply reply = DiscoveryReply::Normal;
    FileDescriptor listener;
    FileDescriptor replier;  // UDP, bound to the adapter's address
    FileDescriptor client;
    std::mutex mutex;
  };
  struct Responder {
    FileDescriptor socket;
    NetEndpoint bound;
    std::vector<std::size_t> adapters;
  };

  void Run();
  void Accept(Adapter& adapter);
  void ReadFrom(Adapter& adapter, std::chrono::steady_clock::time_point now);
  void WriteTo(Adapter& adapter, std::chrono::steady_clock::time_point now);
  void Answer(const Responder& responder);
  SimTime SimNow(std::chrono::steady_clock::time_point now) const { return clock_ ? clock_() : now - start_; }

  std::vector<std::unique_ptr<Adapter>> adapters_;
  std::vector<Responder> responders_;
  ServeThread thread_;
  std::chrono::steady_clock::time_point start_;
  std::function<SimTime()> clock_;
};

// The datagram an adapter sends in answer to the discovery query: 30 bytes
// beginning 00 00 00 F7, or the fault asked for; empty for no reply.
std::vector<std::uint8_t> DiscoveryAnswer(DiscoveryReply reply, std::uint32_t serial);

}  // namespace velkor::sim
