// Backend connections kept open between sessions, by key (a file, a server login and database).
// Every page method opens and closes its own session; reusing a connection saves opening it
// again. A connection waits at most a while, a key keeps at most a few; a connection is taken back
// only when the backend's check says it is still good. Connections that are dropped are closed
// outside the lock.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrin::db {

// Core: the backend's connection, with a member idleSince (std::chrono::steady_clock).
template <class Core>
class IdlePool {
 public:
  IdlePool(size_t maxPerKey, std::chrono::seconds maxIdle)
      : maxPerKey_(maxPerKey), maxIdle_(maxIdle) {}

  // The most recently given connection of `key` that `stillGood` accepts, or nullptr.
  template <class Check>
  std::shared_ptr<Core> take(const std::string& key, Check stillGood) {
    std::vector<std::shared_ptr<Core>> dropped;  // closed after the lock is released
    std::shared_ptr<Core> found;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = idle_.find(key);
    if (it == idle_.end()) return nullptr;
    auto& cores = it->second;
    const auto now = std::chrono::steady_clock::now();
    while (!cores.empty() && !found) {
      std::shared_ptr<Core> core = std::move(cores.back());
      cores.pop_back();
      if (now - core->idleSince < maxIdle_ && stillGood(*core)) {
        found = std::move(core);
      } else {
        dropped.push_back(std::move(core));
      }
    }
    return found;
  }

  void give(const std::string& key, std::shared_ptr<Core> core) {
    core->idleSince = std::chrono::steady_clock::now();
    std::shared_ptr<Core> surplus;  // closed after the lock is released
    std::lock_guard<std::mutex> lock(mutex_);
    auto& cores = idle_[key];
    cores.push_back(std::move(core));
    if (cores.size() > maxPerKey_) {
      surplus = std::move(cores.front());
      cores.erase(cores.begin());
    }
  }

  size_t idleCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t n = 0;
    for (const auto& [key, cores] : idle_) n += cores.size();
    return n;
  }

 private:
  const size_t maxPerKey_;
  const std::chrono::seconds maxIdle_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::vector<std::shared_ptr<Core>>> idle_;
};

}  // namespace kestrin::db
