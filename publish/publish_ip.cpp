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

}  // namespace

std::string UploadCommand(const std::string& local, const std::string& remote) {
  return "put " + Quoted(local) + " " + Quoted(remote);
}

bool PublishIP(const PublishContext& ctx, const std::string& lastip_before) {
  SettingsRecord& record = ctx.settings.record();
  if (!record.useftp) {
    ctx.due.Clear();
    return true;
  }
  ctx.log.WriteLog("Starte FTP Verbindung mit " +
                   ServerUrl(ctx.slot.server.text()).WithoutPassword());
  ApplyProxy(ctx.inet, ProxyModeFrom(record.proxycon), record.proxysrv, record.proxyport);
  ctx.inet.SetProtocol(icFTP);
  if (!HasScheme(ctx.slot.server.text(), {"ftp://", "ftps://", "sftp://"})) {
    ctx.slot.server.SetText("ftp://" + ctx.slot.server.text());
  }

  const std::string local = ctx.program_folder + kPageFileName;
  const std::string template_path = ctx.slot.template_file.text();
  bool ok = false;
  const Filled filled = FillTemplate(ctx.files, template_path, local, ctx.cur_ip, kIpMarker);
  switch (filled.result) {
    case FillResult::kTemplateUnreadable:
      ctx.log.WriteLog("Template nicht lesbar: " + template_path + " (" + filled.error + ")");
      break;
    case FillResult::kOutputUnwritable:
      ctx.log.WriteLog("Seite nicht schreibbar: " + local + " (" + filled.error + ")");
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
