// A small HTTP/1.1 server on 127.0.0.1 for network tests: an ephemeral port,
// a thread of its own, one connection at a time, stopped by its destructor.
// Every answer closes its connection. A Response can go without a
// Content-Length (the body ends with the connection) or close after
// `failAfter` bytes of its body (a transfer failing half-way). Request bodies are read up to their
// Content-Length. A client that never sends a request meets a silent server.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace kw::test {

class LoopbackHttpServer {
 public:
  using Fields = std::vector<std::pair<std::string, std::string>>;

  struct Request {
    std::string method;
    std::string target;  // as sent: "/path?query"
    Fields headers;      // in order, names as sent
    std::string body;

    std::string path() const { return target.substr(0, target.find('?')); }
    // The first header of that name (any letter case); "" when there is none.
    std::string header(std::string_view name) const {
      for (const auto& [key, value] : headers) {
        if (std::equal(key.begin(), key.end(), name.begin(), name.end(), [](char x, char y) {
              return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
            })) {
          return value;
        }
      }
      return {};
    }
  };

  struct Response {
    int status = 200;
    Fields headers;  // Content-Length and Connection are added by the server
    std::string body;
    bool sendLength = true;
    size_t failAfter = std::numeric_limits<size_t>::max();
  };

  using Handler = std::function<Response(const Request&)>;

  explicit LoopbackHttpServer(Handler handler) : handler_(std::move(handler)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    if (pipe(stopPipe_) != 0 || listener_ < 0 ||
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      closeAll();
      throw std::runtime_error("LoopbackHttpServer: cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~LoopbackHttpServer() {
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = write(stopPipe_[1], &byte, 1);
    thread_.join();
    closeAll();
  }
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string url(std::string_view path) const { return "http://" + host() + std::string(path); }
  // Every request read so far, in order of arrival.
  std::vector<Request> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  size_t requestCount() const { return requests().size(); }

  static Response text(std::string body, std::string type = "text/plain") {
    return {200, {{"Content-Type", std::move(type)}}, std::move(body)};
  }
  static Response status(int code, std::string body = {}) {
    Response response = text(std::move(body));
    response.status = code;
    return response;
  }
  static Response redirect(std::string location, int code = 302) {
    Response response = status(code, "moved");
    response.headers.emplace_back("Location", std::move(location));
    return response;
  }
  // The request written back as text: "METHOD target", one "Name: value" line
  // per header, an empty line and the body.
  static Response echo(const Request& request) {
    std::string body = request.method + " " + request.target + "\n";
    for (const auto& [name, value] : request.headers) body += name + ": " + value + "\n";
    return text(body + "\n" + request.body);
  }

 private:
  // Waits until `fd` is readable; false when stopped or after `timeoutMs` (-1: no limit).
  bool waitReadable(int fd, int timeoutMs) const {
    pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
    return poll(fds, 2, timeoutMs) > 0 && fds[0].revents == 0;
  }

  void serve() {
    while (waitReadable(listener_, -1)) {
      const int connection = accept(listener_, nullptr, nullptr);
      if (connection < 0) continue;
      answer(connection);
      close(connection);
    }
  }

  static bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
  }

  // Reads one request; false on a closed, silent or stopped connection.
  bool readRequest(int fd, Request& request) const {
    std::string data;
    auto readMore = [&] {
      char buffer[4096];
      const ssize_t got = waitReadable(fd, 10000) ? recv(fd, buffer, sizeof(buffer), 0) : 0;
      if (got > 0) data.append(buffer, static_cast<size_t>(got));
      return got > 0;
    };
    size_t headEnd = 0;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
      if (!readMore()) return false;
    }
    size_t lineEnd = data.find("\r\n");
    const std::string requestLine = data.substr(0, lineEnd);
    const size_t space = requestLine.find(' ');
    request.method = requestLine.substr(0, space);
    request.target = requestLine.substr(space + 1, requestLine.find(' ', space + 1) - space - 1);
    while (lineEnd < headEnd) {
      const size_t start = lineEnd + 2;
      lineEnd = data.find("\r\n", start);
      const std::string line = data.substr(start, lineEnd - start);
      const size_t colon = line.find(':');
      if (colon != std::string::npos) {
        const size_t value = std::min(line.find_first_not_of(" \t", colon + 1), line.size());
        request.headers.emplace_back(line.substr(0, colon), line.substr(value));
      }
    }
    const std::string lengthText = request.header("Content-Length");
    const size_t length = lengthText.empty() ? 0 : std::stoul(lengthText);
    while (data.size() - headEnd - 4 < length) {
      if (!readMore()) return false;
    }
    request.body = data.substr(headEnd + 4, length);
    return true;
  }

  void answer(int fd) {
    Request request;
    if (!readRequest(fd, request)) return;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    const Response response = handler_(request);
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " Status\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    if (response.sendLength) head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    if (!sendAll(fd, head + "Connection: close\r\n\r\n")) return;
    sendAll(fd, std::string_view(response.body).substr(0, std::min(response.failAfter, response.body.size())));
    shutdown(fd, SHUT_WR);
    // Let the client read everything before the socket goes away.
    char drain[256];
    while (waitReadable(fd, 2000) && recv(fd, drain, sizeof(drain), 0) > 0) {
    }
  }

  void closeAll() {
    for (int fd : {listener_, stopPipe_[0], stopPipe_[1]}) {
      if (fd >= 0) close(fd);
    }
  }

  const Handler handler_;
  mutable std::mutex mutex_;
  std::vector<Request> requests_;
  int listener_ = -1;
  int stopPipe_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace kw::test
