// The request checks of the web editor and the rule of loopback addresses.
#include "tools/web/security.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace telbook {
namespace web {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// True for a dotted quad 127.x.y.z with each part a decimal 0 to 255.
bool IsLoopbackQuad(const std::string& host) {
  int parts = 0;
  size_t at = 0;
  while (at <= host.size()) {
    size_t dot = host.find('.', at);
    std::string part = host.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
    if (part.empty() || part.size() > 3 ||
        !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
    int value = atoi(part.c_str());
    if (value > 255 || (parts == 0 && value != 127)) return false;
    ++parts;
    if (dot == std::string::npos) break;
    at = dot + 1;
  }
  return parts == 4;
}

}  // namespace

bool IsLoopbackHost(const std::string& host) {
  std::string h = Lower(host);
  if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  return h == "localhost" || h == "::1" || h == "0:0:0:0:0:0:0:1" || IsLoopbackQuad(h);
}

bool SameSecret(const std::string& a, const std::string& b) {
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
  }
  return diff == 0 && !a.empty();
}

std::string CookieValue(const std::string& header, const std::string& name) {
  size_t at = 0;
  while (at < header.size()) {
    size_t end = header.find(';', at);
    std::string pair = Trim(header.substr(at, end == std::string::npos ? end : end - at));
    size_t eq = pair.find('=');
    if (eq != std::string::npos && pair.substr(0, eq) == name) return pair.substr(eq + 1);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return std::string();
}

std::vector<std::string> AcceptedHosts(const std::string& bound_host, int port) {
  std::string p = ":" + std::to_string(port);
  std::string h = Lower(bound_host);
  std::vector<std::string> hosts;
  if (h.find(':') != std::string::npos && h.front() != '[') h = "[" + h + "]";
  hosts.push_back(h + p);
  if (h == "127.0.0.1" || h == "[::1]") hosts.push_back("localhost" + p);
  if (h == "localhost") hosts.push_back("127.0.0.1" + p);
  return hosts;
}

bool HostAccepted(const std::vector<std::string>& accepted, const std::string& host_header) {
  std::string h = Lower(Trim(host_header));
  return std::find(accepted.begin(), accepted.end(), h) != accepted.end();
}

bool SameOrigin(const std::string& origin, const std::string& host_header) {
  std::string h = Lower(Trim(host_header));
  return !h.empty() && Lower(Trim(origin)) == "http://" + h;
}

std::string BasicPassword(const std::string& authorization) {
  if (authorization.rfind("Basic ", 0) != 0) return std::string();
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned value = 0;
  int bits = 0;
  for (size_t i = 6; i < authorization.size() && authorization[i] != '='; ++i) {
    size_t d = kAlphabet.find(authorization[i]);
    if (d == std::string::npos) return std::string();
    value = ((value << 6) | static_cast<unsigned>(d)) & 0xFFFFFF;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((value >> bits) & 0xFF);
    }
  }
  size_t colon = out.find(':');
  return colon == std::string::npos ? std::string() : out.substr(colon + 1);
}

void PageTokens::Add(const std::string& token) {
  std::lock_guard<std::mutex> lock(mutex_);
  tokens_.push_back(token);
  while (tokens_.size() > capacity_) tokens_.pop_front();
}

bool PageTokens::Known(const std::string& token) const {
  std::lock_guard<std::mutex> lock(mutex_);
  bool found = false;
  for (const std::string& t : tokens_) found = SameSecret(t, token) || found;
  return found;
}

}  // namespace web
}  // namespace telbook
