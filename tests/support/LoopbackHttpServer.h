// A small HTTP/1.1 server on 127.0.0.1 for network tests. It listens on an
// ephemeral port, serves on a thread of its own, one connection at a time, and
// stops when it is destroyed. Every answer closes its connection.
//
// Use:
//   LoopbackHttpServer server([](const LoopbackHttpServer::Request& request) {
//     if (request.path() == "/moved") return LoopbackHttpServer::redirect("/data");
//     if (request.path() == "/echo") return LoopbackHttpServer::echo(request);
//     return LoopbackHttpServer::text("hello");
//   });
//   loader.get(server.url("/moved"));   // "http://127.0.0.1:<port>/moved"
//   server.requests();                  // what arrived, in order
//
// A Response can: carry a body with a Content-Length (`sendLength`) or without
// one (the end of the body is the closing of the connection), wait before it
// is sent (`delay`, seconds; the server's own thread waits, the destructor
// cuts the wait short), close the connection after `failAfter` bytes of the
// body (with a Content-Length of the whole body: a transfer failing half-way).
// `redirect`, `authenticate` (a Basic challenge) and `echo` build the common
// answers; `hasBasicCredentials` tests a request's Authorization header.
//
// Requests are read up to their Content-Length (chunked request bodies are not
// supported); "Expect: 100-continue" is answered before the body is read.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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
    std::string method;  // "GET", "POST" ...
    std::string target;  // as sent: "/path?query"
    Fields headers;      // in order, names as sent
    std::string body;

    std::string path() const { return target.substr(0, target.find('?')); }
    // The first header of that name (any letter case); "" when there is none.
    std::string header(std::string_view name) const {
      for (const auto& [key, value] : headers) {
        if (equalIgnoringCase(key, name)) return value;
      }
      return {};
    }
    bool hasHeader(std::string_view name) const {
      return std::any_of(headers.begin(), headers.end(),
                         [name](const auto& field) { return equalIgnoringCase(field.first, name); });
    }
  };

  struct Response {
    int status = 200;
    Fields headers;  // Content-Length and Connection are added by the server
    std::string body;
    bool sendLength = true;
    double delay = 0;
    size_t failAfter = std::numeric_limits<size_t>::max();
  };

  using Handler = std::function<Response(const Request&)>;

  // Starts listening; throws std::runtime_error when no socket can be had.
  explicit LoopbackHttpServer(Handler handler = {}) : handler_(std::move(handler)) {
    if (pipe(stopPipe_) != 0) throw std::runtime_error("LoopbackHttpServer: no pipe");
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof(address);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, 16) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      closeAll();
      throw std::runtime_error("LoopbackHttpServer: cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }

  ~LoopbackHttpServer() {
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = write(stopPipe_[1], &byte, 1);
    if (thread_.joinable()) thread_.join();
    closeAll();
  }
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path` (which should begin with "/").
  std::string url(std::string_view path = "/") const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }

  // Replaces the handler (a null handler answers 404 to everything).
  void setHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
  }
  // Every request read so far, in order of arrival.
  std::vector<Request> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  size_t requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
  }

  // --- Answers ---------------------------------------------------------------
  static Response text(std::string body, std::string type = "text/plain") {
    Response response;
    response.headers.emplace_back("Content-Type", std::move(type));
    response.body = std::move(body);
    return response;
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
  // 401 with a Basic challenge for `realm`.
  static Response authenticate(std::string_view realm = "test") {
    Response response = status(401, "authentication required");
    response.headers.emplace_back("WWW-Authenticate", "Basic realm=\"" + std::string(realm) + "\"");
    return response;
  }
  // The request written back as the body (text/plain): the request line
  // "METHOD target", then one "Name: value" line per header, an empty line and
  // the body; lines end in "\n".
  static Response echo(const Request& request) {
    std::string body = request.method + " " + request.target + "\n";
    for (const auto& [name, value] : request.headers) body += name + ": " + value + "\n";
    body += "\n" + request.body;
    return text(std::move(body));
  }
  // The request carries "Authorization: Basic <base64 of user:password>".
  static bool hasBasicCredentials(const Request& request, std::string_view user, std::string_view password) {
    return request.header("Authorization") == "Basic " + base64(std::string(user) + ":" + std::string(password));
  }

  static std::string base64(std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
      uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
      if (i + 1 < bytes.size()) group |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
      if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
      out += kDigits[(group >> 18) & 63];
      out += kDigits[(group >> 12) & 63];
      out += i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
      out += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
    }
    return out;
  }

 private:
  static bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
  }

  // Waits until `fd` is readable or the server is stopped; false when stopped
  // or after `timeoutMs` (-1: no limit).
  bool waitReadable(int fd, int timeoutMs) const {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    const int count = fd >= 0 ? 2 : 1;
    pollfd* set = fd >= 0 ? fds : fds + 1;
    if (poll(set, static_cast<nfds_t>(count), timeoutMs) <= 0) return false;
    return fd >= 0 && (fds[1].revents & POLLIN) == 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  }
  bool stopped() const {
    pollfd stop{stopPipe_[0], POLLIN, 0};
    return poll(&stop, 1, 0) > 0;
  }

  void serve() {
    while (waitReadable(listener_, -1)) {
      const int connection = accept(listener_, nullptr, nullptr);
      if (connection < 0) continue;
      answer(connection);
      close(connection);
    }
  }

  bool sendAll(int fd, std::string_view bytes) const {
    while (!bytes.empty()) {
      const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
  }

  // Reads one request from the connection; false on a closed or stopped one.
  bool readRequest(int fd, Request& request) const {
    std::string data;
    char buffer[4096];
    size_t headerEnd = std::string::npos;
    auto readMore = [&] {
      if (!waitReadable(fd, 10000)) return false;
      const ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
      if (got <= 0) return false;
      data.append(buffer, static_cast<size_t>(got));
      return true;
    };
    while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
      if (!readMore()) return false;
    }
    std::string_view head(data.data(), headerEnd);
    size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const size_t space1 = requestLine.find(' ');
    const size_t space2 = requestLine.find(' ', space1 + 1);
    if (space1 == std::string_view::npos) return false;
    request.method = std::string(requestLine.substr(0, space1));
    request.target = std::string(requestLine.substr(space1 + 1, space2 - space1 - 1));
    while (lineEnd != std::string_view::npos && lineEnd < head.size()) {
      const size_t start = lineEnd + 2;
      lineEnd = head.find("\r\n", start);
      const std::string_view line = head.substr(start, lineEnd == std::string_view::npos ? head.npos : lineEnd - start);
      const size_t colon = line.find(':');
      if (colon == std::string_view::npos) continue;
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    const std::string lengthText = request.header("Content-Length");
    const size_t length = lengthText.empty() ? 0 : std::stoul(lengthText);
    if (length > 0 && equalIgnoringCase(request.header("Expect"), "100-continue")) {
      if (!sendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n")) return false;
    }
    const size_t bodyStart = headerEnd + 4;
    while (data.size() - bodyStart < length) {
      if (!readMore()) return false;
    }
    request.body = data.substr(bodyStart, length);
    return true;
  }

  static const char* reasonPhrase(int code) {
    switch (code) {
      case 200:
        return "OK";
      case 301:
        return "Moved Permanently";
      case 302:
        return "Found";
      case 303:
        return "See Other";
      case 304:
        return "Not Modified";
      case 307:
        return "Temporary Redirect";
      case 401:
        return "Unauthorized";
      case 404:
        return "Not Found";
      default:
        return "Status";
    }
  }

  void answer(int fd) {
    Request request;
    if (!readRequest(fd, request)) return;
    Handler handler;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      handler = handler_;
    }
    const Response response = handler ? handler(request) : status(404, "not found");
    if (response.delay > 0 && !waitReadable(-1, static_cast<int>(response.delay * 1000))) {
      if (stopped()) return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + reasonPhrase(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    if (response.sendLength) head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!sendAll(fd, head)) return;
    const size_t bodyBytes = std::min(response.failAfter, response.body.size());
    sendAll(fd, std::string_view(response.body).substr(0, bodyBytes));
    shutdown(fd, SHUT_WR);
    // Let the client read everything before the socket goes away.
    char drain[256];
    while (waitReadable(fd, 2000) && recv(fd, drain, sizeof(drain), 0) > 0) {
    }
  }

  void closeAll() {
    if (listener_ >= 0) close(listener_);
    if (stopPipe_[0] >= 0) close(stopPipe_[0]);
    if (stopPipe_[1] >= 0) close(stopPipe_[1]);
    listener_ = stopPipe_[0] = stopPipe_[1] = -1;
  }

  Handler handler_;
  mutable std::mutex mutex_;
  std::vector<Request> requests_;
  int listener_ = -1;
  int stopPipe_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace kw::test
