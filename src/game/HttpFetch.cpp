#include "game/HttpFetch.h"

#include "base/Log.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"
#include "net/Downloader.h"

namespace GCore {
namespace {

// Starts a worker with the job that `add` gives it, held by the game object.
template <typename AddJob>
bool StartFetch(const char* url, AddJob&& add) {
  GameIF* game = Game();
  if (!game || game->downloadHolder || !url) return false;
  auto worker = std::make_unique<Downloader>();
  worker->StartThread();
  if (!add(*worker)) return false;
  game->downloadCallback = Api::OnHttpGetDone;
  game->downloadUrl = url;
  worker->Start(nullptr, OnDownloadEvent);
  game->downloadHolder = std::move(worker);
  return true;
}

}  // namespace

bool HttpGetToFile(const char* url, const char* path) {
  return StartFetch(url, [&](Downloader& worker) { return path && worker.AddJob(url, path); });
}

bool HttpGetToMemory(const char* url) {
  return StartFetch(url, [&](Downloader& worker) {
    ForgetFetched(Game());
    return worker.AddJob(url, AppendFetched, Game(), ForgetFetched);
  });
}

void ForgetFetched(void* context) {
  GameIF& game = *static_cast<GameIF*>(context);
  game.fetchedText.clear();
  game.fetchedExtraText.clear();
}

int AppendFetched(void* context, const char* bytes, int length, const char* header) {
  GameIF& game = *static_cast<GameIF*>(context);
  if (static_cast<size_t>(length) > kFetchedTextLimit - game.fetchedText.size()) {
    LogPrintf("HttpGet: %s sent more than 64 MiB; a fetch into memory stops there\n", game.downloadUrl.c_str());
    return -1;
  }
  game.fetchedText.append(bytes, static_cast<size_t>(length));
  game.fetchedExtraText = header;
  return 0;
}

void OnDownloadEvent(int progress, int total, void* context, int state) {
  GameIF* game = Game();
  if (!game) return;
  if (game->downloadCallback) game->downloadCallback(progress, total, context, state);
  if (state == kDownloaderFailed) LogPrintf("failed to download %s\n", game->downloadUrl.c_str());
  // Failed or done, the worker is released once its poll has returned, so
  // that the next fetch may start.
  if (state == kDownloaderFailed || state == kDownloaderDone) game->downloadFinished = true;
}

}  // namespace GCore
