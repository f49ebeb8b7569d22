#pragma once
// Single-threaded apartments and their message queues. A thread enters an apartment before it
// uses objects; entering creates the thread's message queue. The first thread that enters is
// the main apartment (normally the host's): objects of classes registered without a threading
// model live there, and other threads reach them through a proxy that hands each call to the
// main thread's queue and waits. A "window" is a handler registered on a thread's queue; posted
// and sent messages reach it when that thread pumps (GetMessage / DispatchMessage), as the host
// thread must while the server runs.

#include <cstdint>
#include <functional>

#include "platform/automation/result.h"
#include "platform/com/com_ptr.h"

/// A message window: a handler owned by the queue of the thread that created it.
struct MessageWindow;
using HWND = MessageWindow*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

/// Called on the owning thread for each message that reaches the window.
using WindowProcedure = std::function<LRESULT(uint32_t message, WPARAM wparam, LPARAM lparam)>;

struct MSG {
  HWND window;
  uint32_t message;
  WPARAM wparam;
  LPARAM lparam;
};

/// The message that ends a message loop: GetMessage returns false for it.
inline constexpr uint32_t WM_QUIT = 0x0012;
/// Private messages start here, as on the platform.
inline constexpr uint32_t WM_USER = 0x0400;

/// Enters a single-threaded apartment on the calling thread (counted: each call needs a
/// matching CoUninitialize). S_OK the first time on a thread, S_FALSE when already entered.
HRESULT CoInitialize();
/// Leaves the apartment; the last call destroys the thread's queue and its windows. Messages
/// still queued are discarded; threads waiting on sent ones are released with result 0.
void CoUninitialize();
bool IsInApartment();
/// Whether the calling thread is the main apartment's thread. The main apartment is the first
/// apartment entered in the process, and stays so until that thread leaves it.
bool IsMainApartmentThread();

/// A window on the calling thread's queue (the thread must be in an apartment; null if not).
HWND CreateMessageWindow(WindowProcedure procedure);
/// Only the owning thread destroys its windows; messages still queued for it are dropped.
void DestroyMessageWindow(HWND window);
/// The main apartment's own window, which carries calls handed to the main thread
/// (object creation, proxy calls). Null while there is no main apartment.
HWND MainApartmentWindow();

/// Queues a message for the window's thread and returns at once; false for a destroyed window.
bool PostMessage(HWND window, uint32_t message, WPARAM wparam, LPARAM lparam);
/// Runs the window's procedure on its thread and returns its result. From the owning thread
/// the procedure is called directly; from another thread the message is queued and the caller
/// waits without time limit, meanwhile serving messages sent to its own queue (so two
/// apartments calling each other do not deadlock). 0 for a destroyed window.
LRESULT SendMessage(HWND window, uint32_t message, WPARAM wparam, LPARAM lparam);
/// Posts WM_QUIT to the calling thread's queue.
void PostQuitMessage(int exit_code);

/// Waits for the next message of the calling thread's queue; false when it is WM_QUIT (or the
/// thread has no queue). Sent messages are delivered inside GetMessage and not returned.
bool GetMessage(MSG* message);
/// As GetMessage without waiting: false when the queue is empty.
bool PeekMessage(MSG* message);
/// Calls the message's window procedure.
LRESULT DispatchMessage(const MSG& message);

/// Pumps messages until `done` returns true (checked after each message and at least every
/// `poll_milliseconds`), or until WM_QUIT arrives (which is put back for the outer loop).
/// Returns whether `done` became true.
bool PumpMessagesUntil(const std::function<bool()>& done, int poll_milliseconds = 50);

/// Runs `work` on the main apartment's thread and waits for it; runs it directly when already
/// there. E_UNEXPECTED when there is no main apartment.
HRESULT RunOnMainThread(const std::function<HRESULT()>& work);

/// A proxy for an object that lives in the calling thread's apartment, usable from any thread:
/// GetIDsOfNames and Invoke from other threads are sent to the owning thread, which must pump.
/// Arguments and results are passed as they are while the caller waits. Calls on the owning
/// thread go straight to the object. The proxy holds one reference to the object, released on
/// the owning thread.
ComPtr<IDispatch> CreateDispatchProxy(IDispatch* object);
