#include "publish/publish_ip.h"

#include "platform/program_folder.h"
#include "platform/text.h"
#include "publish/template_fill.h"
#include "transfer/server_url.h"

namespace pellvane {
namespace {

// A path with a blank, or one that begins with a quote, goes in quotes, a quote inside it
// doubled; any other path goes in as it is.
std::string Quoted(const std::string& path) {
  if (path.find(' ') == std::string::npos && (path.empty() || path.front() != '"')) return path;
  std::string out = "\"";
  for (const char c : path) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// Logged when the server could not tell the size of the file it kept.
constexpr const char* kUnverified = "...Server nennt die Dateigröße nicht: Upload ungeprüft";

// The server text as the upload uses it: "ftp://" put in front of a text without a scheme.
std::string ServerText(const std::string& text) {
  return HasScheme(text, {"ftp://", "ftps://", "sftp://"}) ? text : "ftp://" + text;
}

// Where the page goes, and the page itself by its digest.
PageFacts Facts(const PublishContext& ctx, const std::string& address, const std::string& page) {
  return {address,
          page,
          ServerUrl(ServerText(ctx.slot.server.text())).WithoutPassword(),
          ctx.slot.user.text(),
          ctx.slot.remote_file.text(),
          ctx.slot_index};
}

}  // namespace

std::string UploadCommand(const std::string& local, const std::string& remote) {
  return "put " + Quoted(local) + " " + Quoted(remote);
}

std::optional<std::string> WhyPublish(const PublishContext& ctx, const std::string& address,
                                      bool force) {
  if (!ctx.settings.record().useftp) return std::nullopt;
  if (force) return "erzwungen (--force)";
  const PublishStatus& status = ctx.state.status();
  if (status.due) return "letzte Veröffentlichung nicht beendet";
  if (!status.published || status.published->address != address)
    return "Adresse noch nicht veröffentlicht";
  const PageFacts& was = *status.published;
  const PageFacts now = Facts(ctx, address, was.page);
  if (now.slot != was.slot) return "anderer FTPServer";
  if (now.server != was.server) return "Server geändert";
  if (now.user != was.user) return "Username geändert";
  if (now.remote != was.remote) return "Remotefile geändert";
  PageDigest digest;
  const Filled filled = FillPieces(ctx.files, ctx.slot.template_file.text(), address, kIpMarker,
                                   [&digest](std::string_view piece) {
                                     digest.Add(piece);
                                     return true;
                                   });
  if (filled.result != FillResult::kOk || digest.Text() != was.page) return "Template geändert";
  return std::nullopt;
}

PublishResult PublishIP(const PublishContext& ctx, const std::string& lastip_before) {
  SettingsRecord& record = ctx.settings.record();
  if (!record.useftp) return {};
  ctx.log.WriteLog("Starte FTP Verbindung mit " +
                   ServerUrl(ctx.slot.server.text()).WithoutPassword());
  ApplyProxy(ctx.inet, ProxyModeFrom(record.proxycon), record.proxysrv, record.proxyport);
  ctx.inet.SetProtocol(icFTP);
  const std::string server = ServerText(ctx.slot.server.text());
  if (server != ctx.slot.server.text()) ctx.slot.server.SetText(server);

  const std::string local = ctx.program_folder + kPageFileName;
  const std::string template_path = ctx.slot.template_file.text();
  std::string page;
  PageDigest digest;
  std::string cause;  // the first step that failed
  bool ok = false;
  const Filled filled = FillTemplate(ctx.files, template_path, local, ctx.cur_ip, kIpMarker, &page);
  switch (filled.result) {
    case FillResult::kTemplateUnreadable:
    case FillResult::kTemplateTooLarge: {
      cause = "Template nicht lesbar: " + template_path + " (" + filled.error + ")";
      ctx.log.WriteLog(cause);
      break;
    }
    case FillResult::kOutputUnwritable:
      cause = "Seite nicht schreibbar: " + local + " (" + filled.error + ")";
      ctx.log.WriteLog(cause);
      break;
    case FillResult::kOk: {
      const std::string command = UploadCommand(local, ctx.slot.remote_file.text());
      ctx.log.WriteLog("..." + command);
      ctx.inet.SetURL(ctx.slot.server.text());
      ctx.inet.SetUserName(ctx.slot.user.text());
      ctx.inet.SetPassword(ctx.slot.password.text());
      // The bytes written go up, whatever may stand at the path by now.
      digest.Add(page);
      ctx.inet.HoldFile(local, std::move(page));
      ok = ctx.inet.Execute("", command);
      if (!ok) cause = ctx.reported;
      if (ok && !ctx.inet.PutVerified()) ctx.log.WriteLog(kUnverified);
      ctx.inet.Execute("", "dir");
      ctx.inet.Execute("", "close");
      break;
    }
  }
  if (ok) {
    ctx.state.SetPublished(Facts(ctx, ctx.cur_ip, digest.Text()));
    ctx.log.WriteLog("FTP Fertig");
    return {};
  }
  ctx.log.WriteLog("FTP fehlgeschlagen");
  record.lastip = lastip_before;
  ctx.settings.SaveSettings();
  return {false, "FTP fehlgeschlagen" + (cause.empty() ? std::string() : " (" + cause + ")")};
}

}  // namespace pellvane
