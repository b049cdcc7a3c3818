#include "detect/check_ip.h"

#include "detect/ip_valid.h"
#include "platform/text.h"
#include "transfer/server_url.h"

namespace pellvane {

bool CheckIP(const CheckContext& ctx) {
  SettingsRecord& record = ctx.settings.record();
  ctx.log.WriteLog("Checke IP");
  ctx.cur_ip.clear();
  ctx.inet.Cancel();
  ApplyProxy(ctx.inet, ProxyModeFrom(record.proxycon), record.proxysrv, record.proxyport);
  ctx.inet.SetProtocol(icDefault);
  if (!HasScheme(ctx.web_slot.text(), {"http://", "https://"})) {
    ctx.web_slot.SetText("http://" + ctx.web_slot.text());
  }
  ctx.inet.SetURL(ctx.web_slot.text());
  ctx.log.WriteLog("...alte IP-Adresse: " + record.lastip);
  ctx.log.WriteLog("Prüfe IP-Adresse mit " + ServerUrl(ctx.inet.URL()).WithoutPassword() + "...");
  ctx.cur_ip = ctx.inet.OpenURL();

  if (!IsIPValid(ctx.cur_ip)) {
    ctx.log.WriteLog("Keine gültige IP erhalten");
    if (!ctx.unattended) ctx.dialogs.MsgBox("Keine gültige IP erhalten");
    return false;
  }
  ctx.log.WriteLog("...neue IP-Adresse: " + ctx.cur_ip);
  const bool changed = ctx.cur_ip != record.lastip || ctx.due.IsDue();
  if (!changed) {
    ctx.log.WriteLog("......keine Änderung der IP-Adresse");
    if (!ctx.unattended) ctx.dialogs.MsgBox("Keine Änderung der IP-Adresse");
  }
  if (!ctx.unattended) ctx.dialogs.MsgBox("Ihrer aktuelle IP-Adresse: " + ctx.cur_ip);
  // Without a durable mark the new address is not stored either, so that the next run still
  // sees the change and publishes, whatever becomes of this one.
  if (changed && record.useftp && !ctx.due.Set()) return true;
  record.lastip = ctx.cur_ip;
  ctx.settings.SaveSettings();
  return changed;
}

}  // namespace pellvane
