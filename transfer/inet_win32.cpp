#include <windows.h>
// windows.h first
#include <wininet.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/text.h"
#include "platform/wide_text.h"
#include "transfer/inet.h"
#include "transfer/inet_state.h"
#include "transfer/secret_text.h"
#include "transfer/server_url.h"
#include "transfer/url_escape.h"

namespace pellvane {
namespace {

// The codes the Linux component gives for the same failures, so that the log reads alike.
constexpr std::int32_t kUnsupported = 1;
constexpr std::int32_t kMalformed = 3;
constexpr std::int32_t kTooLarge = 63;
constexpr std::int32_t kAborted = 42;

// The system's words for a WinINet or system error, without the line end.
std::string ErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM |
      (error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST ? FORMAT_MESSAGE_FROM_HMODULE
                                                                    : 0);
  const DWORD n = FormatMessageW(flags, GetModuleHandleW(L"wininet.dll"), error, 0,
                                 reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = n > 0 ? Narrow(std::wstring_view(text, n)) : std::string();
  LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
    out.pop_back();
  }
  if (!out.empty()) return out;
  // Where the system has no words for it (Wine has none for WinINet), the common ones here.
  switch (error) {
    case ERROR_INTERNET_TIMEOUT:
      return "Zeitüberschreitung";
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return "Servername nicht gefunden";
    case ERROR_INTERNET_CANNOT_CONNECT:
      return "Verbindung zum Server nicht möglich";
    case ERROR_INTERNET_CONNECTION_ABORTED:
      return "Verbindung abgebrochen";
    case ERROR_INTERNET_LOGIN_FAILURE:
      return "Anmeldung abgelehnt";
    default:
      return "WinINet-Fehler " + std::to_string(error);
  }
}

struct Failure {
  DWORD error = 0;
  std::string reply;  // the server's last reply (FTP), when WinINet kept one
};

// What failed on the calling thread: its error and the server's reply that goes with it.
Failure LastFailure() {
  Failure f;
  f.error = GetLastError();
  DWORD detail = 0;
  std::wstring reply(16384, L'\0');
  DWORD size = static_cast<DWORD>(reply.size());
  if (InternetGetLastResponseInfoW(&detail, reply.data(), &size)) {
    reply.resize(size);
    f.reply = Narrow(reply);
  }
  return f;
}

// The last line of a reply that begins with a three-digit code.
std::string LastReplyLine(const std::string& reply) {
  std::string last;
  std::size_t start = 0;
  while (start < reply.size()) {
    std::size_t end = reply.find('\n', start);
    if (end == std::string::npos) end = reply.size();
    std::string line = reply.substr(start, end - start);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (IsReplyLine(line)) last = line;
    start = end + 1;
  }
  return last;
}

std::wstring QueryText(HINTERNET request, DWORD what) {
  DWORD size = 0;
  HttpQueryInfoW(request, what, nullptr, &size, nullptr);
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (!HttpQueryInfoW(request, what, text.data(), &size, nullptr)) return {};
  text.resize(size / sizeof(wchar_t));
  return text;
}

}  // namespace

struct Inet::Impl : InetState {
  ~Impl() override { EndSession(); }

  // The session for the access type and proxy in force, made anew when they changed.
  HINTERNET Session();
  void EndSession();
  // Runs `work` on `job` on a worker thread while this one lets the window yield every few
  // milliseconds; closes the session (which ends every call under way) when the request
  // time-out passes or Cancel comes. A worker that WinINet still keeps a few seconds after
  // that is left behind: all it touches is its job, which it shares. False when `work`
  // failed or was cut short.
  template <typename Job>
  bool Bounded(const std::shared_ptr<Job>& job, bool (*work)(Job&, Failure*));
  bool Failed(const Failure& f);
  bool Login(const ServerUrl& server) override;
  bool Put(const ServerUrl& server, std::string bytes, const std::string& remote) override;
  long long RemoteSize(const ServerUrl& server, const std::string& remote) override;
  bool Dir(const ServerUrl& server) override;
  bool Close() override;

