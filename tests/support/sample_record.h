// Settings records for tests: one that differs from the defaults in every field, and the 41
// registry value texts a save of a record writes, keyed by lower-case value name.
#pragma once

#include <map>
#include <string>

#include "settings/settings_record.h"

namespace pellvane::testing {

// Every field differs from the defaults; each text carries `tag`.
inline SettingsRecord SampleRecord(const std::string& tag) {
  SettingsRecord r;
  for (int i = 0; i < kSlots; ++i) {
    const std::string n = std::to_string(i);
    r.wserver[i] = "http://w" + n + "." + tag;
    r.ftpserver[i] = "ftp" + n + "." + tag;
    r.ftpuser[i] = "user" + n + tag;
    r.ftppass[i] = "pass" + n + tag;
    r.ftpremotefile[i] = "/www/" + n + tag + ".htm";
    r.htmltemplatefile[i] = "/home/t" + n + tag + ".html";
  }
  r.wdefserver = 3;
  r.proxycon = 2;
  r.proxysrv = "proxy." + tag;
  r.proxyport = "31" + tag;
  r.puser = "pu" + tag;
  r.ppass = "pp" + tag;
  r.lastip = "10.0.0." + tag;
  r.useftp = true;
  r.ftpdefserver = 4;
  r.inettimeout = 45;
  r.writelog = true;
  return r;
}

// Value name in lower case -> the text a save stores for it (without the NUL).
inline std::map<std::string, std::string> ValueTexts(const SettingsRecord& r) {
  std::map<std::string, std::string> v;
  for (int i = 0; i < kSlots; ++i) {
    const std::string n = std::to_string(i);
    v["wserver" + n] = r.wserver[i];
    v["ftpserver" + n] = r.ftpserver[i];
    v["ftpuser" + n] = r.ftpuser[i];
    v["ftppass" + n] = r.ftppass[i];
    v["ftpremotefile" + n] = r.ftpremotefile[i];
    v["htmltemplatefile" + n] = r.htmltemplatefile[i];
  }
  const auto flag = [](bool b) { return std::string(b ? "True" : "False"); };
  v["wdefserver"] = std::to_string(r.wdefserver);
  v["proxycon"] = std::to_string(r.proxycon);
  v["proxysrv"] = r.proxysrv;
  v["proxyport"] = r.proxyport;
  v["puser"] = r.puser;
  v["ppass"] = r.ppass;
  v["lastip"] = r.lastip;
  v["useftp"] = flag(r.useftp);
  v["ftpdefserver"] = std::to_string(r.ftpdefserver);
  v["inettimeout"] = std::to_string(r.inettimeout);
  v["writelog"] = flag(r.writelog);
  return v;
}

}  // namespace pellvane::testing
