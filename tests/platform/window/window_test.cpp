#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "velkor/window.h"

namespace {

using velkor::NotificationWindow;

struct Record {
  int calls = 0;
  VNX_HWND window = 0;
  uint32_t message = 0;
  VNX_WPARAM wParam = 0;
  VNX_LPARAM lParam = 0;
  std::thread::id thread;
};

VNX_LRESULT Recording(void* context, VNX_HWND window, uint32_t message, VNX_WPARAM wParam, VNX_LPARAM lParam) {
  auto& record = *static_cast<Record*>(context);
  record = Record{record.calls + 1, window, message, wParam, lParam, std::this_thread::get_id()};
  return static_cast<VNX_LRESULT>(wParam) * 10 + lParam;
}

TEST(NotificationWindows, AMessageRunsTheProcedureOnTheSendingThread) {
  Record record;
  const VNX_HWND window = VnxCreateWindow(&Recording, &record);
  ASSERT_GT(window, 0);
  EXPECT_EQ(VnxIsWindow(window), 1);

  EXPECT_EQ(VnxSendMessage(window, 0x8001, 2, -7), 13);
  EXPECT_EQ(record.calls, 1);  // already done when the send returns
  EXPECT_EQ(record.window, window);
  EXPECT_EQ(record.message, 0x8001u);
  EXPECT_EQ(record.wParam, 2u);
  EXPECT_EQ(record.lParam, -7);
  EXPECT_EQ(record.thread, std::this_thread::get_id());

  EXPECT_EQ(VnxDestroyWindow(window), 1);
  EXPECT_EQ(VnxIsWindow(window), 0);
}

TEST(NotificationWindows, UnknownAndDestroyedWindowsAnswerZero) {
  Record record;
  EXPECT_EQ(VnxCreateWindow(nullptr, &record), 0);
  EXPECT_EQ(VnxSendMessage(0, 1, 1, 1), 0);
  EXPECT_EQ(VnxSendMessage(-5, 1, 1, 1), 0);
  EXPECT_EQ(VnxDestroyWindow(0), 0);
  EXPECT_EQ(VnxIsWindow(0), 0);

  const VNX_HWND window = VnxCreateWindow(&Recording, &record);
  ASSERT_EQ(VnxDestroyWindow(window), 1);
  EXPECT_EQ(VnxDestroyWindow(window), 0);
  EXPECT_EQ(VnxSendMessage(window, 1, 1, 1), 0);
  EXPECT_EQ(record.calls, 0);
}

TEST(NotificationWindows, HandlesAreNotHandedOutAgain) {
  Record record;
  const VNX_HWND first = VnxCreateWindow(&Recording, &record);
  VnxDestroyWindow(first);
  const VNX_HWND second = VnxCreateWindow(&Recording, &record);
  EXPECT_NE(second, first);
  EXPECT_GT(second, 0);
  VnxDestroyWindow(second);
}

struct Relay {
  VNX_HWND target = 0;
  int depth = 0;
};

VNX_LRESULT Forwarding(void* context, VNX_HWND self, uint32_t message, VNX_WPARAM wParam, VNX_LPARAM lParam) {
  auto& relay = *static_cast<Relay*>(context);
  ++relay.depth;
  if (wParam == 0) return 1;
  // To the other window, and once more to itself: the table is not locked
  // while a procedure runs.
  const VNX_LRESULT other = VnxSendMessage(relay.target, message, wParam - 1, lParam);
  const VNX_LRESULT again = VnxSendMessage(self, message, 0, lParam);
  return other + again;
}

TEST(NotificationWindows, AProcedureMaySendMessagesItself) {
  Relay a, b;
  const VNX_HWND first = VnxCreateWindow(&Forwarding, &a);
  const VNX_HWND second = VnxCreateWindow(&Forwarding, &b);
  a.target = second;
  b.target = first;
  EXPECT_EQ(VnxSendMessage(first, 1, 4, 0), 5);
  EXPECT_EQ(a.depth + b.depth, 9);
  VnxDestroyWindow(first);
  VnxDestroyWindow(second);
}

struct SelfDestroying {
  VNX_HWND self = 0;
  int calls = 0;
  int destroyResult = -1;
  int stillAWindow = -1;
  VNX_LRESULT nestedAnswer = -1;
};

VNX_LRESULT DestroyingItself(void* context, VNX_HWND window, uint32_t, VNX_WPARAM, VNX_LPARAM) {
  auto& state = *static_cast<SelfDestroying*>(context);
  ++state.calls;
  state.destroyResult = VnxDestroyWindow(window);
  state.stillAWindow = VnxIsWindow(window);
  state.nestedAnswer = VnxSendMessage(window, 2, 0, 0);  // no longer delivered
  return 42;
}

TEST(NotificationWindows, AProcedureMayDestroyItsOwnWindow) {
  SelfDestroying state;
  state.self = VnxCreateWindow(&DestroyingItself, &state);
  EXPECT_EQ(VnxSendMessage(state.self, 1, 0, 0), 42);
  EXPECT_EQ(state.calls, 1);
  EXPECT_EQ(state.destroyResult, 1);
  EXPECT_EQ(state.stillAWindow, 0);
  EXPECT_EQ(state.nestedAnswer, 0);
  EXPECT_EQ(VnxSendMessage(state.self, 1, 0, 0), 0);
  EXPECT_EQ(state.calls, 1);
}

struct Held {
  std::atomic<bool> entered{false};
  std::atomic<bool> mayLeave{false};
  std::atomic<bool> left{false};
};

VNX_LRESULT Holding(void* context, VNX_HWND, uint32_t, VNX_WPARAM, VNX_LPARAM) {
  auto& held = *static_cast<Held*>(context);
  held.entered = true;
  while (!held.mayLeave) std::this_thread::yield();
  held.left = true;
  return 1;
}

TEST(NotificationWindows, DestroyWaitsForCallsOnOtherThreads) {
  Held held;
  const VNX_HWND window = VnxCreateWindow(&Holding, &held);
  std::thread sender([&] { VnxSendMessage(window, 1, 0, 0); });
  while (!held.entered) std::this_thread::yield();

  std::atomic<bool> destroyed{false};
  std::atomic<bool> leftBeforeDestroyed{false};
  std::thread destroyer([&] {
    VnxDestroyWindow(window);
    leftBeforeDestroyed = held.left.load();
    destroyed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(VnxIsWindow(window), 0);  // gone for new messages at once
  EXPECT_EQ(VnxSendMessage(window, 1, 0, 0), 0);
  held.mayLeave = true;
  sender.join();
  destroyer.join();
  EXPECT_TRUE(leftBeforeDestroyed);
}

VNX_LRESULT Echoing(void* context, VNX_HWND, uint32_t, VNX_WPARAM, VNX_LPARAM) {
  return reinterpret_cast<VNX_LRESULT>(context);
}

TEST(NotificationWindows, ThreadsCreateSendAndDestroyAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  std::atomic<VNX_HWND> recent{0};
  std::atomic<int> misdelivered{0};
  std::atomic<bool> done{false};

  // One thread keeps sending to windows that the others are destroying.
  std::thread stray([&] {
    while (!done) VnxSendMessage(recent.load(), 1, 0, 0);
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        const auto tag = static_cast<VNX_LRESULT>(t * kRounds + round + 1);
        const VNX_HWND window = VnxCreateWindow(&Echoing, reinterpret_cast<void*>(tag));
        recent = window;
        if (window <= 0 || VnxSendMessage(window, 1, 0, 0) != tag) ++misdelivered;
        if (VnxDestroyWindow(window) != 1) ++misdelivered;
      }
    });
  }
  for (auto& worker : workers) worker.join();
  done = true;
  stray.join();
  EXPECT_EQ(misdelivered, 0);
}

TEST(NotificationWindows, TheWrapperOwnsItsWindow) {
  std::vector<uint32_t> seen;
  VNX_HWND handle = 0;
  {
    NotificationWindow window([&](uint32_t message, VNX_WPARAM wParam, VNX_LPARAM) {
      seen.push_back(message);
      return static_cast<VNX_LRESULT>(wParam + 1);
    });
    ASSERT_TRUE(window);
    handle = window.Handle();
    EXPECT_EQ(VnxSendMessage(handle, 5, 41, 0), 42);

    NotificationWindow moved(std::move(window));
    EXPECT_FALSE(window);
    EXPECT_EQ(moved.Handle(), handle);
    EXPECT_EQ(moved.Send(6, 0, 0), 1);
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{5, 6}));
  EXPECT_EQ(VnxIsWindow(handle), 0);

  NotificationWindow empty{NotificationWindow::Procedure()};
  EXPECT_FALSE(empty);
}

TEST(NotificationWindows, AThrowingProcedureAnswersZero) {
  NotificationWindow window([](uint32_t, VNX_WPARAM, VNX_LPARAM) -> VNX_LRESULT { throw std::runtime_error("x"); });
  EXPECT_EQ(window.Send(1, 0, 0), 0);
  EXPECT_EQ(VnxIsWindow(window.Handle()), 1);
}

}  // namespace