  HINTERNET session = nullptr;
  ProxyMode session_access = ProxyMode::kSystem;
  std::string session_proxy;
  HINTERNET ftp = nullptr;  // the FTP login, kept from one command to the next
  std::string ftp_key;      // the server and user it is for
  bool timed_out = false;
  bool cancelled = false;
};

HINTERNET Inet::Impl::Session() {
  if (session != nullptr && session_access == access_type && session_proxy == proxy) {
    return session;
  }
  EndSession();
  const DWORD type = access_type == ProxyMode::kDirect  ? INTERNET_OPEN_TYPE_DIRECT
                     : access_type == ProxyMode::kNamed ? INTERNET_OPEN_TYPE_PROXY
                                                        : INTERNET_OPEN_TYPE_PRECONFIG;
  const std::wstring named = Widen(proxy);
  session = InternetOpenW(L"Pellvane", type,
                          type == INTERNET_OPEN_TYPE_PROXY ? named.c_str() : nullptr, nullptr, 0);
  if (session == nullptr) return nullptr;
  session_access = access_type;
  session_proxy = proxy;
  DWORD connect_ms = static_cast<DWORD>(settings.connect_timeout_ms);
  DWORD request_ms = static_cast<DWORD>(settings.request_timeout_ms);
  InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect_ms, sizeof connect_ms);
  InternetSetOptionW(session, INTERNET_OPTION_SEND_TIMEOUT, &request_ms, sizeof request_ms);
  InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &request_ms, sizeof request_ms);
  return session;
}

void Inet::Impl::EndSession() {
  if (ftp != nullptr) InternetCloseHandle(ftp);
  if (session != nullptr) InternetCloseHandle(session);
  ftp = nullptr;
  session = nullptr;
  ftp_key.clear();
}

// How a worker's work came out, shared between the worker and the thread that waits for it.
struct Outcome {
  std::mutex m;
  std::condition_variable done_cv;
  bool done = false;
  bool ok = false;
  Failure failure;
};

template <typename Job>
bool Inet::Impl::Bounded(const std::shared_ptr<Job>& job, bool (*work)(Job&, Failure*)) {
  constexpr auto kYield = std::chrono::milliseconds(40);
  constexpr auto kGrace = std::chrono::seconds(5);
  const auto outcome = std::make_shared<Outcome>();
  timed_out = cancelled = false;
  std::thread worker([job, work, outcome] {
    Failure failure;
    const bool ok = work(*job, &failure);
    const std::lock_guard lock(outcome->m);
    outcome->ok = ok;
    outcome->failure = std::move(failure);
    outcome->done = true;
    outcome->done_cv.notify_one();
  });
  auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(settings.request_timeout_ms);
  std::unique_lock lock(outcome->m);
  while (!outcome->done) {
    if (outcome->done_cv.wait_for(lock, kYield, [&] { return outcome->done; })) break;
    lock.unlock();
    if (yield) yield();
    lock.lock();
    const auto now = std::chrono::steady_clock::now();
    if (!timed_out && !cancelled && (cancel || now >= deadline)) {
      (cancel ? cancelled : timed_out) = true;
      InternetCloseHandle(session);  // ends the calls under way with an error
      deadline = now + kGrace;
    } else if ((timed_out || cancelled) && now >= deadline) {
      break;
    }
  }
  const bool finished = outcome->done;
  lock.unlock();
  if (finished) {
    worker.join();
  } else {
    worker.detach();
  }
  if (timed_out || cancelled) {
    session = nullptr;
    EndSession();
    return cancelled ? Fail(kAborted, "Abgebrochen")
                     : Fail(ERROR_INTERNET_TIMEOUT, ErrorText(ERROR_INTERNET_TIMEOUT));
  }
  return outcome->ok || Failed(outcome->failure);
}

// An FTP reply with its code ("530 Login incorrect.") where WinINet kept one, else the error.
bool Inet::Impl::Failed(const Failure& f) {
  const std::string line = LastReplyLine(f.reply);
  if (!line.empty() && line[0] >= '4') return Fail(std::stoi(line.substr(0, 3)), line);
  return Fail(static_cast<std::int32_t>(f.error), ErrorText(f.error));
}

