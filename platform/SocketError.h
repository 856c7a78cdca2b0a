// Socket errors in the numbering the HTTP client reports: Winsock codes and
// their descriptions, mapped from POSIX errno and name-lookup results.
#pragma once

#include <string>

namespace platform {

constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAHOST_NOT_FOUND = 11001;

// Winsock code for a POSIX errno; an errno without counterpart is returned unchanged.
int SocketErrorFromErrno(int posixErrno);
// Winsock code for a getaddrinfo result (EAI_*); EAI_SYSTEM uses errno.
int SocketErrorFromLookup(int gaiResult, int posixErrno);
// The description of a code, or "Unknown Error No. " and the code.
std::string SocketErrorDescription(int code);
// "code:description", the text of a socket exception.
std::string SocketErrorText(int code);

}  // namespace platform
