// An FTP, FTPS or SFTP server URL as a user types it, read once (with libcurl's URL parser on
// Linux): the URLs of a remote file and of the login folder, and the text fit for the log.
// Safe from two threads once built.
#pragma once

#include <string>

namespace pellvane {

class ServerUrl {
 public:
  // "ftp://", "ftps://" (explicit TLS on the FTP port) or "sftp://" in any letter case;
  // without a scheme, FTP. A path after the host is the folder that relative names start in;
  // blanks and other unsafe bytes in it are escaped, escapes already typed are kept.
  explicit ServerUrl(const std::string& text);

  // False when libcurl cannot read the text as a URL; nothing can be reached then.
  bool Valid() const { return !origin_.empty(); }
  bool ExplicitTls() const { return tls_; }
  bool Sftp() const { return scheme_ == "sftp"; }
  // The password of a "user:password@host" typed into the URL, as typed; empty without one.
  const std::string& Password() const { return password_; }
  // The text as typed with that password shown as "***"; a text the parser cannot read and
  // that holds an "@" shows "***" up to its last "@".
  const std::string& WithoutPassword() const { return shown_; }

  // `remote` with a leading "/" from the server's root, else from the login folder (or the
  // URL's own folder); every byte outside [A-Za-z0-9-._~/] escaped.
  std::string FileUrl(const std::string& remote) const;
  // The folder relative names start in, ending in "/".
  std::string FolderUrl() const;

  // The parts one by one, for a transfer library that takes them so (WinINet): the host, the
  // port typed (0: the scheme's own), the user typed into the URL and the folder, decoded.
  std::string Host() const;
  int Port() const;
  std::string User() const;
  std::string Folder() const;

 private:
  std::string StartFolder() const;

  std::string scheme_;  // what libcurl gets: "ftp" (also for explicit TLS) or "sftp"
  bool tls_ = false;
  std::string origin_;  // scheme, "://" and the host part; empty when the text is no URL
  std::string path_;    // the URL's folder, without a trailing "/"; may be empty
  std::string password_;
  std::string shown_;
};

// Every byte outside [A-Za-z0-9-._~/] escaped; with `keep_escapes` a "%" stays, so that a
// folder typed already escaped ("my%20site") is not escaped twice.
std::string EscapePath(const std::string& path, bool keep_escapes = false);

}  // namespace pellvane