bool Inet::Impl::Login(const ServerUrl& server) {
  if (!server.Valid()) return Fail(kMalformed, "URL nicht lesbar: " + server.WithoutPassword());
  if (server.ExplicitTls() || server.Sftp()) {
    // WinINet speaks plain FTP only.
    return Fail(kUnsupported, std::string(server.Sftp() ? "sftp://" : "ftps://") +
                                  " geht unter Windows nicht, nur ftp://");
  }
  const std::string login = user.empty() ? server.User() : user;
  const std::string key = server.Host() + ":" + std::to_string(server.Port()) + "/" + login;
  if (ftp != nullptr && key == ftp_key) return true;
  if (ftp != nullptr) InternetCloseHandle(ftp);
  ftp = nullptr;
  struct Job {
    HINTERNET session;
    std::wstring host, name, secret, start;
    INTERNET_PORT port;
    HINTERNET made = nullptr;
  };
  const auto job = std::make_shared<Job>();
  job->session = Session();
  if (job->session == nullptr) return Failed(LastFailure());
  job->host = Widen(server.Host());
  job->name = Widen(login);
  job->secret = Widen(user.empty() ? PercentDecode(server.Password()) : password);
  std::string folder = server.Folder();
  while (!folder.empty() && folder.front() == '/') folder.erase(0, 1);
  job->start = Widen(folder);
  job->port =
      static_cast<INTERNET_PORT>(server.Port() != 0 ? server.Port() : INTERNET_DEFAULT_FTP_PORT);
  const bool ok = Bounded<Job>(job, [](Job& j, Failure* f) {
    const bool named = !j.name.empty();
    j.made = InternetConnectW(j.session, j.host.c_str(), j.port, named ? j.name.c_str() : nullptr,
                              named ? j.secret.c_str() : nullptr, INTERNET_SERVICE_FTP,
                              INTERNET_FLAG_PASSIVE, 0);
    // The URL's folder is where relative names start, as from the login folder.
    if (j.made != nullptr &&
        (j.start.empty() || FtpSetCurrentDirectoryW(j.made, j.start.c_str()))) {
      return true;
    }
    *f = LastFailure();
    return false;
  });
  if (!ok) {
    // Not after a time-out: the session's close took the connection with it, and a worker
    // left behind may still write the job.
    if (session != nullptr && job->made != nullptr) InternetCloseHandle(job->made);
    return false;
  }
  ftp = job->made;
  ftp_key = key;
  return true;
}

bool Inet::Impl::Put(const ServerUrl&, std::string bytes, const std::string& remote) {
  struct Job {
    HINTERNET login;
    std::wstring target;
    std::string bytes;
  };
  const auto job = std::make_shared<Job>(Job{ftp, Widen(remote), std::move(bytes)});
  return Bounded<Job>(job, [](Job& j, Failure* f) {
    const HINTERNET out =
        FtpOpenFileW(j.login, j.target.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0);
    if (out == nullptr) {
      *f = LastFailure();
      return false;
    }
    constexpr std::size_t kPiece = 16384;
    bool ok = true;
    for (std::size_t at = 0; ok && at < j.bytes.size(); at += kPiece) {
      const auto n = static_cast<DWORD>(std::min(kPiece, j.bytes.size() - at));
      DWORD written = 0;
      ok = InternetWriteFile(out, j.bytes.data() + at, n, &written) && written == n;
    }
    if (!ok) *f = LastFailure();
    // Closing ends the upload: the server's answer to it comes now.
    if (!InternetCloseHandle(out) && ok) {
      *f = LastFailure();
      ok = false;
    }
    return ok;
  });
}

