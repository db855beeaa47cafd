#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "velkor/window.h"

namespace {

using velkor::NotificationWindow;

struct Call {
  VNX_HWND window = 0;
  uint32_t message = 0;
  VNX_WPARAM wParam = 0;
  VNX_LPARAM lParam = 0;
  std::thread::id thread;
  bool operator==(const Call&) const = default;
};

VNX_LRESULT Recording(void* context, VNX_HWND window, uint32_t message, VNX_WPARAM wParam, VNX_LPARAM lParam) {
  static_cast<std::vector<Call>*>(context)->push_back({window, message, wParam, lParam, std::this_thread::get_id()});
  return static_cast<VNX_LRESULT>(wParam) * 10 + lParam;
}

TEST(NotificationWindows, MessagesRunSynchronouslyAndGoneWindowsAnswerZero) {
  std::vector<Call> calls;
  const VNX_HWND window = VnxCreateWindow(&Recording, &calls);
  ASSERT_GT(window, 0);
  EXPECT_EQ(VnxIsWindow(window), 1);
  EXPECT_EQ(VnxSendMessage(window, 0x8001, 2, -7), 13);
  // Done on this thread by the time the send returns.
  EXPECT_EQ(calls, (std::vector<Call>{{window, 0x8001, 2, -7, std::this_thread::get_id()}}));

  EXPECT_EQ(VnxDestroyWindow(window), 1);
  EXPECT_EQ(VnxIsWindow(window), 0);
  EXPECT_EQ(VnxDestroyWindow(window), 0);
  EXPECT_EQ(VnxSendMessage(window, 1, 1, 1), 0);
  for (VNX_HWND unknown : {0, -5}) EXPECT_EQ(VnxSendMessage(unknown, 1, 1, 1), 0);
  EXPECT_EQ(VnxDestroyWindow(0), 0);
  EXPECT_EQ(VnxCreateWindow(nullptr, &calls), 0);
  EXPECT_EQ(calls.size(), 1u);

  const VNX_HWND next = VnxCreateWindow(&Recording, &calls);
  EXPECT_GT(next, 0);
  EXPECT_NE(next, window);  // not handed out again
  VnxDestroyWindow(next);
}

TEST(NotificationWindows, AProcedureMaySendMessagesItself) {
  // To the other window, and once more to itself: the table is not locked
  // while a procedure runs.
  int depth = 0;
  VNX_HWND first = 0, second = 0;
  auto relay = [&depth](const VNX_HWND* self, const VNX_HWND* other) {
    return [&depth, self, other](uint32_t message, VNX_WPARAM wParam, VNX_LPARAM lParam) -> VNX_LRESULT {
      ++depth;
      if (wParam == 0) return 1;
      return VnxSendMessage(*other, message, wParam - 1, lParam) + VnxSendMessage(*self, message, 0, lParam);
    };
  };
  NotificationWindow a(relay(&first, &second)), b(relay(&second, &first));
  first = a.Handle();
  second = b.Handle();
  EXPECT_EQ(a.Send(1, 4, 0), 5);
  EXPECT_EQ(depth, 9);
}

TEST(NotificationWindows, AProcedureMayDestroyItsOwnWindow) {
  VNX_HWND self = 0;
  int calls = 0, destroyed = -1, stillAWindow = -1;
  VNX_LRESULT nested = -1;
  NotificationWindow window([&](uint32_t, VNX_WPARAM, VNX_LPARAM) -> VNX_LRESULT {
    ++calls;
    destroyed = VnxDestroyWindow(self);
    stillAWindow = VnxIsWindow(self);
    nested = VnxSendMessage(self, 2, 0, 0);  // no longer delivered
    return 42;
  });
  self = window.Handle();
  EXPECT_EQ(VnxSendMessage(self, 1, 0, 0), 42);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(stillAWindow, 0);
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(VnxSendMessage(self, 1, 0, 0), 0);
  EXPECT_EQ(calls, 1);
}

TEST(NotificationWindows, DestroyWaitsForCallsOnOtherThreads) {
  std::atomic<bool> entered{false}, mayLeave{false}, left{false};
  NotificationWindow window([&](uint32_t, VNX_WPARAM, VNX_LPARAM) -> VNX_LRESULT {
    entered = true;
    while (!mayLeave) std::this_thread::yield();
    left = true;
    return 1;
  });
  const VNX_HWND handle = window.Handle();
  std::thread sender([&] { VnxSendMessage(handle, 1, 0, 0); });
  while (!entered) std::this_thread::yield();

  std::atomic<bool> destroyed{false}, leftBeforeDestroyed{false};
  std::thread destroyer([&] {
    VnxDestroyWindow(handle);
    leftBeforeDestroyed = left.load();
    destroyed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(VnxIsWindow(handle), 0);  // gone for new messages at once
  EXPECT_EQ(VnxSendMessage(handle, 1, 0, 0), 0);
  mayLeave = true;
  sender.join();
  destroyer.join();
  EXPECT_TRUE(leftBeforeDestroyed);
}

VNX_LRESULT Echoing(void* context, VNX_HWND, uint32_t, VNX_WPARAM, VNX_LPARAM) {
  return reinterpret_cast<VNX_LRESULT>(context);
}

TEST(NotificationWindows, ThreadsCreateSendAndDestroyAtOnce) {
  constexpr int kThreads = 4, kRounds = 300;
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

TEST(NotificationWindows, TheWrapperOwnsItsWindowAndContainsExceptions) {
  VNX_HWND handle = 0;
  {
    NotificationWindow window([](uint32_t, VNX_WPARAM wParam, VNX_LPARAM) -> VNX_LRESULT {
      if (wParam == 0) throw std::runtime_error("x");
      return static_cast<VNX_LRESULT>(wParam + 1);
    });
    handle = window.Handle();
    NotificationWindow moved(std::move(window));
    EXPECT_FALSE(window);
    EXPECT_EQ(moved.Handle(), handle);
    EXPECT_EQ(moved.Send(6, 41, 0), 42);
    EXPECT_EQ(moved.Send(6, 0, 0), 0);  // a throwing procedure answers 0
    EXPECT_EQ(VnxIsWindow(handle), 1);
  }
  EXPECT_EQ(VnxIsWindow(handle), 0);
  EXPECT_FALSE(NotificationWindow{NotificationWindow::Procedure()});
}

}  // namespace
