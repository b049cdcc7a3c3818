#include "publish/publish_ip.h"

#include "detect/check_ip.h"
#include "platform/program_folder.h"
#include "publish/template_fill.h"
#include "transfer/server_url.h"

namespace pellvane {
namespace {

std::string QuotedIfBlank(const std::string& path) {
  return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

// The server text for the log: a password typed into it as user:password@host becomes "***".
std::string WithoutPassword(std::string server) {
  const std::string password = ServerUrl(server).Password();
  if (password.empty()) return server;
  // The password runs from the host part's first ":" to its last "@"; no ":" comes earlier.
  const std::size_t scheme = server.find("://");
  const std::size_t at =
      server.find(":" + password + "@", scheme == std::string::npos ? 0 : scheme + 3);
  return server.replace(at + 1, password.size(), "***");
}

}  // namespace

std::string UploadCommand(const std::string& local, const std::string& remote) {
  return "put " + QuotedIfBlank(local) + " " + QuotedIfBlank(remote);
}

bool PublishIP(const PublishContext& ctx, const std::string& lastip_before) {
  SettingsRecord& record = ctx.settings.record();
  if (!record.useftp) {
    ctx.due.Clear();
    return true;
  }
  ctx.log.WriteLog("Starte FTP Verbindung mit " + WithoutPassword(ctx.slot.server.text()));
  ApplyProxy(ctx.inet, record);
  ctx.inet.SetProtocol(icFTP);
  if (!HasScheme(ctx.slot.server.text(), {"ftp://", "ftps://", "sftp://"})) {
    ctx.slot.server.SetText("ftp://" + ctx.slot.server.text());
  }

  const std::string local = ctx.program_folder + kPageFileName;
  const std::string template_path = ctx.slot.template_file.text();
  bool ok = false;
  switch (FillTemplate(template_path, local, ctx.cur_ip, kIpMarker)) {
    case FillResult::kTemplateUnreadable:
      ctx.log.WriteLog("Template nicht lesbar: " + template_path);
      break;
    case FillResult::kOutputUnwritable:
      ctx.log.WriteLog("Seite nicht schreibbar: " + local);
      break;
    case FillResult::kOk: {
      const std::string command = UploadCommand(local, ctx.slot.remote_file.text());
      ctx.log.WriteLog("..." + command);
      ctx.inet.SetURL(ctx.slot.server.text());
      ctx.inet.SetUserName(ctx.slot.user.text());
      ctx.inet.SetPassword(ctx.slot.password.text());
      ok = ctx.inet.Execute("", command);
      ctx.inet.Execute("", "dir");
      ctx.inet.Execute("", "close");
      break;
    }
  }
  if (ok) {
    ctx.due.Clear();
    ctx.log.WriteLog("FTP Fertig");
    return true;
  }
  ctx.log.WriteLog("FTP fehlgeschlagen");
  record.lastip = lastip_before;
  ctx.settings.SaveSettings();
  return false;
}

}  // namespace pellvane
