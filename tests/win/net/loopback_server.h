// A small HTTP server on 127.0.0.1 (a free port) for tests of the network code. Every
// connection runs on its own thread: the request head is read and recorded, then the
// test's handler writes whatever it likes. The destructor stops and joins everything.
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wintest {

class LoopbackServer {
 public:
  using Handler = std::function<void(LoopbackServer&, SOCKET, const std::string& head)>;

  explicit LoopbackServer(Handler handler) : handler_(std::move(handler)) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listen_, 128);
    int len = sizeof addr;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }
  ~LoopbackServer() {
    stopping_ = true;
    closesocket(listen_);
    acceptor_.join();
    std::vector<std::thread> workers;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      workers.swap(workers_);
    }
    for (auto& t : workers) t.join();
    WSACleanup();
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  bool stopping() const { return stopping_; }
  std::u16string Url(const std::string& path, const char* scheme = "http") const {
    std::string u = std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + path;
    return std::u16string(u.begin(), u.end());
  }
  std::vector<std::string> heads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return heads_;
  }

  static bool Send(SOCKET s, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
      int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }
  // A whole response with Content-Length (or, with `length` false, ended by closing).
  static std::string Response(const std::string& status, const std::string& body,
                              const std::string& headers = "", bool length = true) {
    std::string r = "HTTP/1.1 " + status + "\r\n" + headers + "Connection: close\r\n";
    if (length) r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return r + "\r\n" + body;
  }
  // The request line and headers of `head`, one per element.
  static std::vector<std::string> Lines(const std::string& head) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = head.find("\r\n", start)) != std::string::npos; start = end + 2)
      if (end > start) lines.push_back(head.substr(start, end - start));
    return lines;
  }

 private:
  void AcceptLoop() {
    for (;;) {
      SOCKET s = accept(listen_, nullptr, nullptr);
      if (s == INVALID_SOCKET) return;
      std::lock_guard<std::mutex> lock(mutex_);
      workers_.emplace_back([this, s] { Serve(s); });
    }
  }
  void Serve(SOCKET s) {
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
      int n = recv(s, buf, sizeof buf, 0);
      if (n <= 0) break;
      head.append(buf, n);
      if (!head.empty() && head[0] != 'G' && head[0] != 'P' && head[0] != 'H') break;  // not HTTP (TLS)
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      heads_.push_back(head);
    }
    handler_(*this, s, head);
    shutdown(s, SD_SEND);
    closesocket(s);
  }

  Handler handler_;
  SOCKET listen_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> workers_;
  std::vector<std::string> heads_;
};

}  // namespace wintest
