#include "online/TSocketBase.h"

#include <vector>

#include "platform/NameLookup.h"
#include "platform/SocketError.h"

namespace online {

namespace {
// Lookup and connect sleep this long per turn before pumping messages again.
constexpr int kTurnMs = 2;
// Without a GUI thread to serve, reads and sends may block longer per poll;
// this only bounds how late a cross-thread Abort is noticed.
constexpr int kUnpumpedSliceMs = 20;
}  // namespace

TSocketBase::TSocketBase(framework::TComponent* AOwner) : framework::TComponent(AOwner) {
  if (FSocket.Open() != 0) throw ESockError("Initializaton of windows sockets failed");
}

TSocketBase::~TSocketBase() = default;

void TSocketBase::Abort() { FCancelled.store(true); }

void TSocketBase::Disconnect() {
  if (FBusy) {
    Abort();
    return;
  }
  CloseConnection();
}

void TSocketBase::CloseConnection() {
  FSocket.Close();
  FConnected = false;
  // Keep one socket at all times; a failure here shows again at the next connect.
  FSocket.Open();
}

void TSocketBase::StartTimer() {
  if (FTimeOut > 0) FDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(FTimeOut);
}

void TSocketBase::CheckTimer() {
  if (FTimeOut > 0 && std::chrono::steady_clock::now() >= FDeadline) {
    FTimedOut.store(true);
    Abort();
  }
}

void TSocketBase::ProcessMessages() {
  framework::TApplication* app = framework::Application;
  if (app && app->OnGuiThread()) app->ProcessMessages();
}

int TSocketBase::WaitSlice() const {
  framework::TApplication* app = framework::Application;
  int slice = (app && app->OnGuiThread()) ? kTurnMs : kUnpumpedSliceMs;
  if (FTimeOut > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(FDeadline - std::chrono::steady_clock::now()).count();
    if (left < slice) slice = left < 0 ? 0 : static_cast<int>(left) + 1;
  }
  return slice;
}

void TSocketBase::RaiseSocketError(int code) { throw ESockError(platform::SocketErrorText(code)); }

void TSocketBase::Connect(const std::string& host, int port) {
  FCancelled.store(false);
  FTimedOut.store(false);
  if (FConnected) throw ESockError("Already connected");
  // Winsock takes the port as a 16-bit number; 0 and anything wider cannot be reached.
  if (port < 1 || port > 65535) RaiseSocketError(10049);
  const auto port16 = static_cast<std::uint16_t>(port);

  std::vector<platform::SocketAddress> addresses;
  platform::SocketAddress dotted;
  if (platform::ParseDottedIPv4(host, port16, dotted)) {
    addresses.push_back(dotted);
  } else {
    std::string name = host;
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    StartTimer();
    platform::NameLookup lookup(name, port16);
    for (;;) {
      if (FCancelled.load()) throw ESockError(FTimedOut.load() ? "Host Lookup Timed Out" : "Host Lookup Canceled");
      if (lookup.Wait(kTurnMs)) break;
      ProcessMessages();
      CheckTimer();
    }
    // A lookup without an address ("Host Lookup Failed") reaches the caller as this.
    addresses = lookup.Result().addresses;
    if (addresses.empty()) throw ESockError("Null Remote Address");
  }

  // A name may give several addresses (IPv6 and IPv4): try them in order under one time-out.
  StartTimer();
  std::string failure;
  for (const auto& address : addresses) {
    if (!FSocket.IsOpen() || FSocket.Family() != address.Family()) {
      if (int e = FSocket.Open(address.Family())) RaiseSocketError(e);
    }
    int error = 0;
    auto state = FSocket.StartConnect(address, error);
    const bool startedPending = state == platform::Socket::State::Pending;
    while (state == platform::Socket::State::Pending) {
      if (FCancelled.load()) throw ESockError(FTimedOut.load() ? "Connection Timed out" : "Connection Canceled");
      state = FSocket.WaitConnect(kTurnMs, error);
      if (state == platform::Socket::State::Pending) {
        ProcessMessages();
        CheckTimer();
      }
    }
    if (state == platform::Socket::State::Connected) {
      FConnected = true;
      return;
    }
    // An error reported as the connect went on is the connect event's failure;
    // one the system gives at once (an unreachable network) keeps its code.
    failure = startedPending ? std::string("Connection Failed") : platform::SocketErrorText(error);
    FSocket.Open(address.Family());
  }
  throw ESockError(failure);
}

void TSocketBase::SendText(const std::string& text) {
  StartTimer();
  std::size_t sent = 0;
  while (sent < text.size()) {
    if (FCancelled.load()) throw EAbortError("Socket send aborted");
    int error = 0;
    long n = FSocket.Send(text.data() + sent, text.size() - sent, error);
    if (n < 0) RaiseSocketError(error);
    sent += static_cast<std::size_t>(n);
    if (sent < text.size()) {
      FSocket.WaitWritable(WaitSlice());
      ProcessMessages();
      CheckTimer();
    }
  }
}

void TSocketBase::Begin(Phase phase) {
  FPhase = phase;
  StartTimer();
}

std::size_t TSocketBase::Read(char* buffer, std::size_t maxBytes) {
  for (;;) {
    if (FCancelled.load())
      throw EAbortError(FPhase == Phase::Body ? "Socket capture aborted" : "Socket readln aborted");
    int error = 0;
    long n = FSocket.Receive(buffer, maxBytes, error);
    if (n >= 0) return static_cast<std::size_t>(n);
    // A socket that is no longer connected has ended its stream.
    if (error == platform::WSAENOTCONN) return 0;
    if (error != platform::WSAEWOULDBLOCK) RaiseSocketError(error);
    FSocket.WaitReadable(WaitSlice());
    ProcessMessages();
    CheckTimer();
  }
}

}  // namespace online
