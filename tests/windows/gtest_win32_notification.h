// GoogleTest's Notification over a Win32 event, for MinGW runtimes built with the win32 thread
// model, whose <mutex> has no std::mutex. Notification is the only part of GoogleTest's thread
// support that uses std::mutex; GoogleTest takes this one instead when GTEST_HAS_NOTIFICATION_
// is set. Force-included into GoogleTest and its users by tests/windows/CMakeLists.txt.
// It is not a general replacement for std::mutex, and nothing of ours uses threads.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
  public:
    // Manual reset: once notified, every waiter passes, now and later.
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

  private:
    HANDLE event_;
};

} // namespace internal
} // namespace testing
