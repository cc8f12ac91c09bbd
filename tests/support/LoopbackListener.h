#pragma once
// A listening TCP socket on 127.0.0.1 with a port of the kernel's choosing,
// for tests of time-outs and stalled peers. Nothing is accepted or sent
// unless the test does it on Socket().

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

class TLoopbackListener {
 public:
  TLoopbackListener() {
    FSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    if (FSocket >= 0 && bind(FSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        listen(FSocket, 4) == 0 && getsockname(FSocket, reinterpret_cast<sockaddr*>(&addr), &size) == 0)
      FPort = ntohs(addr.sin_port);
  }
  ~TLoopbackListener() {
    if (FSocket >= 0) close(FSocket);
  }
  TLoopbackListener(const TLoopbackListener&) = delete;
  TLoopbackListener& operator=(const TLoopbackListener&) = delete;

  // 0 when the socket could not be set up.
  int Port() const { return FPort; }
  int Socket() const { return FSocket; }
  std::string Url() const { return "tcp://127.0.0.1:" + std::to_string(FPort); }

 private:
  int FSocket = -1;
  int FPort = 0;
};
