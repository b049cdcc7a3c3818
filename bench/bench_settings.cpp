// Speed of one keystroke's save (the one changed value, its own committed transaction) and of
// loading all 41 settings values, on a store in a temporary folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/dialogs.h"
#include "settings/hp_reg.h"

namespace {

// A store folder of its own for one benchmark, removed afterwards.
class BenchHome {
 public:
  BenchHome() {
    char dir[] = "/tmp/pellvane-bench-XXXXXX";
    if (mkdtemp(dir) != nullptr) path_ = dir;
  }
  ~BenchHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  bool ok() const { return !path_.empty(); }
  std::string StoreFile() const { return path_ + "/registry.sqlite3"; }

 private:
  std::string path_;
};

// A store in its own folder holding a populated settings record.
struct PopulatedStore {
  PopulatedStore() {
    pellvane::SettingsRecord& r = settings.record();
    for (int i = 0; i < pellvane::kSlots; ++i) {
      const std::string n = std::to_string(i);
      r.wserver[i] = "http://echo" + n + ".example/ip.shtml";
      r.ftpserver[i] = "ftp" + n + ".example";
      r.ftpuser[i] = "user" + n;
      r.ftppass[i] = "password" + n;
      r.ftpremotefile[i] = "/www/ip" + n + ".htm";
      r.htmltemplatefile[i] = "/home/user/template" + n + ".html";
    }
    r.proxysrv = "proxy.example";
    r.proxyport = "3128";
    r.lastip = "84.123.45.67";
    r.useftp = true;
    settings.InitSettingsKey();
    settings.SaveSettings();
  }
  BenchHome home;
  pellvane::HeadlessDialogs dialogs;
  pellvane::Settings settings{dialogs, home.StoreFile()};
};

void BM_SaveSettings(benchmark::State& state) {
  PopulatedStore store;
  if (!store.home.ok()) return state.SkipWithError("mkdtemp failed");
  int i = 0;
  for (auto _ : state) {
    store.settings.record().lastip = "84.123.45." + std::to_string(i++ % 256);  // a real change
    store.settings.SaveSettings();
  }
  state.SetItemsProcessed(state.iterations());  // the one value that changed
}
BENCHMARK(BM_SaveSettings)->Unit(benchmark::kMicrosecond);

void BM_LoadSettings(benchmark::State& state) {
  PopulatedStore store;
  if (!store.home.ok()) return state.SkipWithError("mkdtemp failed");
  for (auto _ : state) {
    store.settings.LoadSettings();
    benchmark::DoNotOptimize(store.settings.record());
  }
  state.SetItemsProcessed(state.iterations() * 41);
}
BENCHMARK(BM_LoadSettings)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
