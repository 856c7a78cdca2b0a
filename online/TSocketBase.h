// The socket base of the HTTP client: one TCP connection at a time, waits that
// keep the GUI thread's messages flowing, the inactivity time-out and Abort.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "framework/TApplication.h"
#include "framework/TComponent.h"
#include "online/ByteSource.h"
#include "platform/Socket.h"

namespace online {

// Socket failures below HTTP.
class ESockError : public framework::Exception {
 public:
  using framework::Exception::Exception;
  std::string ClassName() const override { return "ESockError"; }
};

// Cancellation and time-out while sending or reading.
class EAbortError : public ESockError {
 public:
  using ESockError::ESockError;
  std::string ClassName() const override { return "EAbortError"; }
};

class TSocketBase : public framework::TComponent, public ByteSource {
 public:
  explicit TSocketBase(framework::TComponent* AOwner);
  ~TSocketBase() override;
  std::string ClassName() const override { return "TSocketBase"; }

  // Inactivity time-out of every wait in ms; 0 waits without limit.
  int GetTimeOut() const { return FTimeOut; }
  void SetTimeOut(int value) { FTimeOut = value; }
  bool GetConnected() const { return FConnected; }

  // Ends the wait in progress with its cancelled or aborted exception; the next
  // connect clears it. Safe from any thread.
  void Abort();
  // Closes the connection and opens a fresh unconnected socket. During a request
  // (from a handler run by its wait) it aborts that request instead, which then
  // closes its own connection: closing under a running wait would let it read a
  // descriptor the system may already have handed to someone else.
  void Disconnect();

  // ByteSource over the connection.
  void Begin(Phase phase) override;
  std::size_t Read(char* buffer, std::size_t maxBytes) override;

 protected:
  void Connect(const std::string& host, int port);
  // Sends every byte of text.
  void SendText(const std::string& text);
  void CloseConnection();

  bool FBusy = false;  // a request is running (its waits may run other handlers)

 private:
  void StartTimer();
  // Fires the time-out: sets the timed-out flag and aborts.
  void CheckTimer();
  // One turn of the GUI thread's messages, when called on the GUI thread.
  void ProcessMessages();
  // How long one poll of a read or send may block before messages are pumped again.
  int WaitSlice() const;
  [[noreturn]] void RaiseSocketError(int code);

  platform::Socket FSocket;
  int FTimeOut = 0;
  bool FConnected = false;
  std::atomic<bool> FCancelled{false};
  std::atomic<bool> FTimedOut{false};
  Phase FPhase = Phase::HeaderLine;
  std::chrono::steady_clock::time_point FDeadline;
};

}  // namespace online