// What WinINet offers: the remote file's entry in a listing of it.
long long Inet::Impl::RemoteSize(const ServerUrl&, const std::string& remote) {
  struct Job {
    HINTERNET login;
    std::wstring target;
    long long size = -1;
  };
  const auto job = std::make_shared<Job>(Job{ftp, Widen(remote)});
  const std::int32_t kept_code = code;
  const std::string kept_info = info;
  const bool told = Bounded<Job>(job, [](Job& j, Failure*) {
    WIN32_FIND_DATAW found{};
    const HINTERNET find =
        FtpFindFirstFileW(j.login, j.target.c_str(), &found, INTERNET_FLAG_RELOAD, 0);
    if (find == nullptr) return false;
    j.size = (static_cast<long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    InternetCloseHandle(find);
    return true;
  });
  code = kept_code;
  info = kept_info;
  return told ? job->size : -1;
}

bool Inet::Impl::Dir(const ServerUrl&) {
  struct Job {
    HINTERNET login;
    std::string listing;
  };
  const auto job = std::make_shared<Job>(Job{ftp, {}});
  const bool ok = Bounded<Job>(job, [](Job& j, Failure* f) {
    WIN32_FIND_DATAW found{};
    const HINTERNET find = FtpFindFirstFileW(j.login, nullptr, &found, INTERNET_FLAG_RELOAD, 0);
    if (find == nullptr) {
      if (GetLastError() == ERROR_NO_MORE_FILES) return true;
      *f = LastFailure();
      return false;
    }
    do {
      j.listing += Narrow(found.cFileName) + "\r\n";
    } while (InternetFindNextFileW(find, &found));
    InternetCloseHandle(find);
    return true;
  });
  if (ok) data = std::move(job->listing);
  return ok;
}

bool Inet::Impl::Close() {
  if (ftp != nullptr) InternetCloseHandle(ftp);
  ftp = nullptr;
  ftp_key.clear();
  ClearResponse();
  return true;
}

std::unique_ptr<InetState> Inet::MakeImpl() { return std::make_unique<Impl>(); }

std::string Inet::OpenURL() {
  Impl& d = static_cast<Impl&>(*impl_);
  d.cancel = false;
  d.data.clear();
  d.data_pos = 0;
  const std::string scheme = Lowered(d.url.substr(0, d.url.find("://")));
  std::string body;
  bool ok = false;
  if (scheme != "http" && scheme != "https") {
    ok = d.Fail(kUnsupported, "Protokoll nicht unterstützt: " + d.url);
  } else if (const HINTERNET s = d.Session(); s == nullptr) {
    ok = d.Failed(LastFailure());
  } else {
    struct Job {
      HINTERNET session;
      std::wstring target;
      DWORD status = 0;
      std::string status_line, body;
      bool too_large = false;
    };
    const auto job = std::make_shared<Job>(Job{s, Widen(d.url), 0, {}, {}, false});
    ok = d.Bounded<Job>(job, [](Job& j, Failure* f) {
      // Redirects stay within http and https: WinINet follows no other scheme.
      const HINTERNET request = InternetOpenUrlW(
          j.session, j.target.c_str(), nullptr, 0,
          INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
              INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE,
          0);
      if (request == nullptr) {
        *f = LastFailure();
        return false;
      }
      DWORD size = sizeof j.status;
      HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &j.status, &size,
                     nullptr);
      j.status_line = Narrow(QueryText(request, HTTP_QUERY_VERSION)) + " " +
                      std::to_string(j.status) + " " +
                      Narrow(QueryText(request, HTTP_QUERY_STATUS_TEXT));
      char buffer[8192];
      bool read_ok = true;
      for (DWORD n = 0;
           (read_ok = InternetReadFile(request, buffer, sizeof buffer, &n)) && n > 0;) {
        if (j.body.size() + n > kMaxBodyBytes) {
          j.too_large = true;
          break;
        }
        j.body.append(buffer, n);
      }
      if (!read_ok) *f = LastFailure();
      InternetCloseHandle(request);
      return read_ok;
    });
    if (ok && job->too_large) {
      ok = d.Fail(kTooLarge, "Antwort größer als 64 KiB");
    } else if (ok && job->status >= 400) {
      ok = d.Fail(static_cast<std::int32_t>(job->status), job->status_line);
    } else if (ok) {
      d.code = 0;
      d.info.clear();
      body = std::move(job->body);
    }
  }
  d.Raise(ok);
  return body;
}

}  // namespace pellvane
