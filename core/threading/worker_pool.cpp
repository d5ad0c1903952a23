#include "core/threading/worker_pool.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace ORV::Threading {

struct WorkerPool::State {
  struct Item {
    std::uint64_t id = 0;
    std::function<void()> run;
    std::function<void()> abandon;
  };

  mutable std::mutex mutex;
  std::condition_variable work;   // pool workers wait here for items or quit
  std::condition_variable ended;  // Quit waits here for the last thread
  std::deque<Item> queue;
  std::uint64_t nextId = 1;
  int idle = 0;        // pool workers inside their wait
  int workers = 0;     // pool workers alive (counted against the limit)
  int ownThreads = 0;  // threads of their own alive
  int limit = 12;
  std::chrono::milliseconds idleTimeout{kWorkerIdleTimeout};
  bool quit = false;
  std::shared_ptr<Utils::Sync::Event> quitEvent = std::make_shared<Utils::Sync::Event>();

  // Called under the mutex whenever a thread ends.
  void ThreadEnded() {
    if (workers + ownThreads == 0) ended.notify_all();
  }
};

namespace {

using State = WorkerPool::State;

void RunGuarded(std::function<void()>& f) {
  try {
    if (f) f();
  } catch (...) {
    // Items report their own failures; nothing may end the worker.
  }
}

void OwnThreadMain(std::shared_ptr<State> s, State::Item item) {
  RunGuarded(item.run);
  item = {};  // release what the item holds before the thread counts as ended
  std::lock_guard lock(s->mutex);
  --s->ownThreads;
  s->ThreadEnded();
}

void PoolWorkerMain(std::shared_ptr<State> s) {
  std::unique_lock lock(s->mutex);
  for (;;) {
    if (!s->queue.empty()) {
      State::Item item = std::move(s->queue.front());
      s->queue.pop_front();
      lock.unlock();
      RunGuarded(item.run);
      item = {};
      lock.lock();
      continue;
    }
    if (s->quit) break;
    // The queue is looked at again under the lock before the worker gives
    // up, so an item posted while it waited is never left behind.
    ++s->idle;
    const bool woken = s->work.wait_for(lock, s->idleTimeout, [&] { return !s->queue.empty() || s->quit; });
    --s->idle;
    if (!woken) break;
  }
  --s->workers;
  s->ThreadEnded();
}

}  // namespace

WorkerPool::WorkerPool(unsigned processors, std::chrono::milliseconds idleTimeout) : state_(std::make_shared<State>()) {
  state_->limit = LimitFor(processors);
  state_->idleTimeout = idleTimeout;
}

WorkerPool::~WorkerPool() {
  bool quit;
  {
    std::lock_guard lock(state_->mutex);
    quit = state_->quit;
  }
  // Threads still running keep the shared state alive; a pool that was
  // already quit has had its wait.
  if (!quit) Quit(kPoolExitWait);
}

unsigned WorkerPool::DefaultProcessorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

int WorkerPool::LimitFor(unsigned processors) {
  const unsigned p = std::max(processors, 1u);
  const unsigned limit = std::max(3u * std::min(p, 1u << 20), 12u);
  return static_cast<int>(limit);
}

bool WorkerPool::Post(std::function<void()> run, std::function<void()> abandon, bool ownThread) {
  State& s = *state_;
  std::unique_lock lock(s.mutex);
  if (s.quit) return false;

  if (ownThread) {
    ++s.ownThreads;
    lock.unlock();
    try {
      std::thread(OwnThreadMain, state_, State::Item{0, std::move(run), std::move(abandon)}).detach();
    } catch (...) {
      lock.lock();
      --s.ownThreads;
      s.ThreadEnded();
      throw;
    }
    return true;
  }

  const std::uint64_t id = s.nextId++;
  s.queue.push_back(State::Item{id, std::move(run), std::move(abandon)});
  // Every waiting worker takes one item; start a worker only for items that
  // no waiting worker will take.
  if (static_cast<std::size_t>(s.idle) >= s.queue.size()) {
    s.work.notify_one();
    return true;
  }
  if (s.workers >= s.limit) return true;  // the item waits for a busy worker
  ++s.workers;
  lock.unlock();
  try {
    std::thread(PoolWorkerMain, state_).detach();
  } catch (...) {
    lock.lock();
    --s.workers;
    s.ThreadEnded();
    if (s.workers > 0) return true;  // a live worker will take the item
    const auto it = std::find_if(s.queue.begin(), s.queue.end(), [id](const State::Item& i) { return i.id == id; });
    if (it != s.queue.end()) s.queue.erase(it);
    throw;
  }
  return true;
}

bool WorkerPool::Quit(std::chrono::milliseconds bound) {
  State& s = *state_;
  std::deque<State::Item> dropped;
  {
    std::lock_guard lock(s.mutex);
    if (!s.quit) {
      s.quit = true;
      dropped.swap(s.queue);
    }
  }
  s.quitEvent->Set();
  s.work.notify_all();
  for (State::Item& item : dropped) RunGuarded(item.abandon);
  dropped.clear();

  std::unique_lock lock(s.mutex);
  return s.ended.wait_for(lock, bound, [&] { return s.workers + s.ownThreads == 0; });
}

std::shared_ptr<Utils::Sync::Event> WorkerPool::QuitEvent() const { return state_->quitEvent; }

int WorkerPool::Limit() const {
  std::lock_guard lock(state_->mutex);
  return state_->limit;
}

int WorkerPool::Workers() const {
  std::lock_guard lock(state_->mutex);
  return state_->workers + state_->ownThreads;
}

int WorkerPool::Idle() const {
  std::lock_guard lock(state_->mutex);
  return state_->idle;
}

std::size_t WorkerPool::Queued() const {
  std::lock_guard lock(state_->mutex);
  return state_->queue.size();
}

namespace {
std::mutex g_sharedMutex;
std::shared_ptr<WorkerPool> g_shared;
}  // namespace

std::shared_ptr<WorkerPool> SharedWorkerPool() {
  std::lock_guard lock(g_sharedMutex);
  if (!g_shared) g_shared = std::make_shared<WorkerPool>();
  return g_shared;
}

std::shared_ptr<WorkerPool> ExistingSharedWorkerPool() {
  std::lock_guard lock(g_sharedMutex);
  return g_shared;
}

bool ExitSharedWorkerPool(std::chrono::milliseconds bound) {
  std::shared_ptr<WorkerPool> pool;
  {
    std::lock_guard lock(g_sharedMutex);
    pool = std::move(g_shared);
  }
  return pool ? pool->Quit(bound) : true;
}

}  // namespace ORV::Threading
